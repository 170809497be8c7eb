% Zorvan against Octave's own ways of computing the same moving average, in one
% session on the same data: movmean over the same window, filter (a trailing moving
% sum, shown for scale), and a plain copy (X + 0) of the same bytes.
%
% Run: octave-cli --norc --quiet bench/octave_comparison.m <folder with Zorvan.mex>
%      (make bench-octave does this with build/octave)

1;

function t = medianTime (f, minSeconds)
  % Median time of one call, over at least three calls and minSeconds in all.
  times = [];
  started = tic;
  while numel (times) < 3 || toc (started) < minSeconds
    one = tic;
    f ();
    times(end + 1) = toc (one);
  end
  t = median (times);
end

args = argv ();
if (numel (args) >= 1)
  folder = args{1};
else
  folder = fullfile ("build", "octave");
end
addpath (folder);
if (exist ("Zorvan") != 3)
  error ("no Zorvan MEX file in %s", folder);
end

rand ("seed", 1);
M = 100000;
N = 16;
X = rand (M, N) * 2000 - 1000;
minSeconds = 0.5;

printf ("Octave %s, X is %d x %d doubles (%.0f MB); median time per call\n", ...
        OCTAVE_VERSION, M, N, M * N * 8 / 1e6);
printf ("S is the centred shift (W-1)/2, so movmean's window is [W-1-S, S].\n\n");
printf ("%6s %10s %10s %10s %10s | %12s %12s %12s | %10s\n", "W", "Zorvan ms", ...
        "movmean ms", "filter ms", "X+0 ms", "movmean/Z", "filter/Z", "Z/(X+0)", ...
        "max |diff|");
fflush (stdout);

for W = [5 21 101 1001]
  S = (W - 1) / 2;
  tZorvan = medianTime (@() Zorvan (X, W, S), minSeconds);
  tMovmean = medianTime (@() movmean (X, [W-1-S, S]), minSeconds);
  tFilter = medianTime (@() filter (ones (W, 1) / W, 1, X), minSeconds);
  tCopy = medianTime (@() X + 0, minSeconds);
  difference = max (abs (Zorvan (X, W, S) - movmean (X, [W-1-S, S]))(:));
  printf ("%6d %10.2f %10.2f %10.2f %10.2f | %12.1f %12.1f %12.2f | %10.2g\n", W, ...
          1e3 * tZorvan, 1e3 * tMovmean, 1e3 * tFilter, 1e3 * tCopy, ...
          tMovmean / tZorvan, tFilter / tZorvan, tZorvan / tCopy, difference);
  fflush (stdout);  % each row as it is measured: movmean takes most of a minute at W = 1001
end
