#include "moving_average.h"

#include <limits>

void movingAverageColumn(const double* x, double* y, std::int32_t M, std::int32_t W,
                         std::int32_t S) {
    const double emptyWindow = std::numeric_limits<double>::quiet_NaN();
    if (W < 1) {
        for (std::int32_t j = 0; j < M; ++j) y[j] = emptyWindow;
        return;
    }
    if (S < 0) S = 0;  // a window cannot end before its output row

    double sum = 0.0;
    std::int32_t k = 0;  // lead: rows entered so far, next row to enter
    std::int32_t t = 0;  // trail: next row to leave
    std::int32_t j = 0;  // next output cell

    // Preload: the S rows ahead of the first output row, no output. With S > W the
    // earliest of them leave again, so the sum never holds more than W rows.
    for (; k < S && k < M; ++k) {
        if (k >= W) {
            sum = sum - x[t];
            ++t;
        }
        sum = sum + x[k];
    }
    // Growth: the window fills from the top; it holds the k rows entered so far.
    while (k < W && k < M) {
        sum = sum + x[k];
        ++k;
        y[j++] = sum / static_cast<double>(k);
    }
    // Steady: full windows of W rows; the leaving row goes before the entering one.
    for (; k < M; ++k, ++t) {
        sum = sum - x[t];
        sum = sum + x[k];
        y[j++] = sum / static_cast<double>(W);
    }
    // Tail: the last rows, whose windows run past the column's end. While d < 0 the
    // window never reached full length and no row leaves; after that one row leaves
    // per output, and g counts the rows left until the window is empty.
    std::int32_t d = k - W;
    std::int32_t g = M < W ? M : W;
    for (; j < M; ++j) {
        if (d < 0) {
            ++d;
        } else if (g > 0) {
            sum = sum - x[t];
            ++t;
            --g;
        }
        y[j] = g > 0 ? sum / static_cast<double>(g) : emptyWindow;
    }
}
