## zorvan_test, the self-test users run: it passes on the functions on the path, and
## it reports a Zorvan or a ZorvanRestricted that changes one bit of one output (on the
## MEX route, where a shadow can call the real MEX file under another name).

%!test
%! [passed, failed] = zorvan_test ();
%! assert ([passed > 100, failed], [true, 0]);

%!test
%! real = which ("Zorvan");
%! if (! strcmp (real(end-3:end), ".mex"))
%!   return;   # an oct-file cannot be renamed: the MEX run holds this
%! end
%! for name = {"Zorvan", "ZorvanRestricted"}
%!   folder = tempname ();
%!   mkdir (folder);
%!   unwind_protect
%!     copyfile (which (name{1}), fullfile (folder, [name{1} "Real.mex"]));
%!     fid = fopen (fullfile (folder, [name{1} ".m"]), "w");
%!     fprintf (fid, "function y = %s (varargin)\n", name{1});
%!     fprintf (fid, "  y = %sReal (varargin{:});\n", name{1});
%!     fprintf (fid, "  if (numel (y) >= 4)\n");
%!     fprintf (fid, "    y(4) = typecast (bitxor (typecast (y(4), 'uint64'), uint64 (1)), 'double');\n");
%!     fprintf (fid, "  end\nend\n");
%!     fclose (fid);
%!     addpath (folder);
%!     [report, ~] = evalc ("[passed, failed] = zorvan_test ('verbose');");
%!     assert (failed > 0, "zorvan_test passed a %s that changes a bit", name{1});
%!     assert (! isempty (strfind (report, "FAILED")));
%!     assert (! isempty (regexp (report, "expected [0-9a-f]{16}", "once")));
%!   unwind_protect_cleanup
%!     rmpath (folder);
%!     confirm_recursive_rmdir (false, "local");
%!     rmdir (folder, "s");
%!   end_unwind_protect
%! end
