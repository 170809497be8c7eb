## The Octave package: pkg install of the built tarball into a prefix of the test's
## own (never the machine's), pkg load, a quick check of the installed functions, and
## pkg test, which runs the test blocks of their sources.
## ZORVAN_PACKAGE names the tarball, ZORVAN_PACKAGE_PREFIX the prefix.

%!test
%! tarball = getenv ("ZORVAN_PACKAGE");
%! prefix = getenv ("ZORVAN_PACKAGE_PREFIX");
%! if (any (ismember ("$`\\\"", prefix)))
%!   prefix = tempname ();   # pkg copies through a shell, which would read the name
%! end
%! assert (exist (tarball, "file") == 2, "no package at '%s'", tarball);
%! confirm_recursive_rmdir (false, "local");
%! if (exist (prefix, "dir"))
%!   rmdir (prefix, "s");
%! end
%! mkdir (prefix);
%! pkg ("prefix", fullfile (prefix, "share"), fullfile (prefix, "lib"));
%! pkg ("local_list", fullfile (prefix, "octave_packages"));
%! pkg ("global_list", fullfile (prefix, "global_packages"));
%! ## pkg builds in the temporary folder, whose name may hold a space (a Windows user's
%! ## always does): mkoctfile's own temporary objects would not link there.
%! ## pkg unpacks the tarball through a shell, in double quotes: it goes from a copy in
%! ## a folder whose name the shell leaves alone.
%! scratch = fullfile (tempname (), "temporary folder");
%! mkdir (scratch);
%! copied = fullfile (fileparts (scratch), "zorvan.tar.gz");
%! copy_tree (tarball, copied);
%! saved_tmpdir = getenv ("TMPDIR");
%! setenv ("TMPDIR", scratch);
%! unwind_protect
%!   pkg ("install", "-local", copied);
%! unwind_protect_cleanup
%!   setenv ("TMPDIR", saved_tmpdir);
%!   rmdir (fileparts (scratch), "s");
%! end_unwind_protect
%! installed = pkg ("list");
%! assert (numel (installed), 1);
%! assert ({installed{1}.name, installed{1}.version}, {"zorvan", "1.0.0"});
%! pkg ("load", "zorvan");
%! assert (strncmp (which ("Zorvan"), prefix, numel (prefix)));
%! assert (strncmp (which ("ZorvanRestricted"), prefix, numel (prefix)));
%! assert_no_contraction (which ("Zorvan"));
%! assert_no_contraction (which ("ZorvanRestricted"));
%! assert (Zorvan ((1:7)', 3), [1 1.5 2 3 4 5 6]');
%! assert (ZorvanRestricted ((1:7)', 3, [1 0 1 1 0 1 1]', 1), [1 2 3.5 3.5 5 6.5 6.5]');
%! assert_refused (@() ZorvanRestricted ((1:7)', 3, 1), ...
%!                 "Vector must have at least as many elements as X has rows.");
%! assert (! isempty (strfind (evalc ("help Zorvan"), "Y = Zorvan(X, W, S)")));
%! assert (regexp (evalc ("pkg test zorvan"), "PASS +[1-9]\\d*\\s+FAIL +0"));
%! pkg ("unload", "zorvan");
%! pkg ("uninstall", "-local", "zorvan");
%! assert (isempty (pkg ("list")));
