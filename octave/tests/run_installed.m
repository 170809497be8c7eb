% The Octave package as a user of this Octave meets it: pkg install of TARBALL into
% PREFIX, pkg load, help, news, pkg test, the self-test, then the function suites
% against the installed functions. Exits non-zero unless every step and every test
% block passes.
% Usage: octave-cli run_installed.m TARBALL PREFIX
args = argv();
[tarball, prefix] = deal(args{1:2});
addpath(fileparts(mfilename('fullpath')));

function ok = said(what, ok)
  % Prints WHAT and whether it passed.
  printf('%s: %s\n', what, {'FAIL', 'pass'}{ok + 1});
end

printf('Octave %s\n', version());

cellfun(@mkdir, fullfile(prefix, {'share', 'lib'}));
pkg('prefix', fullfile(prefix, 'share'), fullfile(prefix, 'lib'));
pkg('local_list', fullfile(prefix, 'octave_packages'));
pkg('global_list', fullfile(prefix, 'global_packages'));
pkg('install', '-local', tarball);
pkg('load', 'zorvan');
printf('installed: %s\n', which('Zorvan'));

checks = [];  % the steps that pass or fail as a whole
for name = {'Zorvan', 'ZorvanRestricted'}
  text = evalc(sprintf('help %s', name{1}));
  checks(end+1) = said(['help ' name{1}], ! isempty(strfind(text, ['Y = ' name{1} '(X, W'])));
end
checks(end+1) = said('news zorvan', ! isempty(strfind(evalc('news zorvan'), 'changes for zorvan')));
report = evalc('pkg test zorvan');
counts = regexp(report, 'PASS +(\d+)\s+FAIL +(\d+)', 'tokens', 'once');
ok = ! isempty(counts) && str2double(counts{1}) > 0 && str2double(counts{2}) == 0;
if (! said('pkg test zorvan', ok))
  disp(report);
end
checks(end+1) = ok;
passed = sum(checks);
failed = numel(checks) - passed;

[self_passed, self_failed] = zorvan_test();
passed += self_passed;
failed += self_failed;

for suite = {'zorvan', 'zorvan_restricted'}
  [suite_passed, total] = test(['test_' suite{1}], 'quiet', stdout);
  printf('test_%s: %d passed, %d failed\n', suite{1}, suite_passed, total - suite_passed);
  passed += suite_passed;
  failed += total - suite_passed;
end

printf('%d passed, %d failed\n', passed, failed);
exit(failed > 0 || passed == 0);
