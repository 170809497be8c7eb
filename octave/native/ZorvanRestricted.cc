// Y = ZorvanRestricted(X, W, V) or Y = ZorvanRestricted(X, W, V, S) as an Octave-native
// function: the checks and the kernels of the MEX file, with an output that Octave
// neither fills nor copies.
#include "octave_call.h"
#include "columns.h"
#include "ZorvanRestricted_help.h"

DEFUN_DLD(ZorvanRestricted, args, , kHelp) {
    const zorvan::ColumnJob job =
        zorvan::checkOctaveCall("ZorvanRestricted", zorvan::Average::restricted, args);
    NDArray y = zorvan::unfilledMatrix(job.M, job.N);
    if (job.M > 0) {
        const NDArray x = args(0).array_value();
        const NDArray v = args(2).array_value();
        restrictedMovingAverageColumns(x.data(), v.data(), y.fortran_vec(), job.M, job.N,
                                       job.W, job.S);
    }
    return octave_value(y);
}

// `pkg test zorvan` runs these: every example of the help text and one refusal.
/*
%!assert (ZorvanRestricted ((1:7)', 3, [1 0 1 1 0 1 1], 1), [1 2 3.5 3.5 5 6.5 6.5]')
%!assert (ZorvanRestricted ((1:7)', 3, [0 0 0 0 0 0 0]), (1:7)')
%!error <ZorvanRestricted: Vector must have at least as many elements as X has rows.>
%! ZorvanRestricted ((1:7)', 3, [1 0 1])
*/
