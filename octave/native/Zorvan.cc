// Y = Zorvan(X, W) or Y = Zorvan(X, W, S) as an Octave-native function: the checks and
// the kernels of the MEX file, with an output that Octave neither fills nor copies.
#include "octave_call.h"
#include "columns.h"
#include "Zorvan_help.h"

DEFUN_DLD(Zorvan, args, , kHelp) {
    const zorvan::ColumnJob job = zorvan::checkOctaveCall("Zorvan", zorvan::Average::plain, args);
    NDArray y = zorvan::unfilledMatrix(job.M, job.N);
    // Columns of no rows have nothing to average, and there may be 2^31 - 1 of them.
    if (job.M > 0) {
        const NDArray x = args(0).array_value();
        movingAverageColumns(x.data(), y.fortran_vec(), job.M, job.N, job.W, job.S);
    }
    return octave_value(y);
}

// `pkg test zorvan` runs these: every example of the help text and one refusal.
/*
%!assert (Zorvan ((1:7)', 3), [1 1.5 2 3 4 5 6]')
%!assert (Zorvan ((1:7)', 3, 1), [1.5 2 3 4 5 6 6.5]')
%!assert (Zorvan ((1:7)', 3, 3), [3 4 5 6 6.5 7 NaN]')
%!assert (Zorvan ((1:7)', 10, 2), [2 2.5 3 3.5 4 4 4]')
%!assert (Zorvan ((1:7)', 3, complex (1, 5)), Zorvan ((1:7)', 3, 1))
%!assert (Zorvan ((1:7)', 3, {}), Zorvan ((1:7)', 3))
%!assert (Zorvan ((1:7)', 3, struct ([])), Zorvan ((1:7)', 3))
%!assert (Zorvan ([2^53; 1; 1; 1], 2)(3:4), [0.5; 0.5])
%!assert (Zorvan ([1e16; ones(7, 1)], 2)(3:8), 0.5 * ones (6, 1))
%!assert (Zorvan ([realmax; realmax; 1; 1], 2)(2:4), Inf (3, 1))
%!assert (Zorvan ([NaN; 1; 2; 3], 2, 2), NaN (4, 1))
%!assert (ZorvanRestricted ([NaN; 1; 2; 3], 2, [0; 1; 1; 1], 2), [1.5; 2.5; 3; 3])
%!test
%! x = [1; NaN; 3; 4; NaN; 6];
%! assert (ZorvanRestricted (x, 3, double (! isnan (x)), 1), [1 2 3.5 3.5 5 6]');
%!error <Zorvan: Row size must be greater than Shift.> Zorvan ((1:7)', 3, 8)
*/
