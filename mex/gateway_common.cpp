#include "gateway_common.h"

namespace zorvan {

namespace {

double mexScalar(const void* host) { return mxGetScalar(static_cast<const mxArray*>(host)); }

Argument describe(const mxArray* a) {
    Argument argument;
    argument.isDouble = mxIsDouble(a);
    argument.isComplex = mxIsComplex(a);
    argument.isSparse = mxIsSparse(a);
    argument.rows = mxGetM(a);
    argument.columns = mxGetN(a);
    argument.elements = mxGetNumberOfElements(a);
    argument.isEmpty = mxIsEmpty(a);
    argument.scalar = mexScalar;
    argument.host = a;
    return argument;
}

}  // namespace

const char* checkMexCall(Average average, int nrhs, const mxArray* const prhs[], ColumnJob& job) {
    Argument arguments[kMostArguments];
    for (int i = 0; i < nrhs && i < kMostArguments; ++i) arguments[i] = describe(prhs[i]);
    return checkCall(average, nrhs, arguments, job);
}

}  // namespace zorvan
