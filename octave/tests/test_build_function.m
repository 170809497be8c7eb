## zorvan_build run in Octave: it builds both functions, Octave's own kind with their
## help compiled in, into a folder of its own, and they work from there.

%!test
%! folder = tempname ();
%! unwind_protect
%!   assert (zorvan_build (folder), folder);
%!   assert (sort (cellstr (ls (folder)))', {"Zorvan.oct", "ZorvanRestricted.oct"});
%!   assert_no_contraction (fullfile (folder, "Zorvan.oct"));
%!   assert_no_contraction (fullfile (folder, "ZorvanRestricted.oct"));
%!   addpath (folder);
%!   assert (which ("Zorvan"), fullfile (folder, "Zorvan.oct"));
%!   assert (Zorvan ((1:7)', 3, 1), [1.5 2 3 4 5 6 6.5]');
%!   assert (ZorvanRestricted ((1:7)', 3, [1 0 1 1 0 1 1], 1), [1 2 3.5 3.5 5 6.5 6.5]');
%!   assert_refused (@() Zorvan (sparse (1), 1), "MA of sparse matrices not supported.");
%!   assert (! isempty (strfind (evalc ("help ZorvanRestricted"), "V(r) ~= 0")));
%! unwind_protect_cleanup
%!   if (any (strcmp (folder, strsplit (path (), pathsep ()))))
%!     rmpath (folder);
%!   end
%!   confirm_recursive_rmdir (false, "local");
%!   if (exist (folder, "dir"))
%!     rmdir (folder, "s");
%!   end
%! end_unwind_protect
