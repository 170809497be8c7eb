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
%!     copy_tree (which (name{1}), fullfile (folder, [name{1} "Real.mex"]));
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

## Faults planted in the engine's ways of working, each built with zorvan_build from a
## copy of the sources: zorvan_test reports every one. (On the oct-file run only: the
## MEX run holds the shadow above, and the builds take half a minute each.)
%!test
%! if (! strcmp (which ("Zorvan")(end-3:end), ".oct"))
%!   return;
%! end
%! faults = {
%!   ## file, text, the text with the fault, the way of working it breaks
%!   "column_phases.h", "span.divisor + static_cast<double>(at) * change;", ...
%!   "span.divisor + static_cast<double>(at > 0 ? at - 1 : 0) * change;", ...
%!   "two chains a lag apart"
%!   "column_chains.h", "divisor[c] = Isa::all(kRestricted ? 1.0 : spans[c].divisor);", ...
%!   "divisor[c] = Isa::all(kRestricted ? 1.0 : spans[c].divisor + (kCount == 1 ? 1 : 0));", ...
%!   "single chains, as beyond the caches"
%!   "lone_column.h", "runChain<kMoves>(chained(k), sum, count_, r, L);", ...
%!   "runChain<kMoves>(chained(k), sum, count_, r ^ L, L);", "a lone column's interleaved segments"
%!   "lone_column.h", "        still = settle<Scalar>(sum, count);", ...
%!   "        still = settle<Scalar>(sum, count > 1.0 ? count : 0.0);", "a lone column's sparse walk"
%!   "column_chains.h", "first.stillQuotient(r, quotients[0]);", ...
%!   "first.stillQuotient(r, quotients[kLast]);", "the groups' sparse tiles"
%!   };
%! root = tempname ();
%! unwind_protect
%!   source = copy_sources (root);
%!   for i = 1:rows (faults)
%!     [file, text, faulty, way] = faults{i, :};
%!     kernel = fullfile (root, "kernels", file);
%!     pristine = fileread (fullfile (source, "kernels", file));
%!     assert (numel (strfind (pristine, text)) == 1, "%s no longer holds: %s", file, text);
%!     fid = fopen (kernel, "w");
%!     fputs (fid, strrep (pristine, text, faulty));
%!     fclose (fid);
%!     build = fullfile (root, sprintf ("fault %d", i));
%!     addpath (fullfile (root, "octave"));   # the copy's zorvan_build, for a while
%!     evalc ("zorvan_build (build);");
%!     rmpath (fullfile (root, "octave"));
%!     fid = fopen (kernel, "w");
%!     fputs (fid, pristine);
%!     fclose (fid);
%!     addpath (build);
%!     clear ("Zorvan", "ZorvanRestricted");   # the functions loaded before
%!     unwind_protect
%!       assert (which ("Zorvan"), fullfile (build, "Zorvan.oct"));
%!       report = evalc ("[~, failed] = zorvan_test ();");
%!       assert (failed > 0, "zorvan_test missed a fault in %s", way);
%!       assert (! isempty (regexp (report, "\\d+ passed, [1-9]\\d* failed\\n$", "once")));
%!     unwind_protect_cleanup
%!       rmpath (build);
%!       clear ("Zorvan", "ZorvanRestricted");
%!     end_unwind_protect
%!   end
%! unwind_protect_cleanup
%!   confirm_recursive_rmdir (false, "local");
%!   if (exist (root, "dir"))
%!     rmdir (root, "s");
%!   end
%! end_unwind_protect
