function zorvan_demo(pngfile)
%ZORVAN_DEMO  Average a noisy series three ways, print a table and plot it.
%   ZORVAN_DEMO makes a noisy series of its own (a slow wave on a gentle slope
%   with a few outliers), averages it trailing with Zorvan, centred with
%   Zorvan, and centred with ZorvanRestricted leaving the outliers out, prints
%   the first rows as a table and writes the plot to build/demo.png under the
%   project folder. ZORVAN_DEMO(PNGFILE) writes the plot to PNGFILE.
%
%   No display is needed: in Octave the plot is drawn by the gnuplot toolkit
%   into a figure that is never shown. Zorvan and ZorvanRestricted must be on
%   the path (see zorvan_build).

if nargin < 1
    pngfile = fullfile(fileparts(fileparts(mfilename('fullpath'))), 'build', 'demo.png');
end

% The series: the same on every host, so its own noise generator (Park and
% Miller's, exact in doubles) rather than the host's randn.
M = 120;
t = (1:M)';
wave = 10 + 3 * sin(2 * pi * t / 48) + 0.02 * t;
x = wave + 3 * uniformNoise(M, 7);
outliers = [6 37 38 71 96];
x(outliers) = x(outliers) + [8; -7; -8; 9; -8];

W = 9;
S = (W - 1) / 2;  % centred
keep = ones(M, 1);
keep(outliers) = 0;
trailing = Zorvan(x, W);
centred = Zorvan(x, W, S);
restricted = ZorvanRestricted(x, W, keep, S);

fprintf('Zorvan demo: %d samples, window W = %d, centred shift S = %d;\n', M, W, S);
fprintf('rows %s are outliers, left out of the restricted average.\n\n', ...
        strtrim(sprintf('%d ', outliers)));
fprintf('%5s %9s %5s %10s %10s %11s\n', 'row', 'x', 'keep', 'trailing', 'centred', ...
        'restricted');
for r = 1:12
    fprintf('%5d %9.4f %5d %10.4f %10.4f %11.4f\n', r, x(r), keep(r), trailing(r), ...
            centred(r), restricted(r));
end
% The centred averages have no lag, so their distance from the wave shows what
% the outliers cost.
rms = @(y) sqrt(mean((y - wave) .^ 2));
fprintf('\nRMS distance from the noise-free wave: trailing %.3f, centred %.3f, restricted %.3f\n', ...
        rms(trailing), rms(centred), rms(restricted));

plotSeries(pngfile, t, x, wave, outliers, trailing, centred, restricted, W);
fprintf('Plot written to %s\n', pngfile);
end

function noise = uniformNoise(n, seed)
% Zero-mean noise in [-1, 1]: the mean of four uniform draws, rescaled.
state = seed;
u = zeros(n, 4);
for i = 1:numel(u)
    state = mod(16807 * state, 2147483647);
    u(i) = state / 2147483647;
end
noise = 2 * mean(u, 2) - 1;
end

function plotSeries(pngfile, t, x, wave, outliers, trailing, centred, restricted, W)
isOctave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
if isOctave
    % gnuplot draws off screen. Octave warns that it prefers its Qt toolkit, and
    % that Ghostscript is missing, which the pngcairo terminal does not need.
    previousToolkit = graphics_toolkit();
    warningState = warning();
    warning('off', 'Octave:gnuplot-graphics');
    warning('off', 'print:nogs');
    graphics_toolkit('gnuplot');
    restore = onCleanup(@() restoreOctave(previousToolkit, warningState));
end
% The y axis spans the bulk of the data: every average and every kept sample.
% Outliers beyond it are drawn at its edge, as triangles pointing their way.
kept = true(size(x));
kept(outliers) = false;
bulk = [x(kept); wave; trailing; centred; restricted];
margin = 0.08 * (max(bulk) - min(bulk));
low = min(bulk) - margin;
high = max(bulk) + margin;
above = outliers(x(outliers) > high);
below = outliers(x(outliers) < low);
inside = setdiff(outliers, [above below]);

figureHandle = figure('visible', 'off');
closeFigure = onCleanup(@() close(figureHandle));
set(figureHandle, 'paperunits', 'inches', 'paperposition', [0 0 11 5.5]);
hold on;
red = [0.85 0.1 0.1];
lines = zeros(1, 5);
lines(1) = plot(t(kept), x(kept), '.', 'color', [0.55 0.55 0.55], 'markersize', 8);
lines(2) = plot(t, wave, '--', 'color', [0.2 0.2 0.2], 'linewidth', 1);
lines(3) = plot(t, trailing, '-', 'color', [0.1 0.45 0.8], 'linewidth', 1.5);
lines(4) = plot(t, centred, '-', 'color', [0.95 0.6 0.1], 'linewidth', 1.5);
lines(5) = plot(t, restricted, '-', 'color', [0.1 0.6 0.3], 'linewidth', 2);
edgeLow = low + 0.02 * (high - low);
edgeHigh = high - 0.02 * (high - low);
marks = [plot(t(inside), x(inside), 'o', 'color', red, 'markersize', 7); ...
         plot(t(above), repmat(edgeHigh, size(above)), '^', 'color', red, ...
              'markerfacecolor', red, 'markersize', 7); ...
         plot(t(below), repmat(edgeLow, size(below)), 'v', 'color', red, ...
              'markerfacecolor', red, 'markersize', 7)];
lines(6) = marks(1);  % the outliers' entry in the legend
hold off;
grid on;
xlim([t(1) t(end)]);
ylim([low high]);
xlabel('row   (outliers beyond the axis: triangles at its edge)');
ylabel('value');
title(sprintf('W = %d: Zorvan trailing and centred (S = %d); ZorvanRestricted without outliers', ...
              W, (W - 1) / 2));
legend(lines, {'samples', 'noise-free', 'trailing', 'centred', 'restricted', 'outliers'}, ...
       'location', 'eastoutside');
folder = fileparts(pngfile);
if ~isempty(folder) && ~exist(folder, 'dir')
    mkdir(folder);
end
if ~isOctave
    print(figureHandle, '-dpng', '-r100', pngfile);
    return
end
% gnuplot takes the file's name in single quotes, which an apostrophe in it ends: it
% draws into a file of a name it can take, copied to PNGFILE once written.
drawn = pngfile;
if any(pngfile == '''')
    drawn = [tempname() '.png'];
    if any(drawn == '''')
        error('zorvan_demo:plot', ['No plot written: gnuplot cannot name %s, nor a ' ...
              'temporary file in %s (an apostrophe); set TMPDIR to another folder.'], ...
              pngfile, tempdir());
    end
    removeDrawn = onCleanup(@() deleteIfThere(drawn));
end
print(figureHandle, '-dpngcairo', '-r100', drawn);
info = dir(drawn);
if isempty(info) || info.bytes == 0
    error('zorvan_demo:plot', 'No plot written: gnuplot wrote nothing to %s.', drawn);
end
if ~strcmp(drawn, pngfile)
    copyBytes(drawn, pngfile);
end
end

function copyBytes(from, to)
% The bytes of file FROM into file TO, through no shell (a name may hold anything).
in = fopen(from, 'r');
bytes = fread(in, Inf, '*uint8');
fclose(in);
out = fopen(to, 'w');
if out < 0
    error('zorvan_demo:plot', 'No plot written: cannot write %s.', to);
end
written = fwrite(out, bytes, 'uint8');
fclose(out);
if written ~= numel(bytes)
    error('zorvan_demo:plot', 'No plot written: %s is incomplete.', to);
end
end

function deleteIfThere(file)
if exist(file, 'file')
    delete(file);
end
end

function restoreOctave(toolkit, warningState)
graphics_toolkit(toolkit);
warning(warningState);
end
