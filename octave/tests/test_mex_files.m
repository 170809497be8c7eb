## The MEX files that `make octave` builds: Octave loads them (which it could not do
## with our stand-in's mex.h, whose names Octave's library does not define), their
## help files sit beside them, and the flag that keeps every floating-point
## operation separate reached the compiler of every part.

%!test
%! for name = {"Zorvan", "ZorvanRestricted"}
%!   file = which (name{1});
%!   [~, ~, extension] = fileparts (file);
%!   assert (extension, ".mex");
%!   assert (isfile (strrep (file, ".mex", ".m")));
%!   assert_no_contraction (file);
%! end
