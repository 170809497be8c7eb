function assert_no_contraction(mexfile)
% Fails unless every C++ translation unit in MEXFILE was compiled with
% -ffp-contract=off and without fast-math. GCC records each unit's options in
% its debug information, so this reads what really reached the compiler (units
% with the same options share one record).
  fid = fopen(mexfile, 'r');
  assert(fid >= 0, 'cannot open %s', mexfile);
  bytes = fread(fid, Inf, 'uint8')';
  fclose(fid);
  bytes(bytes > 127) = 0;   % only the ASCII text matters here
  units = regexp(char(bytes), 'GNU C\+\+[^\x00]*', 'match');
  assert(! isempty(units), '%s carries no record of its compiler options', mexfile);
  for unit = units
    assert(! isempty(strfind(unit{1}, '-ffp-contract=off')), '%s: %s', mexfile, unit{1});
    assert(isempty(strfind(unit{1}, 'fast-math')) || ! isempty(strfind(unit{1}, '-fno-fast-math')), ...
           '%s: %s', mexfile, unit{1});
  end
end
