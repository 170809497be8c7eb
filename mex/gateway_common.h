// Argument checks, messages and the scalar conversion that both gateways share.
// Each check returns its refusal message, or nullptr when the argument passes, so
// a gateway's validation reads as one ordered list and refuses in one place.
#ifndef ZORVAN_MEX_GATEWAY_COMMON_H
#define ZORVAN_MEX_GATEWAY_COMMON_H

#include "mex.h"

#include <cstddef>
#include <cstdint>

namespace zorvan {

constexpr const char* kInvalidArgumentCount = "Invalid number of input arguments";

// The sizes and integers that the column kernels work with.
struct ColumnJob {
    std::int32_t M;  // rows of X: the length of every column
    std::int32_t N;  // columns of X (an ND array counts all trailing dimensions)
    std::int32_t W;  // window size
    std::int32_t S;  // shift
};

// Truncates toward zero; NaN, the infinities and values outside the int32 range
// become INT32_MIN, which every later check treats as invalid or as no shift.
std::int32_t scalarToInt32(double value);

// X: complex, then not double, then sparse.
const char* checkDataMatrix(const mxArray* X);
// W: not double, complex, rows other than 1, columns other than 1.
const char* checkWindowSize(const mxArray* W);
// V: complex, not double, sparse, fewer elements than X has rows.
const char* checkSelectionVector(const mxArray* V, const mxArray* X);
// X's rows and columns must fit the 32-bit counts.
const char* checkDimensions(const mxArray* X);
// Reads M, N, W and S (shift may be null: absent; empty also means no shift), then
// refuses W below 1 and S above M.
const char* readColumnJob(const mxArray* X, const mxArray* W, const mxArray* shift,
                          ColumnJob& job);

}  // namespace zorvan

#endif
