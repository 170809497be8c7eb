function zorvan_not_built(name)
%ZORVAN_NOT_BUILT  Refuse a call to NAME, whose compiled function is missing, saying
%   how to get it: the help file NAME.m runs this only where the MEX file or oct-file
%   of that name is not beside it, in a clone of the project or in an unzipped bundle.
folder = fileparts(fileparts(mfilename('fullpath')));
isOctave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
if exist(fullfile(folder, 'zorvan_build.m'), 'file')
    if isOctave
        how = ['run addpath(zorvan_build()) or make octave, which build Octave''s own ' ...
               'functions into build/octave'];
    else
        how = 'run addpath(zorvan_build()), which builds the MEX files into build/matlab';
    end
    error([name ':notBuilt'], '%s: not built here; %s.', name, how);
end
% The help files without their MEX files: a bundle for MATLAB, whose README.txt names
% its platform on the first line.
platform = '';
extension = '';
readme = fopen(fullfile(folder, 'README.txt'), 'r');
if readme >= 0
    first = fgetl(readme);
    fclose(readme);
    platforms = {'64-bit Windows', 'mexw64'; '64-bit Linux', 'mexa64'};
    for k = 1:size(platforms, 1)
        if ischar(first) && ~isempty(strfind(first, platforms{k, 1}))
            platform = [' on ' platforms{k, 1}];
            extension = platforms{k, 2};
        end
    end
end
if isOctave
    how = sprintf(['this folder is for MATLAB%s; in Octave, install Zorvan''s ' ...
                   'Octave package (pkg install zorvan-<version>.tar.gz)'], platform);
elseif strcmp(mexext(), extension)
    how = sprintf('%s.%s is missing from %s: unzip the whole bundle there again', ...
                  name, extension, folder);
else
    how = sprintf(['this folder is for MATLAB%s; for %s files, take the bundle for ' ...
                   'this platform or build from the project''s sources with zorvan_build'], ...
                  platform, mexext());
end
error([name ':notBuilt'], '%s: no compiled %s here; %s.', name, name, how);
end
