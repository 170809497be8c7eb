// Y = ZorvanRestricted(X, W, V) or Y = ZorvanRestricted(X, W, V, S): the moving
// average of each column of X over the rows that V selects (V(r) ~= 0, NaN included)
// within each window; where a window selects no row, X passes through.
#include "gateway_common.h"
#include "columns.h"

namespace {
enum Input { kData, kWindow, kSelection, kShift };
}  // namespace

void mexFunction(int /*nlhs*/, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    zorvan::ColumnJob job{};
    if (const char* refusal = zorvan::checkMexCall(zorvan::Average::restricted, nrhs, prhs, job)) {
        mexErrMsgTxt(refusal);
        return;
    }

    plhs[0] = mxCreateDoubleMatrix(job.M, job.N, mxREAL);
    // Columns of no rows have nothing to average, and there may be 2^31 - 1 of them.
    if (job.M == 0) return;
    const double* x = mxGetPr(prhs[kData]);
    const double* v = mxGetPr(prhs[kSelection]);
    double* y = mxGetPr(plhs[0]);
    restrictedMovingAverageColumns(x, v, y, job.M, job.N, job.W, job.S);
}
