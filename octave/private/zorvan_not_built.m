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
% The help files without their MEX files: the Windows bundle.
if isOctave
    how = ['this folder is for MATLAB on 64-bit Windows; in Octave, install Zorvan''s ' ...
           'Octave package (pkg install zorvan-<version>.tar.gz)'];
elseif strcmp(mexext(), 'mexw64')
    how = sprintf('%s.mexw64 is missing from %s: unzip the whole bundle there again', ...
                  name, folder);
else
    how = sprintf(['this folder is for MATLAB on 64-bit Windows; for %s files, build ' ...
                   'from the project''s sources with zorvan_build'], mexext());
end
error([name ':notBuilt'], '%s: no compiled %s here; %s.', name, name, how);
end
