## zorvan_build run in Octave as the README gives it, from the project folder: addpath
## octave, then addpath(zorvan_build()). Until then the functions say how to build them;
## after it, both are Octave's own kind of function with their help compiled in, in
## build/octave, and they work from there, with no warning on the way. It runs from a copy
## of the sources in a folder whose name holds characters that shells and tools read as
## their own (a space, parentheses, an apostrophe, $, &, ;) and a letter beyond ASCII.

%!test
%! scratch = tempname ();
%! root = fullfile (scratch, "Zorvan (copy) d'été $HOME & ; x");
%! here = pwd ();
%! unwind_protect
%!   copy_sources (root);
%!   cd (root);
%!   addpath ("octave");
%!   assert (which ("zorvan_build"), fullfile (root, "octave", "zorvan_build.m"));
%!   assert_refused (@() Zorvan ((1:7)', 3), "run addpath(zorvan_build()) or make octave, which build Octave's own functions into build/octave.");
%!   lastwarn ("");
%!   folder = zorvan_build ();
%!   assert (lastwarn (), "");
%!   addpath (folder);
%!   assert (folder, fullfile (root, "build", "octave"));
%!   assert (sort ({dir(folder).name}(3:end)), {"Zorvan.oct", "ZorvanRestricted.oct"});
%!   assert_no_contraction (fullfile (folder, "Zorvan.oct"));
%!   assert_no_contraction (fullfile (folder, "ZorvanRestricted.oct"));
%!   assert (which ("Zorvan"), fullfile (folder, "Zorvan.oct"));
%!   assert (Zorvan ((1:7)', 3, 1), [1.5 2 3 4 5 6 6.5]');
%!   assert (ZorvanRestricted ((1:7)', 3, [1 0 1 1 0 1 1], 1), [1 2 3.5 3.5 5 6.5 6.5]');
%!   assert_refused (@() Zorvan (sparse (1), 1), "MA of sparse matrices not supported.");
%!   assert (! isempty (strfind (evalc ("help ZorvanRestricted"), "V(r) ~= 0")));
%!   ## A failed build says why, in the compiler's own words, and nothing else.
%!   fid = fopen (fullfile (root, "octave", "native", "Zorvan.cc"), "a");
%!   fputs (fid, "\nthis_is_not_cpp;\n");
%!   fclose (fid);
%!   try
%!     output = evalc ("zorvan_build ();");
%!     error ("a broken source was built");
%!   catch err
%!     assert (err.identifier, "zorvan_build:failed");
%!     assert (! isempty (strfind (err.message, "this_is_not_cpp")), err.message);
%!   end
%!   assert (lastwarn (), "");
%! unwind_protect_cleanup
%!   cd (here);
%!   for added = {fullfile(root, "build", "octave"), fullfile(root, "octave"), "octave"}
%!     if (any (strcmp (added{1}, strsplit (path (), pathsep ()))))
%!       rmpath (added{1});
%!     end
%!   end
%!   confirm_recursive_rmdir (false, "local");
%!   if (exist (scratch, "dir"))
%!     rmdir (scratch, "s");
%!   end
%! end_unwind_protect
