function outdir = zorvan_build(outdir)
%ZORVAN_BUILD  Compile Zorvan and ZorvanRestricted for the running Octave or MATLAB.
%   ZORVAN_BUILD compiles Zorvan and ZorvanRestricted from the project's
%   sources into build/octave (in Octave) or build/matlab (in MATLAB) under the
%   project folder. ZORVAN_BUILD(OUTDIR) builds into OUTDIR instead. Returns
%   the folder; put it on the path with addpath.
%
%   Octave gets its own kind of function (oct-files, from octave/native/), the
%   same checks and kernels as the MEX files without the MEX layer's copies,
%   built with mkoctfile, their help text compiled in from their help files in octave/.
%   MATLAB gets the MEX files (from mex/), built with mex -compatibleArrayDims
%   (32-bit dimensions), their help files copied beside them. Floating-point
%   contraction stays off: -ffp-contract=off for GCC and Clang, /fp:precise for
%   Microsoft Visual C++; no fused multiply-add and no fast-math, so every
%   result is bit-identical to the running sum. Every source gets the same
%   flags: on x86-64 the compiler itself compiles the AVX path's functions for
%   AVX, and they run only where the processor has AVX. In Octave each source
%   is compiled once, into an object in OUTDIR that goes once both functions
%   are linked; the sources and flags are those that sources.mk in the project
%   folder lists. Any folder will do, spaces and all; a failed build's error
%   carries the compiler's own messages.
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
includeFolders = {fullfile(root, 'mex'), fullfile(root, 'kernels')};
compiler = compilerKind(isOctave);

names = list.GATEWAYS;
flags = unitFlags(isOctave, compiler, list);
if isOctave
    % The help texts the functions are built with, in a folder of this build's own; the
    % objects in the output folder, under names of their own, gone once linked.
    helpdir = tempname();
    mkdir(helpdir);
    objects = cellfun(@objectName, common, 'UniformOutput', false);
    gateways = cellfun(@objectName, names, 'UniformOutput', false);
    cleanup = onCleanup(@() removeBuildFiles(helpdir, outdir, [objects, gateways]));
    % mkoctfile hands paths to the compiler in double quotes, inside which the shell
    % expands $ and `: it sees each one from the output folder, where it runs.
    local = @(paths) cellfun(@(p) pathFrom(outdir, p), paths, 'UniformOutput', false);
    includes = strcat('-I', local([includeFolders, {fullfile(here, 'native'), helpdir}]));
    common = local(common);
    fprintf('zorvan_build: compiling the checks and kernels in %s\n', outdir);
    for k = 1:numel(common)
        compileIn(outdir, [flags, includes, {'-c', '-o', objects{k}, common{k}}], 'the kernels');
    end
else
    includes = strcat('-I', includeFolders);
end
for i = 1:numel(names)
    name = names{i};
    fprintf('zorvan_build: compiling %s into %s\n', name, outdir);
    if isOctave
        zorvan_help_header(fullfile(here, [name '.m']), ...
                           fullfile(helpdir, [name '_help.h']));
        compileIn(outdir, [flags, includes, {'-c', '-o', gateways{i}}, ...
                  local({fullfile(here, 'native', [name '.cc'])})], name);
        compileIn(outdir, [flags, {'-o', [name '.oct'], gateways{i}}, objects], name);
    else
        sources = [{fullfile(root, 'mex', [name '.cpp'])}, common];
        mex('-compatibleArrayDims', flags{:}, includes{:}, ...
            '-outdir', outdir, '-output', name, sources{:});
        copyfile(fullfile(here, [name '.m']), outdir);
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

function compileIn(folder, args, what)
% Octave's mkoctfile with ARGS, run in FOLDER. Its link command leaves the paths of the
% output and of its own temporary objects unquoted, so every object and the output are
% named alone in the folder they go to, and any folder name works. The shell changes
% folder, not Octave, so a relative folder on Octave's path (addpath octave) stays
% valid. Run as a command of our own so that the compiler's and linker's messages, on
% standard error, come with the error.
bindir = feval('__octave_config_info__', 'bindir');
program = fullfile(bindir, ['mkoctfile' feval('__octave_config_info__', 'EXEEXT')]);
words = cellfun(@shellWord, [{program}, args], 'UniformOutput', false);
changeFolder = 'cd ';
if ispc()
    changeFolder = 'cd /d ';
end
command = [changeFolder shellWord(folder) ' && ' sprintf('%s ', words{:}) '2>&1'];
[status, output] = system(command);
if status ~= 0
    error('zorvan_build:failed', 'Building %s failed:\n%s', what, output);
end
end

function word = shellWord(text)
% TEXT as one word of the system's shell, taken literally: in single quotes for a POSIX
% shell, where $, `, \, ", (, ; and & then mean nothing; in double quotes for Windows'
% cmd, where a file name cannot hold a double quote.
if ispc()
    word = ['"' text '"'];
else
    word = ['''' strrep(text, '''', '''\''''') ''''];
end
end

function relative = pathFrom(folder, target)
% The existing TARGET as a path from the existing FOLDER (TARGET itself where they lie
% on different drives).
folder = strsplit(canonicalize_file_name(folder), filesep);
target = strsplit(canonicalize_file_name(target), filesep);
if ~strcmpi(folder{1}, target{1})
    relative = strjoin(target, filesep);
    return
end
common = 0;
while common < min(numel(folder), numel(target)) && ...
        strcmp(folder{common + 1}, target{common + 1})
    common = common + 1;
end
relative = strjoin([repmat({'..'}, 1, numel(folder) - common), target(common + 1:end)], '/');
end

function name = objectName(source)
% The object of SOURCE in the output folder, named so as to clash with nothing there.
[~, base] = fileparts(source);
name = ['zorvan_build_' base '.o'];
end

function removeBuildFiles(helpdir, outdir, objects)
% The help texts written for the build, and the objects once linked: only those that
% exist, so that a build that failed early reports its own error alone.
if exist(helpdir, 'dir')
    written = dir(fullfile(helpdir, '*.h'));
    for k = 1:numel(written)
        delete(fullfile(helpdir, written(k).name));
    end
    rmdir(helpdir);
end
for k = 1:numel(objects)
    if exist(fullfile(outdir, objects{k}), 'file')
        delete(fullfile(outdir, objects{k}));
    end
end
end
