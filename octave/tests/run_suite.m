% Runs one suite of test blocks in this fresh Octave and exits non-zero unless every
% block passes. Usage: octave-cli run_suite.m SUITE [FOLDER ...]; the folders (the
% MEX files, the demo or build function) and this one go on the path first.
args = argv();
suite = args{1};
addpath(fileparts(mfilename('fullpath')));
for i = numel(args):-1:2
  addpath(args{i});
end
[passed, total] = test(suite, 'quiet', stdout);
printf('%s: %d passed, %d failed\n', suite, passed, total - passed);
exit(total == 0 || passed < total);
