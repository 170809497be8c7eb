function outdir = zorvan_build(outdir)
%ZORVAN_BUILD  Compile Zorvan and ZorvanRestricted for the running Octave or MATLAB.
%   ZORVAN_BUILD compiles Zorvan and ZorvanRestricted from the project's
%   sources into build/octave (in Octave) or build/matlab (in MATLAB) under the
%   project folder. ZORVAN_BUILD(OUTDIR) builds into OUTDIR instead. Returns
%   the folder; put it on the path with addpath.
%
%   Octave gets its own kind of function (oct-files, from octave/native/), the
%   same checks and kernels as the MEX files without the MEX layer's copies,
%   built with mkoctfile, their help text compiled in from octave/help/.
%   MATLAB gets the MEX files (from mex/), built with mex -compatibleArrayDims
%   (32-bit dimensions), their help files copied beside them. Floating-point
%   contraction stays off: -ffp-contract=off for GCC and Clang, /fp:precise for
%   Microsoft Visual C++; no fused multiply-add and no fast-math, so every
%   result is bit-identical to the running sum. Every source gets the same
%   flags: on x86-64 the compiler itself compiles the AVX path's functions for
%   AVX, and they run only where the processor has AVX. One compiler call
%   builds each function; the sources and flags are those that sources.mk in
%   the project folder lists.
%
%   Example (from the project folder):
%     addpath octave
%     addpath(zorvan_build())
%     Zorvan((1:7)', 3)

here = fileparts(mfilename('fullpath'));
root = fileparts(here);
isOctave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
if nargin < 1 || isempty(outdir)
    if isOctave
        outdir = fullfile(root, 'build', 'octave');
    else
        outdir = fullfile(root, 'build', 'matlab');
    end
end
if ~exist(outdir, 'dir')
    mkdir(outdir);
end

% What to compile, and with which flags, comes from the project's one list of them.
list = readSourceList(fullfile(root, 'sources.mk'));
if isOctave
    common = fromRoot(root, [list.COMMON_SOURCES, list.NATIVE_SOURCES, list.KERNEL_SOURCES]);
else
    common = fromRoot(root, [list.COMMON_SOURCES, list.MEX_SOURCES, list.KERNEL_SOURCES]);
end
includes = {['-I' fullfile(root, 'mex')], ['-I' fullfile(root, 'kernels')]};
compiler = compilerKind(isOctave);

names = list.GATEWAYS;
flags = unitFlags(isOctave, compiler, list);
if isOctave
    % The help texts the functions are built with, in a folder of this build's own.
    helpdir = tempname();
    mkdir(helpdir);
    cleanup = onCleanup(@() removeFolder(helpdir));
end
for i = 1:numel(names)
    name = names{i};
    fprintf('zorvan_build: compiling %s into %s\n', name, outdir);
    if isOctave
        zorvan_help_header(fullfile(here, 'help', [name '.m']), ...
                           fullfile(helpdir, [name '_help.h']));
        sources = [{fullfile(here, 'native', [name '.cc'])}, common];
        [status, output] = mkoctfileIn(outdir, [flags, includes, ...
            {['-I' fullfile(here, 'native')], ['-I' helpdir], '-o', [name '.oct']}, sources]);
        if status ~= 0
            error('zorvan_build:failed', 'Building %s failed:\n%s', name, output);
        end
    else
        sources = [{fullfile(root, 'mex', [name '.cpp'])}, common];
        mex('-compatibleArrayDims', flags{:}, includes{:}, ...
            '-outdir', outdir, '-output', name, sources{:});
        copyfile(fullfile(here, 'help', [name '.m']), outdir);
    end
end
end

function kind = compilerKind(isOctave)
% 'msvc' for Microsoft Visual C++ (and other compilers with its options), 'mingw' for
% MinGW-w64, 'gnu' for GCC and Clang elsewhere. Octave compiles with GCC or Clang
% (MinGW-w64 on Windows).
kind = 'gnu';
if ispc()
    kind = 'mingw';
    if ~isOctave
        selected = mex.getCompilerConfigurations('C++', 'Selected');
        if isempty(selected) || ~strncmpi(selected(1).ShortName, 'mingw', 5)
            kind = 'msvc';
        end
    end
end
end

function list = readSourceList(file)
% The lines NAME := words of FILE as a struct of cell arrays of words.
text = fileread(file);
assignments = regexp(text, '^([A-Z0-9_]+) *:=([^\r\n]*)', 'tokens', 'lineanchors');
list = struct();
for i = 1:numel(assignments)
    list.(assignments{i}{1}) = regexp(assignments{i}{2}, '\S+', 'match');
end
end

function paths = fromRoot(root, files)
% FILES (paths from the project folder, with /) as full paths.
paths = cellfun(@(file) fullfile(root, file), files, 'UniformOutput', false);
end

function flags = unitFlags(isOctave, compiler, list)
% The options of every translation unit: the language standard, contraction and
% fast-math off, and for MinGW-w64 what the AVX path needs. MATLAB's mex takes them as
% one assignment to the compiler's flags variable.
switch compiler
    case 'msvc'
        flags = [{['/std:c++' list.STANDARD{1}]}, list.FP_FLAGS_MSVC];
    case 'mingw'
        flags = [{['-std=c++' list.STANDARD{1}]}, list.FP_FLAGS, list.MINGW_FLAGS];
    otherwise
        flags = [{['-std=c++' list.STANDARD{1}]}, list.FP_FLAGS];
end
if ~isOctave
    if strcmp(compiler, 'msvc')
        flags = {['COMPFLAGS=$COMPFLAGS' sprintf(' %s', flags{:})]};
    else
        flags = {['CXXFLAGS=$CXXFLAGS' sprintf(' %s', flags{:})]};
    end
end
end

function [status, output] = mkoctfileIn(folder, args)
% Octave's mkoctfile with ARGS, run in FOLDER. Its link command leaves the output's path
% unquoted, so the output is named alone in the folder it goes to, and any folder name
% works. Run as a command of our own (quoted as Octave's mkoctfile function quotes it)
% so that the compiler's and linker's messages, on standard error, come back in OUTPUT.
bindir = feval('__octave_config_info__', 'bindir');
program = fullfile(bindir, ['mkoctfile' feval('__octave_config_info__', 'EXEEXT')]);
command = ['"' program '"' sprintf(' "%s"', args{:}) ' 2>&1'];
previous = pwd();
cd(folder);
restore = onCleanup(@() cd(previous));
[status, output] = system(command);
end

function removeFolder(folder)
% The folder holds only the help texts written for the build.
if exist(folder, 'dir')
    delete(fullfile(folder, '*'));
    rmdir(folder);
end
end
