% What accuracy to expect from a running sum: Zorvan against means of each window
% summed afresh with its rounding errors carried, and against a compensated (Kahan)
% rolling mean.
% Reproduces the numbers of the README's accuracy section; not a test.
%
% Run: octave-cli --norc --quiet bench/accuracy.m <folder with Zorvan.mex>
%      (make accuracy does this with build/octave)

1;

function m = referenceMeans (x, W)
  % Trailing means over W rows, each window summed afresh with its rounding errors
  % carried exactly (Knuth's two-sum) and added back once: the sums are good to far
  % below one unit in the last place, so each mean is as good as correctly rounded.
  M = numel (x);
  high = zeros (M, 1);
  low = zeros (M, 1);
  for d = 0:W-1
    a = high(1+d:end);
    b = x(1:end-d);
    s = a + b;
    v = s - a;
    low(1+d:end) += (a - (s - v)) + (b - v);
    high(1+d:end) = s;
  end
  m = (high + low) ./ min ((1:M)', W);
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
randn ("seed", 3);
W = 21;

printf ("Accuracy of Zorvan (a running sum, W = %d, trailing), against means of each window\n", W);
printf ("summed afresh with its rounding errors carried.\n\n");

% Small integers: every sum is exact, so each mean is one correctly rounded division.
% (So is any data whose values are all whole multiples of one power of two, as long as
% the window sums stay below 2^53 of it.)
x = round (randn (1e6, 1) * 1000);
printf ("integers, 1e6 rows:               largest relative error %.1g\n", ...
        relativeError (Zorvan (x, W), referenceMeans (x, W)));

% Readings near 1e6 with noise of 1, and prices that wander from 100 (a geometric
% random walk): ordinary doubles, rounded at every step of the running sum.
for data = {{"1e6 + randn", 1e6 + randn(1e6, 1)}, ...
            {"prices from 100", 100 * exp(cumsum(randn(1e6, 1) * 1e-3))}}
  x = data{1}{2};
  errors = abs (Zorvan (x, W) - referenceMeans (x, W)) ./ abs (referenceMeans (x, W));
  printf ("%-22s 1e6 rows: largest relative error %.1g; in the first 1000 rows %.1g, in the last 1000 %.1g\n", ...
          data{1}{1}, max (errors), max (errors(1:1000)), max (errors(end-999:end)));
end

% Against a compensated rolling mean, on readings near 1e6 (1e5 rows: the compensated
% mean here is an Octave loop).
x = 1e6 + randn (1e5, 1);
reference = referenceMeans (x, W);
printf ("1e6 + randn, 1e5 rows: largest relative error of Zorvan %.1g, of a Kahan rolling mean %.1g\n", ...
        relativeError (Zorvan (x, W), reference), relativeError (kahanMeans (x, W), reference));

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
