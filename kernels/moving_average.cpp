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

    // The sum starts with the first window's first row: rows ahead of it lie in no window.
    const std::int32_t first = firstWindowRow(M, W, S);
    double sum = 0.0;
    std::int32_t k = first;  // lead: next row to enter
    std::int32_t t = first;  // trail: next row to leave
    std::int32_t j = 0;      // next output cell

    // Preload: the rows ahead of the first output row that its window holds; no output.
    for (; k < S && k < M; ++k) sum = sum + x[k];
    // Growth: the window fills from the top; it holds the k - first rows entered so far.
    while (k - first < W && k < M) {
        sum = sum + x[k];
        ++k;
        y[j++] = sum / static_cast<double>(k - first);
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
    std::int32_t d = k - first - W;
    std::int32_t g = M - first < W ? M - first : W;
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
