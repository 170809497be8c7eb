% Zorvan against Octave's own ways of computing the same moving average, in one
% session on the same data: first the two routes into Octave (its own kind of function,
% and the MEX file through Octave's MEX layer) beside X + 0, the cheapest M x N result
% Octave makes from X; then movmean over the same window, filter (a trailing moving
% sum, shown for scale), and X + 0 again.
%
% Run: octave-cli --norc --quiet bench/octave_comparison.m [<folder with Zorvan.oct>
%      [<folder with Zorvan.mex>]] (make bench-octave: build/octave, build/octave-mex)

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

function t = fastest (f, batch)
  % One call's time: the fastest of 7 timings of BATCH calls each, divided by BATCH.
  t = Inf;
  for i = 1:7
    one = tic;
    for j = 1:batch
      f ();
    end
    t = min (t, toc (one) / batch);
  end
end

function t = onRoute (folder, f, batch)
  % fastest (F, BATCH) with FOLDER first on the path.
  addpath (folder);
  unwind_protect
    t = fastest (f, batch);
  unwind_protect_cleanup
    rmpath (folder);
  end_unwind_protect
end

args = argv ();
folders = {fullfile("build", "octave"), fullfile("build", "octave-mex")};
folders(1:numel (args)) = args;
[native, mex] = folders{:};

printf ("Octave %s. Each route's fastest of 7 calls (of 7 runs of 1000 calls on 100 x 1),\n", ...
        OCTAVE_VERSION);
printf ("W = 21, S = 10; ");
printf ("ns per element, a call on 100 x 1 in us. native: Octave's own kind\n");
printf ("of function (%s); ", native);
printf ("MEX: the MEX file through Octave's MEX layer (%s).\n\n", mex);
printf ("%-17s %-9s %9s %9s %9s | %12s %12s\n", "function", "shape", "native", "MEX", ...
        "X+0", "native/MEX", "native/(X+0)");
randn ("state", 1);
rand ("state", 1);
for shape = {[100 1], [1e5 16], [2e6 8], [4e6 1]}
  [M, N] = deal (shape{1}(1), shape{1}(2));
  X = randn (M, N);
  V = double (rand (M, 1) < 2 / 3);
  [unit, label, batch] = deal (1e9 / (M * N), sprintf ("%g x %d", M, N), 1);
  if (M * N == 100)
    [unit, label, batch] = deal (1e6, "100 x 1 (us)", 1000);
  end
  for name = {"Zorvan", "ZorvanRestricted"}
    if (strcmp (name{1}, "Zorvan"))
      call = @() Zorvan (X, 21, 10);
    else
      call = @() ZorvanRestricted (X, 21, V, 10);
    end
    tNative = onRoute (native, call, batch);
    tMex = onRoute (mex, call, batch);
    tCopy = fastest (@() X + 0, batch);
    printf ("%-17s %-12s %6.2f %9.2f %9.2f | %12.2f %12.2f\n", name{1}, label, ...
            unit * tNative, unit * tMex, unit * tCopy, tNative / tMex, tNative / tCopy);
    fflush (stdout);
  end
end
printf ("\n");
addpath (native);

rand ("seed", 1);
M = 100000;
N = 16;
X = rand (M, N) * 2000 - 1000;
minSeconds = 0.5;

printf ("Octave's own: X is %d x %d doubles (%.0f MB); median time per call\n", ...
        M, N, M * N * 8 / 1e6);
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
