## Both routes in one Octave session: Octave's own kind of function (the folder
## ZORVAN_NATIVE_DIR names) and the deliverables' MEX files (ZORVAN_MEX_DIR). For
## every kind of argument they give the same result bits or the same message, and
## they show the same help.

%!function [accepted, result] = on_route (folder, call)
%!  ## CALL () with FOLDER first on the path: its result, or its error's message.
%!  addpath (folder);
%!  unwind_protect
%!    result = call ();
%!    accepted = true;
%!  unwind_protect_cleanup
%!    rmpath (folder);
%!  end_unwind_protect
%!endfunction

%!function result = attempt (folder, call)
%!  try
%!    [~, result] = on_route (folder, call);
%!  catch err
%!    result = err.message;
%!  end_try_catch
%!endfunction

%!function same = same_bits (a, b)
%!  same = strcmp (class (a), class (b)) && isequal (size (a), size (b));
%!  if (same && isnumeric (a))
%!    same = isequal (typecast (a(:), "uint64"), typecast (b(:), "uint64"));
%!  elseif (same)
%!    same = isequal (a, b);
%!  end
%!endfunction

%!function same_on_both (native, mex, name, kinds)
%!  ## Each argument list of KINDS through NAME on both routes: the same bits or message.
%!  for i = 1:numel (kinds)
%!    args = kinds{i};
%!    a = attempt (native, @() feval (name, args{:}));
%!    b = attempt (mex, @() feval (name, args{:}));
%!    assert (same_bits (a, b), "%s, kind %d: %s against %s", name, i, disp (a), disp (b));
%!  end
%!endfunction

%!function outputs = two_outputs (varargin)
%!  [a, b] = Zorvan (varargin{:});
%!  outputs = {a, b};
%!endfunction

%!shared native, mex
%! native = getenv ("ZORVAN_NATIVE_DIR");
%! mex = getenv ("ZORVAN_MEX_DIR");

%!test
%! ## Each folder holds its own kind of file, built without contraction.
%! for name = {"Zorvan", "ZorvanRestricted"}
%!   [~, file] = on_route (native, @() which (name{1}));
%!   assert (regexp (file, "\\.oct$"), 1 + numel (file) - 4);
%!   assert_no_contraction (file);
%!   [~, file] = on_route (mex, @() which (name{1}));
%!   assert (regexp (file, "\\.mex$"), 1 + numel (file) - 4);
%! end

%!test
%! ## One table of argument kinds: the same bits or the same message on both routes.
%! x = [1 NaN 3 -0 5 Inf 7.25]';
%! v = [1 0 NaN -0 2 1 1]';
%! kinds = { ...
%!   {x, 3}, {x, 3, 1}, {x, 3, 7}, {x, 2, 5}, {x, 3.9, -2.5}, {1:7, 3}, {(1:7)', 3}, ...
%!   {reshape(1:24, 3, 2, 4), 2, 1}, {eye(3) * 2, 2}, {[x x], 1, NaN}, ...
%!   {zeros(0, 3), 2}, {zeros(3, 0), 2, 3}, {[], 1}, {zeros(0, 3, 2), 2}, {zeros(3, 0, 2), 1}, ...
%!   {zeros(0, 3), 2, 1}, {x}, {x, 3, 0, 1}, {}, ...
%!   {single(x), 3}, {int32(x), 3}, {x > 2, 3}, {"abcdefg", 3}, {{1}, 3}, ...
%!   {struct("a", 1), 3}, {@sin, 3}, {complex(x), 3}, {complex(single(x)), 3}, ...
%!   {sparse(x), 3}, {sparse(x + 2i), 3}, ...
%!   {x, [3 3]}, {x, int8(3)}, {x, single(3)}, {x, complex(3, 1)}, {x, {3}}, {x, "3"}, ...
%!   {x, true}, {x, []}, {x, ones(1, 1, 2)}, {x, 0}, {x, NaN}, {x, Inf}, {x, 2^31}, ...
%!   {x, 0, {1}}, {x, NaN, @sin}, {x, 3, "2"}, {x, 3, ""}, {x, 3, true}, {x, 3, int8(1)}, ...
%!   {x, 3, uint64(1)}, {x, 3, [1 5; 6 7]}, {x, 3, []}, {x, 3, {}}, {x, 3, {1}}, ...
%!   {x, 3, struct("a", 1)}, {x, 3, @sin}, {x, 3, complex(1, 5)}, {x, 3, sparse([0 1])}, ...
%!   {x, 3, sparse(zeros(1, 2))}, {x, 3, Inf}, {x, 3, -Inf}, {x, 3, 2^31}, {x, 3, 8}};
%! same_on_both (native, mex, "Zorvan", kinds);
%! restricted = { ...
%!   {x, 3, v}, {x, 3, v, 1}, {x, 3, v', 7}, {x, 3, [v; 0; 0]}, {x, 3, reshape([v; 1], 2, 4)}, ...
%!   {x, 3, v(1:6)}, {x, 3, []}, {x, 3, v > 0}, {x, 3, int8(v)}, {x, 3, single(v)}, ...
%!   {x, 3, sparse(v)}, {x, 3, complex(v)}, {x, 3, "abcdefg"}, {x, 3, {1}}, ...
%!   {complex(x), 3, complex(v)}, {x, [3 3], complex(v)}, {x, 0, v, 100}, {x, 0, [1], 100}, ...
%!   {x, 3, v, 8}, {x, 3, v, {1}}, {x, 0, v, {1}}, {zeros(0, 2), 3, [], 1}, {zeros(0, 2), 3, []}, ...
%!   {reshape(1:24, 3, 2, 4), 2, [1; 0; 1], 1}, {x, 3}, {x, 3, v, 0, 1}};
%! same_on_both (native, mex, "ZorvanRestricted", restricted);
%! assert (attempt (native, @() two_outputs (x, 3)), attempt (mex, @() two_outputs (x, 3)));

%!test
%! ## The same help on both routes, and lookfor finds both functions on each.
%! for name = {"Zorvan", "ZorvanRestricted"}
%!   text = @() regexprep (evalc (["help " name{1}]), "^[^\n]*\n", "");
%!   [~, a] = on_route (native, text);
%!   [~, b] = on_route (mex, text);
%!   assert (a, b);
%! end
%! found = @() evalc ("lookfor moving");
%! for folder = {native, mex}
%!   [~, text] = on_route (folder{1}, found);
%!   assert (! isempty (regexp (text, "Zorvan +ZORVAN  Shifted moving average")));
%!   assert (! isempty (regexp (text, "ZorvanRestricted +ZORVANRESTRICTED  Moving average")));
%! end
