% The Octave package as a user of this Octave meets it: pkg install of TARBALL into
% PREFIX, pkg load, help, news, pkg test, the self-test, then the function suites
% against the installed functions. Exits non-zero unless every step and every test block passes.
% Usage: octave-cli run_installed.m TARBALL PREFIX
args = argv();
[tarball, prefix] = deal(args{1:2});
addpath(fileparts(mfilename('fullpath')));
printf('Octave %s\n', version());

cellfun(@mkdir, fullfile(prefix, {'share', 'lib'}));
pkg('prefix', fullfile(prefix, 'share'), fullfile(prefix, 'lib'));
pkg('local_list', fullfile(prefix, 'octave_packages'));
pkg('global_list', fullfile(prefix, 'global_packages'));
pkg('install', '-local', tarball);
pkg('load', 'zorvan');
printf('installed: %s\n', which('Zorvan'));

verdict = {'FAIL', 'pass'};
failed = 0;
passed = 0;
for name = {'Zorvan', 'ZorvanRestricted'}
  text = evalc(sprintf('help %s', name{1}));
  ok = ! isempty(strfind(text, sprintf('Y = %s(X, W', name{1})));
  printf('help %s: %s\n', name{1}, verdict{ok + 1});
  passed += ok;
  failed += ! ok;
end

ok = ! isempty(strfind(evalc('news zorvan'), 'changes for zorvan'));
printf('news zorvan: %s\n', verdict{ok + 1});
passed += ok;
failed += ! ok;

report = evalc('pkg test zorvan');
counts = regexp(report, 'PASS +(\d+)\s+FAIL +(\d+)', 'tokens', 'once');
ok = ! isempty(counts) && str2double(counts{1}) > 0 && str2double(counts{2}) == 0;
printf('pkg test zorvan: %s\n', verdict{ok + 1});
if (! ok)
  disp(report);
end
passed += ok;
failed += ! ok;

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
