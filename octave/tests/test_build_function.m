## zorvan_build run in Octave: it builds both functions, Octave's own kind with their
## help compiled in, into a folder of its own, and they work from there. It runs from a
## copy of the sources in a folder whose name has a space, parentheses, an apostrophe and
## a letter beyond ASCII, as users' folders have, and builds into one like it.

%!test
%! scratch = tempname ();
%! odd = "Zorvan (copy) d'été";
%! root = fullfile (scratch, odd);
%! folder = fullfile (scratch, ["out " odd]);
%! source = fileparts (fileparts (which ("zorvan_build")));
%! unwind_protect
%!   mkdir (fullfile (root, "octave"));
%!   copyfile (fullfile (source, "sources.mk"), root);
%!   copyfile (fullfile (source, "mex"), fullfile (root, "mex"));
%!   copyfile (fullfile (source, "kernels"), fullfile (root, "kernels"));
%!   for part = {"zorvan_build.m", "native", "help", "private"}
%!     copyfile (fullfile (source, "octave", part{1}), fullfile (root, "octave", part{1}));
%!   end
%!   build = fullfile (root, "octave");
%!   addpath (build);
%!   assert (which ("zorvan_build"), fullfile (build, "zorvan_build.m"));
%!   assert (zorvan_build (folder), folder);
%!   rmpath (build);
%!   assert (sort (cellstr (ls (folder)))', {"Zorvan.oct", "ZorvanRestricted.oct"});
%!   assert_no_contraction (fullfile (folder, "Zorvan.oct"));
%!   assert_no_contraction (fullfile (folder, "ZorvanRestricted.oct"));
%!   addpath (folder);
%!   assert (which ("Zorvan"), fullfile (folder, "Zorvan.oct"));
%!   assert (Zorvan ((1:7)', 3, 1), [1.5 2 3 4 5 6 6.5]');
%!   assert (ZorvanRestricted ((1:7)', 3, [1 0 1 1 0 1 1], 1), [1 2 3.5 3.5 5 6.5 6.5]');
%!   assert_refused (@() Zorvan (sparse (1), 1), "MA of sparse matrices not supported.");
%!   assert (! isempty (strfind (evalc ("help ZorvanRestricted"), "V(r) ~= 0")));
%!   ## A failed build says why, in the compiler's own words.
%!   fid = fopen (fullfile (root, "octave", "native", "Zorvan.cc"), "a");
%!   fputs (fid, "\nthis_is_not_cpp;\n");
%!   fclose (fid);
%!   addpath (build);
%!   try
%!     zorvan_build (folder);
%!     error ("a broken source was built");
%!   catch err
%!     assert (err.identifier, "zorvan_build:failed");
%!     assert (! isempty (strfind (err.message, "this_is_not_cpp")), err.message);
%!   end
%! unwind_protect_cleanup
%!   for added = {folder, fullfile(root, "octave")}
%!     if (any (strcmp (added{1}, strsplit (path (), pathsep ()))))
%!       rmpath (added{1});
%!     end
%!   end
%!   confirm_recursive_rmdir (false, "local");
%!   if (exist (scratch, "dir"))
%!     rmdir (scratch, "s");
%!   end
%! end_unwind_protect
