% What accuracy to expect from a running sum: Zorvan against means of each window
% summed afresh with its rounding errors carried, and against a compensated (Kahan)
% rolling mean.
% Reproduces the numbers of the README's accuracy section; not a test.
%
% Run: octave-cli --norc --quiet bench/accuracy.m <folder with Zorvan.mex>
%      (make accuracy does this with build/octave)

1;

function m = referenceMeans (x, W, S = 0)
  % Means over the rows j+S-W+1 .. j+S of each output row j, cut at the column's ends,
  % each window summed afresh with its rounding errors carried exactly (Knuth's
  % two-sum) and added back once: the sums are good to far below one unit in the last
  % place, so each mean is as good as correctly rounded. NaN for an empty window.
  M = numel (x);
  j = (1:M)';
  hi = min (M, j + S);
  lo = max (1, j + S - W + 1);
  high = zeros (M, 1);
  low = zeros (M, 1);
  for d = 0:W-1
    r = hi - d;
    inside = r >= lo;
    b = zeros (M, 1);
    b(inside) = x(r(inside));
    a = high;
    s = a + b;
    v = s - a;
    low += (a - (s - v)) + (b - v);
    high = s;
  end
  m = (high + low) ./ max (hi - lo + 1, 0);
end

function m = kahanMeans (x, W)
  % A trailing rolling mean whose running sum carries its rounding error along.
  M = numel (x);
  m = zeros (M, 1);
  s = 0;
  c = 0;
  for j = 1:M
    for term = [x(j), -(j > W) * x(max (j - W, 1))]
      y = term - c;
      t = s + y;
      c = (t - s) - y;
      s = t;
    end
    m(j) = s / min (j, W);
  end
end

function e = relativeError (y, reference)
  e = max (abs (y - reference) ./ abs (reference));
end

args = argv ();
if (numel (args) >= 1)
  addpath (args{1});
else
  addpath (fullfile ("build", "octave"));
end
% Full doubles: the legacy generator (randn ("seed")) gives single precision values,
% whose sums round far less often.
randn ("state", 3);
rand ("state", 3);
W = 21;

printf ("Accuracy of Zorvan (a running sum, W = %d, trailing), against means of each window\n", W);
printf ("summed afresh with its rounding errors carried.\n\n");

% Small integers: every sum is exact, so each mean is one correctly rounded division.
% (So is any data whose values are all whole multiples of one power of two, as long as
% the window sums stay below 2^53 of it.)
x = round (randn (1e6, 1) * 1000);
printf ("integers, 1e6 rows:               largest relative error %.1g\n", ...
        relativeError (Zorvan (x, W), referenceMeans (x, W)));
printf ("integers whose sum passes 2^53:   Zorvan([2^53;1;1;1], 2) gives %s, the means are [2^53 2^52 1 1]\n", ...
        mat2str (Zorvan ([2^53; 1; 1; 1], 2)', 17));

% Readings near 1e6 with noise of 1, and prices that wander from 100 (a geometric
% random walk): ordinary doubles, rounded at every step of the running sum.
for data = {{"1e6 + randn", 1e6 + randn(1e6, 1)}, ...
            {"prices from 100", 100 * exp(cumsum(randn(1e6, 1) * 1e-3))}}
  x = data{1}{2};
  errors = abs (Zorvan (x, W) - referenceMeans (x, W)) ./ abs (referenceMeans (x, W));
  printf ("%-22s 1e6 rows: largest relative error %.1g; in the first 1000 rows %.1g, in the last 1000 %.1g\n", ...
          data{1}{1}, max (errors), max (errors(1:1000)), max (errors(end-999:end)));
  % The sum never starts afresh, so its error grows along the column.
  printf ("%22s largest in each tenth of the rows: %s\n", "", ...
          sprintf ("%.1g ", max (reshape (errors, [], 10))));
end

% Against a compensated rolling mean, on readings near 1e6 (1e5 rows: the compensated
% mean here is an Octave loop).
x = 1e6 + randn (1e5, 1);
reference = referenceMeans (x, W);
printf ("1e6 + randn, 1e5 rows: largest relative error of Zorvan %.1g, of a Kahan rolling mean %.1g\n", ...
        relativeError (Zorvan (x, W), reference), relativeError (kahanMeans (x, W), reference));

% The end of a column with S = W: the windows shrink to a few rows, while the sum
% still carries the rounding of W-row sums. Prices from 100, 2000 rows, W = 101.
x = 100 * exp (cumsum (randn (2000, 1) * 1e-2));
errors = abs (Zorvan (x, 101, 101) - referenceMeans (x, 101, 101)) ./ referenceMeans (x, 101, 101);
printf ("\nprices, 2000 rows, W = S = 101: largest relative error %.1g in the last 100 rows, %.1g before them\n", ...
        max (errors(end-99:end-1)), max (errors(1:end-100)));

% Windows of zeros after large values: the sum returns to a rounding residue, not to 0.
% Counts of one decimal, in bursts with runs of zeros between (as sunspot counts),
% averaged over 13 rows, centred.
runs = [];
for burst = 1:40
  runs = [runs; round(rand (50 + randi (150), 1) * 3000) / 10; zeros(20 + randi (40), 1)];
end
y = Zorvan (runs, 13, 6);
empty = referenceMeans (runs, 13, 6) == 0;
printf ("bursts with runs of zeros, W = 13, S = 6: %d windows of zeros, %d of them not 0 (largest %.1g), %d negative\n", ...
        sum (empty), sum (y(empty) != 0), max (abs (y(empty))), sum (y(empty) < 0));

% Overflow: realmax + realmax is Inf, and Inf - realmax stays Inf.
printf ("\n[realmax; realmax; 1; 1], W = 2: Zorvan gives %s\n", mat2str (Zorvan ([realmax; realmax; 1; 1], 2)'));

% S = W: the first row enters and leaves the running sum ahead of the first window,
% so a NaN there reaches every row; a selection without that row leaves it out.
x = [NaN; (1:6)'];
printf ("[NaN; (1:6)'], W = S = 3: Zorvan gives %s\n", mat2str (Zorvan (x, 3, 3)'));
printf ("          ZorvanRestricted(x, 3, [0; ones(6,1)], 3) gives %s\n", ...
        mat2str (ZorvanRestricted (x, 3, [0; ones(6, 1)], 3)'));

% A huge value leaves its rounding residue behind once it has left the window.
x = [1e16; ones(7, 1)];
printf ("\n[1e16; ones(7,1)], W = 2:  Zorvan gives %s\n", mat2str (Zorvan (x, 2)', 4));
printf ("                           exact means [1e+16 5e+15 1 1 1 1 1 1]\n");
printf ("                           Kahan gives %s\n", mat2str (kahanMeans (x, 2)', 4));

% NaN stays in the running sum; leave such rows out with ZorvanRestricted.
prices = [10 20 30; 11 21 31; 12 NaN 32; 13 23 33; 14 24 34; 15 25 35];
printf ("\nA 6 x 3 price table with one missing quote, W = 2:\n");
disp (Zorvan (prices, 2));
printf ("the missing quote left out, one column at a time:\n");
fixed = zeros (size (prices));
for c = 1:columns (prices)
  fixed(:, c) = ZorvanRestricted (prices(:, c), 2, double (! isnan (prices(:, c))));
end
disp (fixed);
