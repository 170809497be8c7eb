## The demo: it prints its table and writes a PNG without any display.

%!test
%! png = [tempname() ".png"];
%! unwind_protect
%!   output = evalc ("zorvan_demo (png)");
%!   assert (! isempty (strfind (output, "restricted")));
%!   assert (numel (regexp (output, "^ +\\d+ +-?\\d+\\.\\d{4} ", "lineanchors")), 12);
%!   fid = fopen (png, "r");
%!   signature = fread (fid, 8, "uint8")';
%!   fclose (fid);
%!   assert (signature, [137 80 78 71 13 10 26 10]);
%!   info = imfinfo (png);
%!   assert ([info.Width info.Height] >= [600 300]);
%! unwind_protect_cleanup
%!   if (exist (png, "file"))
%!     delete (png);
%!   end
%! end_unwind_protect
