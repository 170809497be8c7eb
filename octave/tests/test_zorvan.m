## Zorvan as Octave runs it: the MEX file built by mkoctfile against Octave's own
## matrix library. Run through run_suite.m with the MEX folder on the path.

%!shared x7
%! x7 = (1:7)';

## The examples of the help text and of the window's description.
%!assert (Zorvan (x7, 3), [1 1.5 2 3 4 5 6]')
%!assert (Zorvan (x7, 3, 1), [1.5 2 3 4 5 6 6.5]')
%!assert (Zorvan (x7, 3, 3), [3 4 5 6 6.5 7 NaN]')
%!assert (Zorvan (x7, 10, 2), [2 2.5 3 3.5 4 4 4]')
%!assert (Zorvan ([1 NaN 3 4 5]', 2), [1 NaN NaN NaN NaN]')
%!assert (Zorvan ([1 Inf 3 4 5]', 2), [1 Inf Inf NaN NaN]')

%!test
%! ## The window's definition, on integer-valued data where every sum is exact:
%! ## windows longer than the column, S = W, S > W, negative S.
%! x = floor (200 * rand (9, 3)) - 100;
%! for M = [1 2 5 9]
%!   for W = [1 2 3 5 11]
%!     for S = unique ([-2 0 1 W-1 W W+1 W+3 M])
%!       if (S <= M)
%!         assert (Zorvan (x(1:M,:), W, S), window_mean (x(1:M,:), W, S));
%!       end
%!     end
%!   end
%! end

%!test
%! ## Octave's movmean over [W-1-S, S] shrinks its windows at both ends, as ours
%! ## do. It sums each window afresh, so on data of unit size the two differ by a
%! ## few rounding errors of the running sum, far below the tolerance.
%! x = [2 * rand(300, 1) - 1, randn(300, 2)];
%! for W = [2 3 4 9 50 300]
%!   for S = unique ([0 1 floor((W-1)/2) W-1])
%!     assert (Zorvan (x, W, S), movmean (x, [W-1-S, S]), 1e-12);
%!   end
%! end
%! ## The README's mappings from movmean's calls (W = 1 left out: Octave 7's movmean
%! ## gets it wrong). 'omitnan', which Octave's movmean does not implement, is the
%! ## window's sum over its count of numbers, each taken from movmean.
%! for kb = 0:5
%!   for kf = 0:5
%!     if (kb + kf > 0)
%!       assert (Zorvan (x, kb + kf + 1, kf), movmean (x, [kb kf]), 1e-12);
%!     end
%!   end
%! end
%! for k = 2:9
%!   S = [k / 2 - 1, (k - 1) / 2](1 + mod (k, 2));   # k even, k odd
%!   assert (Zorvan (x, k, S), movmean (x, k), 1e-12);
%!   y = x;
%!   y([3 4 5 40 41 42 43 44 45 46 47 48 49 50 299], :) = NaN;
%!   numbers = ! isnan (y);
%!   y0 = y;
%!   y0(! numbers) = 0;
%!   omitted = movmean (y0, k) ./ movmean (double (numbers), k);
%!   for c = 1:columns (y)
%!     assert (ZorvanRestricted (y(:,c), k, double (numbers(:,c)), S), omitted(:,c), 1e-12);
%!   end
%! end

%!test
%! ## The order of operations shows in the bits: 1e16 + 1 rounds back to 1e16, and
%! ## subtracting the leaving row before adding the entering one leaves 1, not 0.
%! assert (Zorvan ([1e16 1 1 1]', 2), [1e16 5e15 0.5 0.5]');

%!test
%! ## W = 1 returns finite input bit for bit (-0 as +0). A NaN stays in its own
%! ## column's running sum; the next column starts clean.
%! x = randn (50, 4) .* 10 .^ randi ([-200 200], 50, 4);
%! assert (isequal (Zorvan (x, 1), x));
%! assert (1 ./ Zorvan (-0, 1), Inf);
%! assert (Zorvan ([NaN 1; 2 3], 1), [NaN 1; NaN 3]);

%!test
%! ## Refusals, each with the first check that fails when several would.
%! x = x7;
%! assert_refused (@() Zorvan (), "Invalid number of input arguments");
%! assert_refused (@() Zorvan (x), "Invalid number of input arguments");
%! assert_refused (@() Zorvan (x, 3, 0, 1), "Invalid number of input arguments");
%! assert_refused (@() Zorvan ({}, {}, {}, {}), "Invalid number of input arguments");
%! complex_message = "MA of a complex sequence not supported.";
%! assert_refused (@() Zorvan (complex (x), 3), complex_message);
%! assert_refused (@() Zorvan (complex (single (x)), {}), complex_message);
%! assert_refused (@() Zorvan (sparse (x + 2i), 3), complex_message);
%! for X = {single(x), int32(x), uint8(x), x > 2, "abcdefg", {1}, struct("a", 1)}
%!   assert_refused (@() Zorvan (X{1}, 3), "MA of non double matrices not supported.");
%! end
%! assert_refused (@() Zorvan (sparse (x), 3), "MA of sparse matrices not supported.");
%! assert_refused (@() Zorvan (sparse (x), {}), "MA of sparse matrices not supported.");
%! for W = {[3 3], [3; 3], [], complex(3, 1), int32(3), single(3), true, "3", {3}, ...
%!          ones(1, 1, 2)}
%!   assert_refused (@() Zorvan (x, W{1}), "Window size must be a real scalar double.");
%!   assert_refused (@() Zorvan (x, W{1}, 100), "Window size must be a real scalar double.");
%! end
%! range_message = "Window size must be between 1 and 2147483647.";
%! for W = [0.99 0 -0 -3 NaN Inf -Inf 2^31]
%!   assert_refused (@() Zorvan (x, W), range_message);
%!   assert_refused (@() Zorvan (x, W, 100), range_message);
%! end
%! assert_refused (@() Zorvan (x, 3, 8), "Row size must be greater than Shift.");
%! assert_refused (@() Zorvan (x, 3, 8.9), "Row size must be greater than Shift.");
%! assert_refused (@() Zorvan (x, 3, "a"), "Row size must be greater than Shift.");
%! assert_refused (@() Zorvan (zeros (0, 3), 2, 1), "Row size must be greater than Shift.");
%! ## Too many rows or columns for 32-bit counts: empty arrays are enough to show it.
%! for X = {zeros(0, 2^31), zeros(2^31, 0), zeros(0, 2^30, 2)}
%!   assert_refused (@() Zorvan (X{1}, 0), "Matrix dimensions must be less than 2^31.");
%! end

%!test
%! ## The shift: truncated toward zero, any numeric class, the first element only;
%! ## negative, NaN and empty shifts are no shift; a positive one past 32 bits is
%! ## past every column.
%! x = x7;
%! unshifted = Zorvan (x, 3);
%! for S = {[], zeros(0, 3), {}, -1.5, NaN, -Inf, -2^40, -0.9, 0.9}
%!   assert (Zorvan (x, 3, S{1}), unshifted);
%! end
%! for S = {Inf, 2^31, 2^31 - 1, 1e10, 1e300, intmax("int64"), single(2^31)}
%!   assert_refused (@() Zorvan (x, 3, S{1}), "Row size must be greater than Shift.");
%! end
%! shifted = Zorvan (x, 3, 1);
%! for S = {1.9, int8(1), true, single(1.7), complex(1, 5), [1 5; 6 7], uint64(1), ...
%!          sparse([0 1])}
%!   assert (Zorvan (x, 3, S{1}), shifted);
%! end
%! assert (Zorvan (x, 3.9, 7), window_mean (x, 3, 7));   # S = M is accepted

%!error <wrong type argument 'cell'> Zorvan ((1:7)', 3, {1})
%!error <wrong type argument> Zorvan ((1:7)', 3, struct ("a", 1))
%!error <Window size must be between 1 and 2147483647.> Zorvan ((1:7)', 0, {1})
%!error <Window size must be between 1 and 2147483647.> Zorvan ((1:7)', NaN, @sin)

%!test
%! ## S > W: rows 1 .. S-W+1 lie in no window and never enter the running sum.
%! assert (Zorvan ([NaN 1:6]', 1, 3), [3 4 5 6 NaN NaN NaN]');
%! assert (Zorvan ([1e16; ones(7, 1)], 2, 3), [1 1 1 1 1 1 NaN NaN]');

%!test
%! ## Shapes: empty columns, empty rows, a row vector (columns of one sample), ND
%! ## input averaged as M x (product of the rest), and the output's class.
%! assert (size (Zorvan (zeros (0, 3), 2)), [0 3]);
%! assert (size (Zorvan (zeros (5, 0), 2, 5)), [5 0]);
%! assert (Zorvan (1:7, 3), 1:7);
%! X = reshape (1:24, 3, 2, 4);
%! y = Zorvan (X, 2, 1);
%! assert (size (y), [3 8]);
%! assert (y, Zorvan (reshape (X, 3, 8), 2, 1));
%! assert (class (y), "double");
%! assert (isreal (y) && ! issparse (y));

%!test
%! ## Inputs are left as they were (a gateway writing into X would show here: the
%! ## arrays below share no data with the expected values).
%! x = (1:7)' * 1.5;  W = 3;  S = 2;
%! y = Zorvan (x, W, S);
%! assert (x, (1:7)' * 1.5);
%! assert ([W S], [3 2]);
%! assert (! isequal (y, x));

%!test
%! ## help shows the function's text (beside a MEX file, or built into an oct-file).
%! text = evalc ("help Zorvan");
%! assert (! isempty (strfind (text, "Y = Zorvan(X, W, S)")));
%! assert (! isempty (strfind (text, "Row size must be greater than Shift.")));
%! assert (! isempty (strfind (text, "Zorvan(x(:), W)")));
