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

// `pkg test zorvan` runs these: the documented examples and one refusal.
/*
%!assert (Zorvan ((1:7)', 3), [1 1.5 2 3 4 5 6]')
%!assert (Zorvan ((1:7)', 3, 1), [1.5 2 3 4 5 6 6.5]')
%!assert (Zorvan ((1:7)', 10, 2), [2 2.5 3 3.5 4 4 4]')
%!error <Zorvan: Row size must be greater than Shift.> Zorvan ((1:7)', 3, 8)
*/
