function varargout = Zorvan(varargin)
%ZORVAN  Shifted moving average down the columns of a matrix, bit-exact.
%   Y = Zorvan(X, W) is the trailing moving average of each column of X over
%   windows of W rows.
%   Y = Zorvan(X, W, S) shifts every window S rows ahead of its output row.
%
%   X is a real, full (not sparse) double matrix. Each column is one sequence,
%   averaged on its own: for a row vector x, call Zorvan(x(:), W), since the
%   columns of a row vector are sequences of one sample each. Y has the size
%   of X; an array of more than two dimensions is averaged as an M-by-(the
%   product of the other dimensions) matrix, which is the shape Y comes back
%   in (reshape(Y, size(X)) restores the original one).
%
%   The window. Output row j is the mean of the input rows j+S-W+1 .. j+S,
%   cut at the first and last row of the column and divided by the number
%   of rows actually inside. For W = 3 and x = (1:7)':
%
%     S              rows averaged for row j   Zorvan(x, 3, S)'
%     0  trailing    j-2 .. j                  1    1.5  2    3    4    5    6
%     1  centred     j-1 .. j+1                1.5  2    3    4    5    6    6.5
%     3  = W         j+1 .. j+3                3    4    5    6    6.5  7    NaN
%
%   For odd W, S = (W-1)/2 centres the window. With S >= W the window lies
%   wholly after its row; in the last S-W+1 rows it holds no row of the
%   column, and the result there is NaN. With S > W the rows ahead of the
%   first window (1 .. S-W+1) never enter the sum. With S = W the first row
%   enters and leaves the sum ahead of the first window, so a NaN there makes
%   the whole column NaN; ZorvanRestricted(x, W, [0; ones(M-1,1)], W) leaves
%   that row out.
%
%   W and S are truncated toward zero (W = 3.9 acts as 3). A negative, NaN or
%   empty S means no shift (an empty cell {} or struct([]) too); a positive S
%   past the number of rows (+Inf and values past 2^31 too) is refused. S is
%   the host's scalar of the argument: its first element, so a char '2' reads
%   as its code, 50, a sparse S as its first non-zero value, and a complex S
%   as its real part (Zorvan(x, 3, complex(1, 5)) shifts by 1, where a complex
%   W is refused). A non-empty cell or struct has no number in it: Octave
%   refuses it with its own conversion error once the window has passed its
%   checks, and MATLAB defines no value for it, so pass a number.
%
%   Rounding. Each column keeps one running sum: the leaving row is
%   subtracted before the entering row is added, and each result is one
%   division, so results are reproducible to the last bit on every machine.
%   Integer data give exact means while window sums stay below 2^53
%   (Zorvan([2^53;1;1;1], 2) ends in 0.5 0.5); ordinary data stayed within
%   4e-14 to 7e-14 of the exact means over a million rows, the error growing
%   along the column. The sum keeps the rounding of every step: after a value
%   much larger than the rest has left the window, its residue stays
%   (Zorvan([1e16; ones(7,1)], 2) gives 0.5 from the third row on, where the
%   mean is 1); a window of zeros after large values gives that residue, not
%   0, and it may be negative (up to 4e-13 for values up to 300); at the end
%   of a column with S near W the shrinking windows carry the rounding of
%   W-row sums (3e-13 measured for W = S = 101). W = 1 returns finite input
%   unchanged (-0 comes back as +0).
%
%   NaN and Inf stay in the running sum: a NaN makes its own result and every
%   later result of its column NaN, also after it has left the window; an Inf
%   in the data gives +-Inf while inside the window and NaN after it has left,
%   and an Inf made by overflow (Zorvan([realmax; realmax; 1; 1], 2)) stays.
%   The next column starts clean. To leave missing values out instead,
%   average each column over its rows that are not NaN:
%     y = ZorvanRestricted(x, W, double(~isnan(x)), S)    % x one column
%
%   Refusals. The first check that fails ends the call with its message (Octave
%   puts "Zorvan: " in front):
%     Invalid number of input arguments              not 2 or 3 inputs
%     MA of a complex sequence not supported.        X is complex
%     MA of non double matrices not supported.       X is not double (single,
%                                                    integer, logical, char...)
%     MA of sparse matrices not supported.           X is sparse
%     Window size must be a real scalar double.      W is not a real 1-by-1 double
%     Matrix dimensions must be less than 2^31.      X has 2^31 rows or columns
%     Window size must be between 1 and 2147483647.  W truncated is below 1,
%                                                    or W is NaN, Inf or too large
%     Row size must be greater than Shift.           S truncated exceeds the
%                                                    number of rows (S = rows is
%                                                    accepted; +Inf exceeds it)
%
%   Example:
%     x = [1 2 3 4 5 6 7]';
%     Zorvan(x, 3)        % 1  1.5  2  3  4  5  6      (as a column)
%     Zorvan(x, 3, 1)     % 1.5  2  3  4  5  6  6.5
%     Zorvan(x, 10, 2)    % 2  2.5  3  3.5  4  4  4    (W longer than x)
%
%   See also ZorvanRestricted, movmean.

% This file holds the help text: Zorvan itself is the compiled function of the same
% name beside it (a MEX file, or in Octave an oct-file), which the host calls instead.
% This body runs only where that file is missing.
zorvan_not_built('Zorvan');
end
