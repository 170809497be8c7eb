function varargout = ZorvanRestricted(varargin)
%ZORVANRESTRICTED  Moving average over selected rows only, bit-exact.
%   Y = ZorvanRestricted(X, W, V) is the trailing moving average of each
%   column of X over windows of W rows, counting only the rows that V selects.
%   Y = ZorvanRestricted(X, W, V, S) shifts every window S rows ahead.
%
%   The windows are those of Zorvan: output row j looks at the input rows
%   j+S-W+1 .. j+S, cut at the first and last row of the column. Within its
%   window it averages only the selected rows and divides by their number.
%   Where a window selects no row, the input value X(j) passes through
%   unchanged (bit for bit, a NaN included). For W = 3, S = 1 (centred):
%
%     x'  1  2  3    4    5  6    7
%     v'  1  0  1    1    0  1    1      rows 2 and 5 are left out
%     Y'  1  2  3.5  3.5  5  6.5  6.5    ZorvanRestricted(x, 3, v, 1)'
%
%   Row 2's window holds rows 1..3, of which 1 and 3 count: (1+3)/2 = 2.
%
%   The selection. V(r) ~= 0 selects row r: any non-zero value and NaN
%   select, 0 and -0 do not. V is a real, full double array (a logical mask
%   must be passed as double(mask)); its first M values in storage order,
%   M being the number of rows of X, are used for every column, so a row
%   vector, a column vector or a matrix serve alike. A longer V is fine.
%   V serves every column: for a mask per column, call once per column (a V
%   the size of X is accepted, and its first column serves them all).
%
%   X is a real, full double matrix; each column is one sequence (pass a row
%   vector as x(:)). An array of more than two dimensions is averaged as an
%   M-by-(the product of the other dimensions) matrix, the shape Y comes back
%   in. W and S are truncated toward zero; a negative, NaN or empty S means
%   no shift ({} and struct([]) too), and a positive S past the number of rows
%   (+Inf too) is refused. S is read as in Zorvan (its first element; a char
%   by its code, a sparse S by its first non-zero value, a complex S by its
%   real part; a non-empty cell or struct is no number: Octave refuses it with
%   its own error, MATLAB defines no value). With S larger than W the window lies wholly
%   after its row, and the rows ahead of the first window never enter the
%   sum; where a window holds no selected row the input passes through, so
%   nothing is ever divided by zero.
%
%   Rounding, NaN and Inf as in Zorvan: one running sum per column of the
%   selected rows, so a NaN or Inf in a selected row stays in it for the rest
%   of the column (rows whose window selects nothing still pass their own
%   input through); a NaN in a row that is not selected is never added. With
%   every row selected and 0 <= S < W the result equals Zorvan(X, W, S) bit
%   for bit. With S = W a selection without the first row,
%   ZorvanRestricted(x, W, [0; ones(M-1,1)], W), keeps a NaN there out of
%   the column, which Zorvan(x, W, W) cannot.
%
%   Refusals. The first check that fails ends the call with its message
%   (Octave puts "ZorvanRestricted: " in front):
%     Invalid number of input arguments              not 3 or 4 inputs
%     MA of a complex sequence not supported.        X is complex
%     MA of non double matrices not supported.       X is not double
%     MA of sparse matrices not supported.           X is sparse
%     Window size must be a real scalar double.      W is not a real 1-by-1 double
%     Vector of a complex sequence not supported.    V is complex
%     Vector of non double not supported.            V is not double (logical too)
%     Sparse vector not supported.                   V is sparse
%     Vector must have at least as many elements as X has rows.
%                                                    V is shorter than a column
%     Matrix dimensions must be less than 2^31.      X has 2^31 rows or columns
%     Window size must be between 1 and 2147483647.  W truncated is below 1,
%                                                    or W is NaN, Inf or too large
%     Row size must be greater than Shift.           S truncated exceeds the
%                                                    number of rows
%
%   Example:
%     x = [1 2 3 4 5 6 7]';
%     v = [1 0 1 1 0 1 1]';
%     ZorvanRestricted(x, 3, v, 1)   % 1  2  3.5  3.5  5  6.5  6.5
%     ZorvanRestricted(x, 3, 0 * v)  % x itself: no window selects a row
%
%   See also Zorvan, movmean.

% This file holds the help text: ZorvanRestricted itself is the compiled function of the same
% name beside it (a MEX file, or in Octave an oct-file), which the host calls instead.
% This body runs only where that file is missing.
zorvan_not_built('ZorvanRestricted');
end
