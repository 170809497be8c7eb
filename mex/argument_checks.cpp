#include "argument_checks.h"

#include <cmath>
#include <limits>

namespace zorvan {

namespace {

constexpr std::size_t kDimensionLimit = std::size_t{1} << 31;

double scalarOf(const Argument& a) { return a.scalar(a.host); }

// Truncates toward zero; NaN, the infinities and values outside the int32 range become
// INT32_MIN, which every later check treats as invalid or as no shift.
std::int32_t scalarToInt32(double value) {
    // The open bounds keep every value whose truncation fits; NaN fails both tests.
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

const char* checkDataMatrix(const Argument& X) {
    if (X.isComplex) return "MA of a complex sequence not supported.";
    if (!X.isDouble) return "MA of non double matrices not supported.";
    // A sparse array's data hold only its non-zero values, not M x N of them.
    if (X.isSparse) return "MA of sparse matrices not supported.";
    return nullptr;
}

const char* checkWindowSize(const Argument& W) {
    if (!W.isDouble || W.isComplex || W.rows != 1 || W.columns != 1) {
        return "Window size must be a real scalar double.";
    }
    return nullptr;
}

const char* checkSelectionVector(const Argument& V, const Argument& X) {
    if (V.isComplex) return "Vector of a complex sequence not supported.";
    if (!V.isDouble) return "Vector of non double not supported.";
    if (V.isSparse) return "Sparse vector not supported.";
    // Every column reads one flag per row; a shorter V would be read past its end.
    if (V.elements < X.rows) return "Vector must have at least as many elements as X has rows.";
    return nullptr;
}

const char* checkDimensions(const Argument& X) {
    if (X.rows >= kDimensionLimit || X.columns >= kDimensionLimit) {
        return "Matrix dimensions must be less than 2^31.";
    }
    return nullptr;
}

const char* readColumnJob(const Argument& X, const Argument& W, const Argument* shift,
                          ColumnJob& job) {
    job.M = static_cast<std::int32_t>(X.rows);
    job.N = static_cast<std::int32_t>(X.columns);
    job.W = scalarToInt32(scalarOf(W));
    if (job.W < 1) return "Window size must be between 1 and 2147483647.";
    // Read only now: a host's own error for a shift with no number in it must not
    // pre-empt the window's refusal. Hosts disagree on the scalar of an empty array, so
    // an empty shift is no shift.
    const double S = shift == nullptr || shift->isEmpty ? 0.0 : scalarOf(*shift);
    // Compared before the conversion, so that a shift past the 32-bit range (+Inf too)
    // exceeds every column instead of becoming no shift; NaN compares false.
    if (std::trunc(S) > job.M) return "Row size must be greater than Shift.";
    job.S = scalarToInt32(S);
    return nullptr;
}

}  // namespace

const char* checkCall(Average average, int count, const Argument* arguments, ColumnJob& job) {
    // X, W and (restricted) V, then an optional shift.
    const int required = average == Average::restricted ? 3 : 2;
    if (count < required || count > required + 1) return "Invalid number of input arguments";
    const Argument& X = arguments[0];
    const Argument& W = arguments[1];
    if (const char* refusal = checkDataMatrix(X)) return refusal;
    if (const char* refusal = checkWindowSize(W)) return refusal;
    if (average == Average::restricted) {
        if (const char* refusal = checkSelectionVector(arguments[2], X)) return refusal;
    }
    if (const char* refusal = checkDimensions(X)) return refusal;
    return readColumnJob(X, W, count > required ? &arguments[required] : nullptr, job);
}

}  // namespace zorvan
