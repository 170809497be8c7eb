// Column kernels of the Zorvan moving averages.
//
// Each kernel averages one column of M doubles into M output cells. The window of
// output row j covers rows j+S-W+1 .. j+S, cut at both ends of the column. The
// kernels keep one running sum per column, updated in a fixed order, so results
// are reproducible to the last bit; they include no host header, never allocate
// and never fail.
#ifndef ZORVAN_KERNELS_MOVING_AVERAGE_H
#define ZORVAN_KERNELS_MOVING_AVERAGE_H

#include <cstdint>

namespace {  // internal linkage: the AVX path compiles its own copy for its own target

// The first row that any window holds, for W >= 1 and S >= 0, at most M. With S > W the
// rows 0 .. S-W lie ahead of every window, so no running sum ever holds them.
inline std::int32_t firstWindowRow(std::int32_t M, std::int32_t W, std::int32_t S) {
    if (S <= W) return 0;
    return S - W + 1 < M ? S - W + 1 : M;
}

}  // namespace

// Mean of each window; NaN where the window holds no row of the column.
// W < 1 means every window is empty. A negative S acts as S = 0. Callers keep
// S <= M; a larger S still writes only the M cells of y.
void movingAverageColumn(const double* x, double* y, std::int32_t M, std::int32_t W,
                         std::int32_t S);

// Mean over the selected rows of each window (row r is selected when v[r] != 0.0,
// so NaN selects and both zeros do not); where a window selects nothing, x[j]
// passes through bit for bit. v holds at least M values.
void restrictedMovingAverageColumn(const double* x, const double* v, double* y,
                                   std::int32_t M, std::int32_t W, std::int32_t S);

#endif
