function zorvan_help_header(helpFile, header)
%ZORVAN_HELP_HEADER  Write the help text of HELPFILE as a C++ header.
%   ZORVAN_HELP_HEADER(HELPFILE, HEADER) writes HEADER, which defines kHelp: the
%   first comment block of HELPFILE with one comment sign taken from each line,
%   the text that help shows for HELPFILE itself. The Octave-native functions
%   are built with it, so the help files stay the one place of the text.
lines = regexp(fileread(helpFile), '\r?\n', 'split');
first = find(strncmp(lines, '%', 1), 1);
last = first;
while last < numel(lines) && strncmp(lines{last + 1}, '%', 1)
    last = last + 1;
end
text = cellfun(@(line) [line(2:end) "\n"], lines(first:last), 'UniformOutput', false);
[~, name] = fileparts(helpFile);
out = fopen(header, 'w');
if out < 0
    error('zorvan_help_header:write', 'cannot write %s', header);
end
fprintf(out, '// The help text of %s, made from octave/%s.m when building.\n', name, name);
fprintf(out, 'static const char* const kHelp =\n');
for i = 1:numel(text)
    fprintf(out, '    "%s"\n', cEscaped(text{i}));
end
fprintf(out, '    ;\n');
fclose(out);
end

function s = cEscaped(s)
% S as the inside of a C string literal.
s = strrep(s, '\', '\\');
s = strrep(s, '"', '\"');
s = strrep(s, "\n", '\n');
end
