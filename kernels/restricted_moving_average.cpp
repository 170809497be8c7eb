#include "moving_average.h"

void restrictedMovingAverageColumn(const double* x, const double* v, double* y,
                                   std::int32_t M, std::int32_t W, std::int32_t S) {
    if (W < 1) {  // every window is empty: the input passes through
        for (std::int32_t j = 0; j < M; ++j) y[j] = x[j];
        return;
    }
    if (S < 0) S = 0;

    // The sum starts with the first window's first row: rows ahead of it lie in no window.
    const std::int32_t first = firstWindowRow(M, W, S);
    double sum = 0.0;    // sum of the selected rows in the window
    std::int32_t n = 0;  // number of selected rows in the window
    std::int32_t k = first, t = first, j = 0;  // lead, trail, next output cell

    // A row leaves under the same flag it entered with, so sum and n always describe
    // the same rows; unselected rows never touch the sum.
    auto enter = [&](std::int32_t r) {
        if (v[r] != 0.0) {
            sum = sum + x[r];
            ++n;
        }
    };
    auto leave = [&](std::int32_t r) {
        if (v[r] != 0.0) {
            sum = sum - x[r];
            --n;
        }
    };
    auto emit = [&] {
        y[j] = n == 0 ? x[j] : sum / static_cast<double>(n);
        ++j;
    };

    // Preload: the rows ahead of the first output row that its window holds.
    for (; k < S && k < M; ++k) enter(k);
    // Growth: the window fills from the top.
    while (k - first < W && k < M) {
        enter(k++);
        emit();
    }
    // Steady: one row leaves, then one enters.
    for (; k < M; ++k) {
        leave(t++);
        enter(k);
        emit();
    }
    // Tail: windows running past the column's end; rows leave once the window has
    // reached full length, and none is read past the end.
    std::int32_t d = k - first - W;
    while (j < M) {
        if (d < 0) {
            ++d;
        } else if (t < M) {
            leave(t++);
        }
        emit();
    }
}
