// The argument checks of both averages, their messages and their order, and the
// conversion of the window and the shift to integers, written once for every host: a
// host describes each argument, and the checks give the first refusal or the job. No
// host header here, so the checks build and run without any host.
#ifndef ZORVAN_MEX_ARGUMENT_CHECKS_H
#define ZORVAN_MEX_ARGUMENT_CHECKS_H

#include <cstddef>
#include <cstdint>

namespace zorvan {

// The sizes and integers that the column kernels work with.
struct ColumnJob {
    std::int32_t M;  // rows of X: the length of every column
    std::int32_t N;  // columns of X (an ND array counts all trailing dimensions)
    std::int32_t W;  // window size
    std::int32_t S;  // shift
};

// One argument as its host describes it.
struct Argument {
    bool isDouble = false;
    bool isComplex = false;
    bool isSparse = false;
    std::size_t rows = 0;      // the first dimension
    std::size_t columns = 0;   // every other dimension multiplied
    std::size_t elements = 0;
    bool isEmpty = true;
    // The host's scalar of the argument: its first element as the host converts it. A
    // host may raise its own error for one with no number in it, so the checks read it
    // only where its value is due, after every check that comes first.
    double (*scalar)(const void* host) = nullptr;
    const void* host = nullptr;
};

enum class Average { plain, restricted };

// The most arguments a call is described with: X, W, V and S.
constexpr int kMostArguments = 4;

// Every check in order: the argument count (X, W[, S] or X, W, V[, S]); X (complex, not
// double, sparse); W (not double, complex, not 1 x 1); V (complex, not double, sparse,
// shorter than a column); X's size (rows and columns below 2^31); W below 1 after the
// conversion; then the shift is read and refused above M (a positive one past the 32-bit
// range too). An absent or empty shift is no shift. `arguments` holds the first
// min(count, kMostArguments) arguments. Returns the first refusal, or nullptr with job
// filled in.
const char* checkCall(Average average, int count, const Argument* arguments, ColumnJob& job);

}  // namespace zorvan

#endif
