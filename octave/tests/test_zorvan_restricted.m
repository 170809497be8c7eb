## ZorvanRestricted as Octave runs it: the MEX file built by mkoctfile against
## Octave's own matrix library. Run through run_suite.m with the MEX folder on the path.

%!shared x7
%! x7 = (1:7)';

## The examples of the help text and of the selection's description.
%!assert (ZorvanRestricted (x7, 3, [1 0 1 1 0 1 1]', 1), [1 2 3.5 3.5 5 6.5 6.5]')
%!assert (ZorvanRestricted (x7, 10, [0 1 0 1 0 0 0]', 2), [2 3 3 3 3 3 3]')
%!assert (ZorvanRestricted (x7, 3, [NaN 0 -0 1 0 0 0]'), [1 1 1 4 4 4 7]')
%!assert (ZorvanRestricted ([1 NaN 3 4 5 6]', 2, [1 1 1 0 0 0]'), [1 NaN NaN NaN 5 6]')
%!assert (ZorvanRestricted ((1:5)' / 10, 3, [1 1 1 0 0]', 2)(4:5), [0.4 0.5]')

%!test
%! ## The window's definition over the selected rows, on integer-valued data:
%! ## selections with NaN and -0, windows longer than the column, S = W, S > W.
%! x = floor (200 * rand (9, 3)) - 100;
%! v = [1 0 NaN -0 2 0 0 -1 1]';
%! for M = [1 2 5 9]
%!   for W = [1 2 3 5 11]
%!     for S = unique ([-2 0 1 W-1 W W+1 W+3 M])
%!       if (S <= M)
%!         assert (ZorvanRestricted (x(1:M,:), W, v, S), window_mean (x(1:M,:), W, S, v));
%!       end
%!     end
%!   end
%! end

%!test
%! ## Every row selected and 0 <= S < W: Zorvan's result, bit for bit. No row
%! ## selected: the input itself, bit for bit, in every phase.
%! x = randn (40, 3) .* 10 .^ randi ([-8 8], 40, 3);
%! for W = [1 2 5 40 60]
%!   for S = unique ([0 min(1, W-1) min(W-1, 40)])
%!     assert (isequal (ZorvanRestricted (x, W, ones (40, 1), S), Zorvan (x, W, S)));
%!   end
%!   assert (isequal (ZorvanRestricted (x, W, zeros (40, 1), min (W, 40)), x));
%! end
%! assert (isequal (ZorvanRestricted (x, 3, ones (40, 1), 3)(end,:), x(end,:)));

%!test
%! ## The selection vector: row or column or matrix alike (its first M values in
%! ## storage order), longer than M is fine; an empty shift is no shift.
%! x = reshape (1:14, 7, 2);
%! v = [1 0 1 1 0 1 1];
%! expected = ZorvanRestricted (x, 3, v', 1);
%! assert (ZorvanRestricted (x, 3, v, 1), expected);
%! assert (ZorvanRestricted (x, 3, [v 0 0 5], 1), expected);
%! assert (ZorvanRestricted (x, 3, reshape ([v 1 1], 3, 3), 1), expected);
%! assert (ZorvanRestricted (x, 3, v), ZorvanRestricted (x, 3, v, 0));
%! assert (ZorvanRestricted (x, 3, v, []), ZorvanRestricted (x, 3, v, 0));
%! assert (ZorvanRestricted (x, 3, v, -4), ZorvanRestricted (x, 3, v, 0));
%! assert (ZorvanRestricted (x, 3, v, int16 (1)), expected);
%! assert (ZorvanRestricted (x, 3, v, 1.99), expected);

%!test
%! ## Refusals, each with the first check that fails when several would.
%! x = x7;  v = ones (7, 1);
%! count_message = "Invalid number of input arguments";
%! assert_refused (@() ZorvanRestricted (x, 3), count_message);
%! assert_refused (@() ZorvanRestricted (x, 3, v, 0, 1), count_message);
%! assert_refused (@() ZorvanRestricted (), count_message);
%! complex_message = "MA of a complex sequence not supported.";
%! assert_refused (@() ZorvanRestricted (complex (x), 3, complex (v)), complex_message);
%! assert_refused (@() ZorvanRestricted (int8 (x), 3, v), "MA of non double matrices not supported.");
%! assert_refused (@() ZorvanRestricted (sparse (x), {}, {}), "MA of sparse matrices not supported.");
%! window_message = "Window size must be a real scalar double.";
%! assert_refused (@() ZorvanRestricted (x, [3 3], complex (v)), window_message);
%! assert_refused (@() ZorvanRestricted (x, int8 (3), sparse (v)), window_message);
%! assert_refused (@() ZorvanRestricted (x, 3, complex (v)), "Vector of a complex sequence not supported.");
%! assert_refused (@() ZorvanRestricted (x, 3, complex (single (v))), "Vector of a complex sequence not supported.");
%! for V = {v > 0, int32(v), single(v), "abcdefg", {1}}
%!   assert_refused (@() ZorvanRestricted (x, 3, V{1}), "Vector of non double not supported.");
%! end
%! assert_refused (@() ZorvanRestricted (x, 3, sparse (v)), "Sparse vector not supported.");
%! assert_refused (@() ZorvanRestricted (x, 3, sparse (v(1:3))), "Sparse vector not supported.");
%! short_message = "Vector must have at least as many elements as X has rows.";
%! assert_refused (@() ZorvanRestricted (x, 3, ones (1, 6)), short_message);
%! assert_refused (@() ZorvanRestricted (x, 3, [], 100), short_message);
%! assert_refused (@() ZorvanRestricted (x, 0, ones (2, 3), 100), short_message);
%! assert_refused (@() ZorvanRestricted (zeros (0, 2^31), 3, []), ...
%!                 "Matrix dimensions must be less than 2^31.");
%! range_message = "Window size must be between 1 and 2147483647.";
%! for W = [0.5 0 -1 NaN Inf -Inf 2^31]
%!   assert_refused (@() ZorvanRestricted (x, W, v, 100), range_message);
%! end
%! assert_refused (@() ZorvanRestricted (x, 3, v, 8), "Row size must be greater than Shift.");
%! assert_refused (@() ZorvanRestricted (zeros (0, 2), 3, [], 1), "Row size must be greater than Shift.");

%!error <wrong type argument 'cell'> ZorvanRestricted ((1:7)', 3, ones (7, 1), {1})
%!error <Window size must be between 1 and 2147483647.> ZorvanRestricted ((1:7)', 0, ones (7, 1), {1})

%!test
%! ## S > W: the NaN in row 1 lies in no window; S past 32 bits is past every column.
%! assert (ZorvanRestricted ([NaN 1:4]', 1, ones (5, 1), 2), [2 3 4 3 4]');
%! assert_refused (@() ZorvanRestricted ((1:7)', 3, ones (7, 1), 2^31), ...
%!                 "Row size must be greater than Shift.");

%!test
%! ## ND input is averaged as M x (product of the rest); inputs are left as they were.
%! X = reshape (1:24, 3, 2, 4);  v = [1; 0; 1];
%! y = ZorvanRestricted (X, 2, v, 1);
%! assert (size (y), [3 8]);
%! assert (y, ZorvanRestricted (reshape (X, 3, 8), 2, v, 1));
%! assert (X, reshape (1:24, 3, 2, 4));
%! assert (v, [1; 0; 1]);
%! assert (size (ZorvanRestricted (zeros (0, 3), 2, [])), [0 3]);

%!test
%! ## help shows the function's text (beside a MEX file, or built into an oct-file).
%! text = evalc ("help ZorvanRestricted");
%! assert (! isempty (strfind (text, "Y = ZorvanRestricted(X, W, V, S)")));
%! assert (! isempty (strfind (text, "V(r) ~= 0 selects row r")));
%! assert (! isempty (strfind (text, "Vector must have at least as many elements")));
