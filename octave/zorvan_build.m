function outdir = zorvan_build(outdir)
%ZORVAN_BUILD  Compile the Zorvan MEX files for the running MATLAB or Octave.
%   ZORVAN_BUILD compiles Zorvan and ZorvanRestricted from the project's
%   sources (mex/ and kernels/) into build/matlab (in MATLAB) or build/octave
%   (in Octave) under the project folder, and copies their help files beside
%   them. ZORVAN_BUILD(OUTDIR) builds into OUTDIR instead. Returns the folder;
%   put it on the path with addpath.
%
%   MATLAB builds with mex -compatibleArrayDims (32-bit dimensions) and keeps
%   floating-point contraction off: -ffp-contract=off for GCC and Clang,
%   /fp:precise for Microsoft Visual C++. Octave builds with mkoctfile --mex
%   and -ffp-contract=off. No fused multiply-add and no fast-math, so every
%   result is bit-identical to the running sum.
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

includes = {['-I' fullfile(root, 'mex')], ['-I' fullfile(root, 'kernels')]};
kernel = struct('Zorvan', 'moving_average.cpp', ...
                'ZorvanRestricted', 'restricted_moving_average.cpp');
names = fieldnames(kernel);
for i = 1:numel(names)
    name = names{i};
    sources = {fullfile(root, 'mex', [name '.cpp']), ...
               fullfile(root, 'mex', 'gateway_common.cpp'), ...
               fullfile(root, 'kernels', kernel.(name))};
    if isOctave
        [output, status] = mkoctfile('--mex', '-std=c++17', '-ffp-contract=off', ...
            '-fno-fast-math', includes{:}, '-o', fullfile(outdir, [name '.mex']), ...
            sources{:});
        if status ~= 0
            error('zorvan_build:failed', 'Building %s failed:\n%s', name, output);
        end
    else
        mex('-compatibleArrayDims', matlabCompilerFlags(), includes{:}, ...
            '-outdir', outdir, '-output', name, sources{:});
    end
    copyfile(fullfile(here, 'help', [name '.m']), outdir);
end
end

function flags = matlabCompilerFlags()
% The selected C++ compiler decides how contraction is switched off.
compiler = mex.getCompilerConfigurations('C++', 'Selected');
if ~isempty(compiler) && strncmpi(compiler(1).ShortName, 'MSVC', 4)
    flags = 'COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise';
else
    flags = 'CXXFLAGS=$CXXFLAGS -std=c++17 -ffp-contract=off -fno-fast-math';
end
end
