#include "gateway_common.h"

#include <cmath>
#include <limits>

namespace zorvan {

namespace {

constexpr std::size_t kDimensionLimit = std::size_t{1} << 31;

const char* checkDataMatrix(const mxArray* X) {
    if (mxIsComplex(X)) return "MA of a complex sequence not supported.";
    if (!mxIsDouble(X)) return "MA of non double matrices not supported.";
    // A sparse array's data hold only its non-zero values, not M x N of them.
    if (mxIsSparse(X)) return "MA of sparse matrices not supported.";
    return nullptr;
}

const char* checkWindowSize(const mxArray* W) {
    if (!mxIsDouble(W) || mxIsComplex(W) || mxGetM(W) != 1 || mxGetN(W) != 1) {
        return "Window size must be a real scalar double.";
    }
    return nullptr;
}

const char* checkSelectionVector(const mxArray* V, const mxArray* X) {
    if (mxIsComplex(V)) return "Vector of a complex sequence not supported.";
    if (!mxIsDouble(V)) return "Vector of non double not supported.";
    if (mxIsSparse(V)) return "Sparse vector not supported.";
    // Every column reads one flag per row; a shorter V would be read past its end.
    if (mxGetNumberOfElements(V) < mxGetM(X)) {
        return "Vector must have at least as many elements as X has rows.";
    }
    return nullptr;
}

const char* checkDimensions(const mxArray* X) {
    if (mxGetM(X) >= kDimensionLimit || mxGetN(X) >= kDimensionLimit) {
        return "Matrix dimensions must be less than 2^31.";
    }
    return nullptr;
}

const char* readColumnJob(const mxArray* X, const mxArray* W, const mxArray* shift,
                          ColumnJob& job) {
    job.M = static_cast<std::int32_t>(mxGetM(X));
    job.N = static_cast<std::int32_t>(mxGetN(X));
    job.W = scalarToInt32(mxGetScalar(W));
    if (job.W < 1) return "Window size must be between 1 and 2147483647.";
    // Read only now: a host may raise its own error for a shift with no number in it,
    // which must not pre-empt the window's refusal. Hosts disagree on the scalar of an
    // empty array, so an empty shift is no shift.
    const double S = shift == nullptr || mxIsEmpty(shift) ? 0.0 : mxGetScalar(shift);
    // Compared before the conversion, so that a shift past the 32-bit range (+Inf too)
    // exceeds every column instead of becoming no shift; NaN compares false.
    if (std::trunc(S) > job.M) return "Row size must be greater than Shift.";
    job.S = scalarToInt32(S);
    return nullptr;
}

}  // namespace

std::int32_t scalarToInt32(double value) {
    // The open bounds keep every value whose truncation fits; NaN fails both tests.
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

const char* checkArguments(const mxArray* X, const mxArray* W, const mxArray* V,
                           const mxArray* shift, ColumnJob& job) {
    if (const char* refusal = checkDataMatrix(X)) return refusal;
    if (const char* refusal = checkWindowSize(W)) return refusal;
    if (V != nullptr) {
        if (const char* refusal = checkSelectionVector(V, X)) return refusal;
    }
    if (const char* refusal = checkDimensions(X)) return refusal;
    return readColumnJob(X, W, shift, job);
}

}  // namespace zorvan
