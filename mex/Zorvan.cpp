// Y = Zorvan(X, W) or Y = Zorvan(X, W, S): the moving average of each column of X
// over windows of W rows whose last row lies S rows after the output row (S = 0:
// trailing; S = (W-1)/2 for odd W: centred), cut at the ends of the column.
#include "gateway_common.h"
#include "columns.h"

namespace {
enum Input { kData, kWindow, kShift };
}  // namespace

void mexFunction(int /*nlhs*/, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    zorvan::ColumnJob job{};
    if (const char* refusal = zorvan::checkMexCall(zorvan::Average::plain, nrhs, prhs, job)) {
        mexErrMsgTxt(refusal);
        return;
    }

    plhs[0] = mxCreateDoubleMatrix(job.M, job.N, mxREAL);
    // Columns of no rows have nothing to average, and there may be 2^31 - 1 of them.
    if (job.M == 0) return;
    const double* x = mxGetPr(prhs[kData]);
    double* y = mxGetPr(plhs[0]);
    movingAverageColumns(x, y, job.M, job.N, job.W, job.S);
}
