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

// Every check after the argument count, in order: X (complex, not double, sparse),
// W (not double, complex, not 1 x 1), V when given (complex, not double, sparse,
// shorter than a column), X's size (rows and columns below 2^31); then reads M, N and W
// and refuses W below 1, and only then reads S and refuses S above M (a positive S past
// the 32-bit range included). V and shift may be null (absent); an empty shift is no
// shift. Returns the first refusal, or nullptr with job filled in.
const char* checkArguments(const mxArray* X, const mxArray* W, const mxArray* V,
                           const mxArray* shift, ColumnJob& job);

}  // namespace zorvan

#endif
