## The .m files shipped beside the Windows MEX files (ZORVAN_MATLAB_FILES, separated by
## pathsep) must run unchanged in MATLAB: none of the constructs only Octave knows, in
## code outside strings and comments. It knows # comments, ! and != for not, the
## operators += -= *= /= ++ --, double-quoted strings, printf, puts, fputs and fdisp,
## and the endings endfunction, endif, endfor, endwhile, endswitch, end_try_catch,
## end_unwind_protect and unwind_protect. Default arguments and Octave-only functions
## it cannot tell: the self-test runs them in Octave.

%!function code = code_of (line)
%!  ## LINE without its comment and with each single-quoted string emptied. A quote
%!  ## after a name, a number, a closing bracket, a dot or a quote is a transpose.
%!  code = "";
%!  i = 1;
%!  while (i <= numel (line))
%!    c = line(i);
%!    if (c == "%")
%!      return;
%!    elseif (c == "'" && (isempty (code) || isempty (regexp (code(end), "[\\w)\\]}.']", "once"))))
%!      code(end+1:end+2) = "''";
%!      i += 1;
%!      while (i <= numel (line) && ! (line(i) == "'" && (i == numel (line) || line(i+1) != "'")))
%!        i += 1 + (line(i) == "'");
%!      end
%!    else
%!      code(end+1) = c;
%!    end
%!    i += 1;
%!  end
%!endfunction

%!test
%! files = strsplit (getenv ("ZORVAN_MATLAB_FILES"), pathsep ());
%! assert (numel (files) >= 3);
%! octave_only = ["(#|!|\\+=|-=|\\*=|/=|\\+\\+|--|\"|\\<(printf|puts|fputs|fdisp|", ...
%!                "endfunction|endif|endfor|endwhile|endswitch|end_try_catch|", ...
%!                "end_unwind_protect|unwind_protect)\\>)"];
%! for f = files
%!   lines = strsplit (fileread (f{1}), "\n");
%!   for i = 1:numel (lines)
%!     found = regexp (code_of (lines{i}), octave_only, "match", "once");
%!     assert (isempty (found), "%s:%d: '%s' is Octave's only: %s", f{1}, i, found, lines{i});
%!   end
%! end

%!assert (code_of ("x = a'' + b; % it's"), "x = a'' + b; ")
%!assert (code_of ("s = 'a % b''c'; t = 1;"), "s = ''; t = 1;")
%!assert (code_of ("y = \"no\";"), "y = \"no\";")
