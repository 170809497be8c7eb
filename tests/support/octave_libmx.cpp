// MATLAB's libmx.so as Octave can stand in for it, so that a MEX file built for MATLAB
// on Linux runs in Octave unchanged: Octave, already loaded, defines every operation the
// gateways call under MATLAB's name but one, the 32-bit-dimension constructor, which this
// forwards. (libmex.so is the same file: Octave defines mexErrMsgTxt.)
#include <cstdint>

extern "C" {
struct mxArray_tag;
// Octave's, found where Octave is loaded (its dimensions are 64-bit).
mxArray_tag* mxCreateDoubleMatrix(std::int64_t m, std::int64_t n, int complexity);

__attribute__((visibility("default"))) mxArray_tag* mxCreateDoubleMatrix_700(int m, int n,
                                                                            int complexity) {
    return mxCreateDoubleMatrix(m, n, complexity);
}
}
