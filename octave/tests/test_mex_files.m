## The MEX files that `make octave` builds: Octave loads them (which it could not do
## with our stand-in's mex.h, whose names Octave's library does not define), their
## help files sit beside them, and the flag that keeps every floating-point
## operation separate reached the compiler of every part, the AVX path's among them.

%!test
%! for name = {"Zorvan", "ZorvanRestricted"}
%!   file = which (name{1});
%!   [~, ~, extension] = fileparts (file);
%!   assert (extension, ".mex");
%!   assert (isfile (strrep (file, ".mex", ".m")));
%!   assert_no_contraction (file);
%! end

%!test
%! ## The multi-column paths (AVX where the processor has it, then SSE2: 15 columns
%! ## reach groups of 8, 4 and 2 and one column left over) give the bits that one
%! ## column at a time gives, NaN, Inf and -0 in the data and the selection.
%! x = randn (41, 15) .* 10 .^ randi ([-5 5], 41, 15);
%! x([3 50 77 130 301]) = [NaN Inf -Inf -0 NaN];
%! v = double (rand (41, 1) < 0.6);
%! v([2 9 17]) = [NaN -0 -2];
%! same = @(a, b) isequal (isnan (a), isnan (b)) ...
%!                && isequal (typecast (a(! isnan (a)), "uint64"), typecast (b(! isnan (b)), "uint64"));
%! for W = [1 3 8 39 50]
%!   for S = unique (min ([0 1 floor(W/2) W W+2], rows (x) - 1))
%!     plain = Zorvan (x, W, S);
%!     restricted = ZorvanRestricted (x, W, v, S);
%!     for c = 1:columns (x)
%!       assert (same (plain(:,c), Zorvan (x(:,c), W, S)), "Zorvan W=%d S=%d column %d", W, S, c);
%!       assert (same (restricted(:,c), ZorvanRestricted (x(:,c), W, v, S)), ...
%!               "ZorvanRestricted W=%d S=%d column %d", W, S, c);
%!     end
%!   end
%! end

%!test
%! ## A help file whose compiled function is missing says what to do, and still gives its
%! ## help: in a clone, how to build it; beside no zorvan_build, as in the Windows bundle,
%! ## what that folder is for.
%! source = fullfile (getenv ("ZORVAN_SOURCE_DIR"), "octave");
%! folder = tempname ();
%! mkdir (fullfile (folder, "private"));
%! unwind_protect
%!   for name = {"Zorvan.m", "ZorvanRestricted.m", "zorvan_build.m", "private/zorvan_not_built.m"}
%!     copy_tree (fullfile (source, name{1}), fullfile (folder, name{1}));
%!   end
%!   addpath (folder);
%!   advice = [": not built here; run addpath(zorvan_build()) or make octave, which ", ...
%!             "build Octave's own functions into build/octave."];
%!   assert_refused (@() Zorvan ((1:7)', 3), ["Zorvan" advice]);
%!   assert_refused (@() ZorvanRestricted ((1:7)', 3, ones (7, 1)), ["ZorvanRestricted" advice]);
%!   assert (! isempty (strfind (evalc ("help Zorvan"), "Y = Zorvan(X, W, S)")));
%!   delete (fullfile (folder, "zorvan_build.m"));
%!   rmpath (folder);
%!   addpath (folder);
%!   for platform = {"64-bit Windows", "64-bit Linux"}
%!     readme = fopen (fullfile (folder, "README.txt"), "w");
%!     fprintf (readme, "Zorvan 1.0.0 for MATLAB on %s\n\nTwo MEX functions\n", platform{1});
%!     fclose (readme);
%!     assert_refused (@() Zorvan ((1:7)', 3), ["Zorvan: no compiled Zorvan here; this ", ...
%!                     "folder is for MATLAB on " platform{1} "; in Octave, install ", ...
%!                     "Zorvan's Octave package (pkg install zorvan-<version>.tar.gz)."]);
%!   end
%! unwind_protect_cleanup
%!   rmpath (folder);
%!   confirm_recursive_rmdir (false, "local");
%!   rmdir (folder, "s");
%! end_unwind_protect

%!test
%! ## The whole project tree on the path (ZORVAN_SOURCE_DIR names its root) reaches a
%! ## built function: no help file alone comes first, no link leads out of the tree.
%! root = getenv ("ZORVAN_SOURCE_DIR");
%! mexfile = which ("Zorvan");
%! if (strncmp (mexfile, [root filesep], numel (root) + 1))
%!   saved = path ();
%!   unwind_protect
%!     addpath (genpath (root));
%!     assert (regexp (which ("Zorvan"), "\\.(mex|oct)$"));
%!     assert (Zorvan ((1:7)', 3, 1), [1.5 2 3 4 5 6 6.5]');
%!   unwind_protect_cleanup
%!     path (saved);
%!   end_unwind_protect
%! end
