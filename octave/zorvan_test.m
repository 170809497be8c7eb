function [passed, failed] = zorvan_test(mode)
%ZORVAN_TEST  Check this copy of Zorvan and ZorvanRestricted, in MATLAB or Octave.
%   ZORVAN_TEST runs every check and prints one line per group of checks and
%   a closing line "N passed, N failed". It takes a few seconds, opens no
%   window and writes no file. A call that fails, returns nothing or finds no
%   function counts as a failure of that call, so the closing line always comes.
%   [PASSED, FAILED] = ZORVAN_TEST returns the counts.
%   ZORVAN_TEST('verbose') also prints each failing case: the call, and the
%   expected and actual bits of its first differing value, or what else was
%   wrong (the error, the size, the class). These are the only two modes.
%
%   The groups:
%     examples     every example of the help texts and the README, bit for bit
%     Zorvan       random shapes, windows and shifts (S = 0, S = W, S > W,
%                  S = M, negative, fractional) against a running sum written
%                  out here: the leaving row subtracted, then the entering row
%                  added, then one division, as the functions promise
%     ZorvanRestricted  the same with dense, sparse, empty and full selections
%     paths        the shapes that reach each way the functions work inside
%                  (many columns, long columns, columns beyond the caches,
%                  selections turning sparse and dense), on whole numbers,
%                  whose window sums are exact whatever the order
%     refusals     every message, and which one wins when a call has two faults
%     inputs       X, W, S and V are the same bits after the calls
%   Expected values come from the code in this file, never from the functions
%   themselves; results are compared bit for bit (NaN matching NaN).
%
%   Example:
%     zorvan_test
%
%   See also Zorvan, ZorvanRestricted.

verbose = false;
if nargin > 0
    verbose = ischar(mode) && strcmpi(mode, 'verbose');
    if ~verbose
        error('zorvan_test:mode', ['zorvan_test: unknown mode %s; the modes are ' ...
              'zorvan_test and zorvan_test(''verbose'').'], describeMode(mode));
    end
end
t = struct('verbose', verbose, 'passed', 0, 'failed', 0, ...
           'group', '', 'groupPassed', 0, 'groupFailed', 0);
t = runGroup(t, 'examples', @checkExamples);
t = runGroup(t, 'Zorvan', @checkPlain);
t = runGroup(t, 'ZorvanRestricted', @checkRestricted);
t = runGroup(t, 'paths', @checkPaths);
t = runGroup(t, 'refusals', @checkRefusals);
t = runGroup(t, 'inputs', @checkInputs);
fprintf('%d passed, %d failed\n', t.passed, t.failed);
passed = t.passed;
failed = t.failed;
if nargout == 0
    clear passed failed
end
end

function text = describeMode(mode)
if ischar(mode)
    text = ['''' mode ''''];
elseif isnumeric(mode) || islogical(mode)
    text = mat2str(mode);
else
    text = ['of class ' class(mode)];
end
end

% ---------------------------------------------------------------- the groups

function t = runGroup(t, name, check)
t.group = name;
t.groupPassed = 0;
t.groupFailed = 0;
t = check(t);
fprintf('zorvan_test: %-17s %4d passed, %d failed\n', name, t.groupPassed, t.groupFailed);
end

function t = checkExamples(t)
x = (1:7)';
v = [1 0 1 1 0 1 1]';
t = expectSame(t, 'Zorvan(x, 3)', @() Zorvan(x, 3), [1 1.5 2 3 4 5 6]');
t = expectSame(t, 'Zorvan(x, 3, 1)', @() Zorvan(x, 3, 1), [1.5 2 3 4 5 6 6.5]');
t = expectSame(t, 'Zorvan(x, 3, 3)', @() Zorvan(x, 3, 3), [3 4 5 6 6.5 7 NaN]');
t = expectSame(t, 'Zorvan(x, 10, 2)', @() Zorvan(x, 10, 2), [2 2.5 3 3.5 4 4 4]');
t = expectSame(t, 'Zorvan(x'', 3)', @() Zorvan(x', 3), x');
t = expectSame(t, 'Zorvan(x, 3, complex(1, 5))', @() Zorvan(x, 3, complex(1, 5)), ...
               [1.5 2 3 4 5 6 6.5]');
t = expectSame(t, 'ZorvanRestricted(x, 3, v, 1)', @() ZorvanRestricted(x, 3, v, 1), ...
               [1 2 3.5 3.5 5 6.5 6.5]');
t = expectSame(t, 'ZorvanRestricted(x, 3, 0 * v)', @() ZorvanRestricted(x, 3, 0 * v), x);
t = expectSame(t, 'Zorvan([NaN 1:6]'', 1, 3)', @() Zorvan([NaN 1:6]', 1, 3), ...
               [3 4 5 6 NaN NaN NaN]');
t = expectSame(t, 'Zorvan([1e16; ones(7,1)], 2)', @() Zorvan([1e16; ones(7, 1)], 2), ...
               [1e16; 5e15; 0.5 * ones(6, 1)]);
t = expectSame(t, 'Zorvan([2^53;1;1;1], 2)', @() Zorvan([2^53; 1; 1; 1], 2), ...
               [2^53; 2^52; 0.5; 0.5]);
t = expectSame(t, 'Zorvan([realmax; realmax; 1; 1], 2)', @() ...
               Zorvan([realmax; realmax; 1; 1], 2), [realmax; Inf; Inf; Inf]);
t = expectSame(t, 'Zorvan([NaN; 1; 2; 3], 2, 2)', @() Zorvan([NaN; 1; 2; 3], 2, 2), NaN(4, 1));
t = expectSame(t, 'ZorvanRestricted([NaN;1;2;3], 2, [0;1;1;1], 2)', @() ...
               ZorvanRestricted([NaN; 1; 2; 3], 2, [0; 1; 1; 1], 2), [1.5; 2.5; 3; 3]);
y = [1; NaN; 3; 4; NaN; 6];
t = expectSame(t, 'ZorvanRestricted(y, 3, double(~isnan(y)), 1)', @() ...
               ZorvanRestricted(y, 3, double(~isnan(y)), 1), [1 2 3.5 3.5 5 6]');
X = reshape(1:24, 3, 2, 4);
t = expectSame(t, 'Zorvan(reshape(1:24, 3, 2, 4), 2, 1)', @() Zorvan(X, 2, 1), ...
               plainAverage(reshape(X, 3, 8), 2, 1));
t = expectSame(t, 'Zorvan(-0, 1)', @() Zorvan(-0, 1), 0);
end

function t = checkPlain(t)
seed = 20261209;
for k = 1:70
    [x, seed] = someData(seed, k);
    [W, S, seed] = someWindow(seed, size(x, 1));
    call = sprintf('Zorvan(x of %d x %d, %s, %s)', size(x, 1), size(x, 2), ...
                   num2str(W, 17), num2str(S, 17));
    t = expectSame(t, call, @() Zorvan(x, W, S), plainAverage(x, W, S));
end
end

function t = checkRestricted(t)
seed = 4242;
kinds = {'dense', 'sparse', 'empty', 'full', 'flags'};
for k = 1:70
    [x, seed] = someData(seed, k);
    M = size(x, 1);
    [W, S, seed] = someWindow(seed, M);
    kind = kinds{mod(k, numel(kinds)) + 1};
    [v, seed] = someSelection(seed, M + mod(k, 3), kind);
    call = sprintf('ZorvanRestricted(x of %d x %d, %s, %s selection, %s)', M, size(x, 2), ...
                   num2str(W, 17), kind, num2str(S, 17));
    t = expectSame(t, call, @() ZorvanRestricted(x, W, v, S), restrictedAverage(x, W, v, S));
end
end

function t = checkPaths(t)
% The shapes that reach each way the functions work inside, so that a copy wrong on
% one of them fails here. With AVX a vector holds 4 columns: columns go in groups of
% 8 (two chains of 4 side by side), then of 4 and 2, then one by one; without AVX,
% groups of 4 and 2. Which shape reaches which way:
%   M = 1024, 1028, 2048, 4096 with 8 to 15 columns: two chains of a group lag
%     each other by 112 or 128 rows, since their columns lie near a multiple of 4 KiB
%     apart (M * 32 bytes within 160 bytes of one; without AVX, M * 16 within 320
%     bytes, the plain average only).
%   131072 x 8 (8 MiB, beyond the caches): single chains for windows of over 512
%     rows and under sparse selections, two chains otherwise; with 9 columns, a lone
%     column beside them.
%   One column of 6000 or 40000 rows (restricted): segments of 64 rows, each one's operands,
%     running sum and outputs interleaved with its neighbours'; where at most 1 row
%     in 16 enters selected (the one density rule), the sparse walk, a vector of rows
%     at a time.
%   3000 x 8 to 32 under sparse selections: groups that move only the tiles of rows
%     where a selected row leaves or enters (the same rule, on blocks of 32 rows),
%     four groups sharing one selection block in the caches.
%   Selections that turn from dense to sparse and back within a column, in stretches
%     of 31 to 640 rows, with one row more or less than the density rule allows;
%     windows longer than the column; shifts beyond the window.
shapes = {
    % M      N   windows [W S; ...]                           selections
    1024     8   [5 0; 129 64; 300 300; 40 200; 1100 7]       {'crossing'}
    1028    15   [7 3; 128 128; 600 20]                       {'dense'}
    2048    12   [33 16; 3 500; 2100 2048]                    {'crossing'}
    4096     8   [21 10; 128 0; 1000 1000]                    {'sparse'}
    131072   8   [21 10; 700 700]                             {'sparse', 'crossing'}
    131072   9   [600 300; 5 50]                              {'dense', 'crossing'}
    6000     1   [1 0; 9 4; 200 200; 50 700; 6100 3]          {'dense', 'crossing'}
    40000    1   [25 12; 1000 1001]                           {'sparse', 'crossing'}
    6000     3   [64 32; 300 0]                               {'crossing'}
    3000     8   [9 4; 100 100; 3100 5]                       {'sparse', 'crossing'}
    3000    32   [17 8; 250 700]                              {'sparse', 'crossing'}
    20000   16   [40 20; 64 300]                              {'sparse', 'crossing'}
    };
for i = 1:size(shapes, 1)
    [M, N, windows, selections] = shapes{i, :};
    x = smallWholeNumbers(M, N, i);
    for w = 1:size(windows, 1)
        W = windows(w, 1);
        S = min(windows(w, 2), M);
        shape = sprintf('x of %d x %d, %d, ', M, N, W);
        t = expectSame(t, sprintf('Zorvan(%s%d)', shape, S), @() Zorvan(x, W, S), ...
                       exactAverage(x, W, [], S));
        for k = 1:numel(selections)
            v = selectionOf(selections{k}, M, i + w);
            t = expectSame(t, sprintf('ZorvanRestricted(%s%s selection, %d)', shape, ...
                                      selections{k}, S), ...
                           @() ZorvanRestricted(x, W, v, S), exactAverage(x, W, v, S));
        end
    end
end
end

function t = checkRefusals(t)
x = (1:7)';
v = ones(7, 1);
count = 'Invalid number of input arguments';
complexX = 'MA of a complex sequence not supported.';
notDouble = 'MA of non double matrices not supported.';
sparseX = 'MA of sparse matrices not supported.';
window = 'Window size must be a real scalar double.';
complexV = 'Vector of a complex sequence not supported.';
notDoubleV = 'Vector of non double not supported.';
sparseV = 'Sparse vector not supported.';
shortV = 'Vector must have at least as many elements as X has rows.';
tooLarge = 'Matrix dimensions must be less than 2^31.';
range = 'Window size must be between 1 and 2147483647.';
shift = 'Row size must be greater than Shift.';
cases = {
    @() Zorvan(), count
    @() Zorvan(x), count
    @() Zorvan(x, 3, 0, 1), count
    @() ZorvanRestricted(x, 3), count
    @() ZorvanRestricted(x, 3, v, 0, 1), count
    @() Zorvan(complex(x, 1), 3), complexX
    @() Zorvan(single(x), 3), notDouble
    @() Zorvan(int32(x), 3), notDouble
    @() Zorvan(x > 2, 3), notDouble
    @() Zorvan(sparse(x), 3), sparseX
    @() Zorvan(x, [3 3]), window
    @() Zorvan(x, []), window
    @() Zorvan(x, int32(3)), window
    @() Zorvan(x, complex(3, 1)), window
    @() ZorvanRestricted(x, 3, complex(v, 1)), complexV
    @() ZorvanRestricted(x, 3, v > 0), notDoubleV
    @() ZorvanRestricted(x, 3, sparse(v)), sparseV
    @() ZorvanRestricted(x, 3, v(1:6)), shortV
    @() Zorvan(zeros(0, 2^31), 1), tooLarge
    @() Zorvan(x, 0), range
    @() Zorvan(x, 0.99), range
    @() Zorvan(x, NaN), range
    @() Zorvan(x, Inf), range
    @() Zorvan(x, 2^31), range
    @() Zorvan(x, 3, 8), shift
    @() Zorvan(x, 3, 8.5), shift
    @() Zorvan(x, 3, Inf), shift
    @() Zorvan(x, 3, 2^31), shift
    @() ZorvanRestricted(x, 3, v, 8), shift
    % Two faults: the first check in the order of the help text wins.
    @() Zorvan(complex(single(x), 1), 3), complexX
    @() Zorvan(sparse(x), [3 3]), sparseX
    @() Zorvan(x, [3 3], 100), window
    @() ZorvanRestricted(x, [3 3], complex(v, 1)), window
    @() ZorvanRestricted(x, 0, v(1:3)), shortV
    @() Zorvan(zeros(0, 2^31), [3 3]), window
    @() Zorvan(zeros(0, 2^31), 0), tooLarge
    @() Zorvan(x, 0, 100), range
    @() Zorvan(x, 0, {1}), range
    };
for i = 1:size(cases, 1)
    refuse = cases{i, 1};
    call = func2str(refuse);
    message = cases{i, 2};
    try
        refuse();
        t = record(t, false, sprintf('%s was accepted; expected "%s"', call, message));
    catch err
        refused = endsIn(err.message, message);
        t = record(t, refused, sprintf('%s: "%s"; expected "%s"', call, err.message, message));
    end
end
end

function t = checkInputs(t)
[x, seed] = someData(77, 5);
[v, seed] = someSelection(seed, size(x, 1), 'flags');
W = 4.5;
S = min(2, size(x, 1));
before = {bitsOf(x), bitsOf(v), bitsOf(W), bitsOf(S)};
% Only the inputs matter here; a call that fails is reported by the other groups.
outcomeOf(@() Zorvan(x, W, S));
outcomeOf(@() ZorvanRestricted(x, W, v, S));
after = {bitsOf(x), bitsOf(v), bitsOf(W), bitsOf(S)};
names = {'X', 'V', 'W', 'S'};
for i = 1:numel(names)
    t = record(t, isequal(before{i}, after{i}), sprintf('%s changed by a call', names{i}));
end
end

% ---------------------------------------------------------- the references

function y = plainAverage(x, W, S)
% The moving average as one running sum per column.
[M, N] = size(x);
[W, S] = windowOf(W, S);
y = zeros(M, N);
for c = 1:N
    y(:, c) = plainColumn(x(:, c), M, W, S);
end
end

function y = plainColumn(x, M, W, S)
% Rows and output cells are counted from 0 here, as in the help text.
y = zeros(M, 1);
first = firstRow(M, W, S);
total = 0;
k = first;   % the next row to enter
t = first;   % the next row to leave
j = 0;       % the next output cell
while k < S && k < M          % rows ahead of the first output row's window
    total = total + x(k + 1);
    k = k + 1;
end
while k - first < W && k < M  % the window grows
    total = total + x(k + 1);
    k = k + 1;
    y(j + 1) = total / (k - first);
    j = j + 1;
end
while k < M                   % full windows: leave, then enter
    total = total - x(t + 1);
    total = total + x(k + 1);
    y(j + 1) = total / W;
    j = j + 1;
    k = k + 1;
    t = t + 1;
end
d = k - first - W;            % the tail: the window runs past the column's end
g = min(M - first, W);
while j < M
    if d < 0
        d = d + 1;
    elseif g > 0
        total = total - x(t + 1);
        t = t + 1;
        g = g - 1;
    end
    if g > 0
        y(j + 1) = total / g;
    else
        y(j + 1) = NaN;
    end
    j = j + 1;
end
end

function y = restrictedAverage(x, W, v, S)
[M, N] = size(x);
[W, S] = windowOf(W, S);
selected = v(1:M) ~= 0;
y = zeros(M, N);
for c = 1:N
    y(:, c) = restrictedColumn(x(:, c), selected(:), M, W, S);
end
end

function y = restrictedColumn(x, selected, M, W, S)
% As plainColumn, over the selected rows only; the input passes through where a
% window selects none.
y = zeros(M, 1);
first = firstRow(M, W, S);
total = 0;
n = 0;
k = first;
t = first;
j = 0;
while k < S && k < M
    [total, n] = enter(total, n, x, selected, k);
    k = k + 1;
end
while k - first < W && k < M
    [total, n] = enter(total, n, x, selected, k);
    k = k + 1;
    y(j + 1) = restrictedMean(total, n, x(j + 1));
    j = j + 1;
end
while k < M
    [total, n] = leave(total, n, x, selected, t);
    [total, n] = enter(total, n, x, selected, k);
    y(j + 1) = restrictedMean(total, n, x(j + 1));
    j = j + 1;
    k = k + 1;
    t = t + 1;
end
d = k - first - W;
while j < M
    if d < 0
        d = d + 1;
    elseif t < M
        [total, n] = leave(total, n, x, selected, t);
        t = t + 1;
    end
    y(j + 1) = restrictedMean(total, n, x(j + 1));
    j = j + 1;
end
end

function [total, n] = enter(total, n, x, selected, r)
if selected(r + 1)
    total = total + x(r + 1);
    n = n + 1;
end
end

function [total, n] = leave(total, n, x, selected, r)
if selected(r + 1)
    total = total - x(r + 1);
    n = n - 1;
end
end

function value = restrictedMean(total, n, own)
if n == 0
    value = own;
else
    value = total / n;
end
end

function y = exactAverage(x, W, v, S)
% The moving average of whole numbers whose window sums stay below 2^53, where every
% sum is exact whatever its order: each cell is its window's sum over its count, the
% sums taken from cumulative sums, in vectors. V is empty for Zorvan.
[M, N] = size(x);
[W, S] = windowOf(W, S);
if isempty(v)
    selected = ones(M, 1);
else
    selected = double(v(1:M) ~= 0);
    selected = selected(:);
end
j = (0:M - 1)';
first = min(max(j + S - W + 1, 0), M);   % the window's rows: first .. last
last = max(min(j + S, M - 1), first - 1);
counts = cumsum([0; selected]);
count = counts(last + 2) - counts(first + 1);
sums = cumsum([zeros(1, N); x .* repmat(selected, 1, N)]);
y = (sums(last + 2, :) - sums(first + 1, :)) ./ repmat(count, 1, N);
empty = count == 0;
if isempty(v)
    y(empty, :) = NaN;
else
    y(empty, :) = x(empty, :);
end
end

function [W, S] = windowOf(W, S)
% W and S as the functions read them: truncated toward zero; an empty, negative or
% NaN shift is no shift.
W = fix(W);
if isempty(S) || isnan(S) || S < 0
    S = 0;
else
    S = fix(real(S(1)));
end
end

function first = firstRow(M, W, S)
% The first row any window holds: with S > W the rows before it lie in no window.
first = 0;
if S > W
    first = min(S - W + 1, M);
end
end

% ------------------------------------------------------- data, deterministic

function [u, seed] = uniform(seed, n)
% n numbers in (0, 1) from the minimal standard generator, exact in doubles, so
% that every host makes the same data and no random state is touched.
u = zeros(n, 1);
for i = 1:n
    seed = mod(16807 * seed, 2147483647);
    u(i) = seed / 2147483647;
end
end

function [x, seed] = someData(seed, k)
% A column or a few of mixed magnitudes (any other order of the operations rounds
% otherwise), now and then with NaN, Inf and -0; the lengths run from 1 to thousands.
[u, seed] = uniform(seed, 2);
lengths = [1 2 3 5 8 13 40 100 257 1000 3001];
M = lengths(1 + floor(u(1) * numel(lengths)));
N = 1 + floor(u(2) * min(9, max(1, floor(6000 / M))));
[u, seed] = uniform(seed, 3 * M * N);
u = reshape(u, M * N, 3);
x = (2 * u(:, 1) - 1) .* pow2(round(40 * u(:, 2)) - 20);
if mod(k, 4) == 0
    x(u(:, 3) < 0.02) = NaN;
    x(u(:, 3) > 0.99) = Inf;
    x(u(:, 3) > 0.5 & u(:, 3) < 0.52) = -0;
end
x = reshape(x, M, N);
end

function [W, S, seed] = someWindow(seed, M)
% Windows from one row to longer than the column, fractional ones truncated; shifts
% 0, W, past W, M, negative, NaN, empty and fractional.
[u, seed] = uniform(seed, 3);
windows = [1 2 3 M M + 1 1 + floor(u(2) * (M + 5)) 21 2147483647 3.9];
W = windows(1 + floor(u(1) * numel(windows)));
w = fix(W);
shifts = {0, w, w + 1, M, floor(u(3) * (M + 1)), -3, NaN, [], floor((w - 1) / 2) + 0.75};
S = shifts{1 + floor(u(3) * numel(shifts))};
if ~isempty(S) && S > M
    S = M;
end
end

function [v, seed] = someSelection(seed, n, kind)
[u, seed] = uniform(seed, n);
switch kind
    case 'dense'
        v = double(u < 2 / 3);
    case 'sparse'
        v = double(u < 0.01);
    case 'empty'
        v = zeros(n, 1);
    case 'full'
        v = ones(n, 1);
    otherwise  % NaN and negative values select, -0 does not
        flags = [0 -0 1 NaN -2 0.5 0];
        v = flags(1 + floor(u * numel(flags)))';
end
end

function x = smallWholeNumbers(M, N, seed)
% M x N whole numbers from -1000 to 1000, scattered by a hash that is exact in doubles.
i = (1:M * N)' + 1000003 * seed;
a = mod(i * 40503, 65521);
x = reshape(mod(a .* a + i, 2001) - 1000, M, N);
end

function v = selectionOf(kind, M, seed)
% A selection of M rows with flags of every kind (1, NaN, -3, 0.5 and Inf select; 0
% and -0 do not): 'dense' (2 in 3), 'sparse' (1 in 100), or 'crossing': stretches of
% 31 to 640 rows, each as sparse or as dense as the one before it is not, among them
% 2 and 3 rows in 32, and 4 and 5 in 64, one either side of the density rule.
hash = mod(mod(((1:M)' + 7919 * seed) * 40503, 65521) .^ 2, 65521);
switch kind
    case 'dense'
        selected = mod(hash, 3) < 2;
    case 'sparse'
        selected = mod(hash, 100) == 0;
    otherwise
        lengths = [32 640 33 64 256 31 100 65 128 63];
        % [selected, out of, 1 where the hash picks the rows rather than their places]
        densities = [3 32 0; 2 3 1; 0 1 0; 1 1 0; 2 32 0; 4 64 0; 99 100 1; 5 64 0; 1 100 1; 30 32 0];
        selected = false(M, 1);
        row = 0;
        for k = mod(seed, 10) + (0:M)
            n = min(lengths(mod(k, 10) + 1), M - row);
            if n <= 0
                break
            end
            d = densities(mod(3 * k, 10) + 1, :);
            r = (0:n - 1)';
            if d(3) == 0
                selected(row + 1:row + n) = mod(r + k, d(2)) < d(1);
            else
                selected(row + 1:row + n) = mod(hash(row + 1:row + n), d(2)) < d(1);
            end
            row = row + n;
        end
end
flags = [1 NaN -3 0.5 Inf];
v = zeros(M, 1);
v(mod(hash, 2) == 0) = -0;
v(selected) = flags(mod(hash(selected), numel(flags)) + 1);
end

% ----------------------------------------------------------- comparing bits

function t = expectSame(t, call, compute, expected)
% Whether COMPUTE() gives EXPECTED bit for bit: an error, no output or no function
% there is a failure of CALL too.
[actual, problem] = outcomeOf(compute);
if isempty(problem)
    problem = differenceOf(actual, expected);
end
t = record(t, isempty(problem), [call ': ' problem]);
end

function [actual, problem] = outcomeOf(compute)
% COMPUTE()'s result, or where it has none, why.
actual = [];
problem = '';
try
    actual = compute();
catch err
    problem = sprintf('error "%s"', err.message);
end
end

function bits = bitsOf(a)
% The bits of every value, one row each, every NaN alike.
a = double(a(:));
bits = zeros(numel(a), 2);
if ~isempty(a)
    bits = reshape(double(typecast(a, 'uint32')), 2, numel(a))';
end
bits(isnan(a), :) = -1;
end

function text = differenceOf(actual, expected)
% How ACTUAL differs from the real, full double array EXPECTED; empty where it does not.
text = '';
if ~isa(actual, 'double')
    text = sprintf('a %s result, expected double', class(actual));
elseif ~isreal(actual) || issparse(actual)
    text = 'a complex or sparse result, expected real and full';
elseif ~isequal(size(actual), size(expected))
    text = sprintf('size %s, expected %s', mat2str(size(actual)), mat2str(size(expected)));
else
    different = find(any(bitsOf(actual) ~= bitsOf(expected), 2), 1);
    if ~isempty(different)
        text = sprintf('cell %d is %s (%.17g), expected %s (%.17g)', different, ...
                       hexOf(actual(different)), actual(different), ...
                       hexOf(expected(different)), expected(different));
    end
end
end

function text = hexOf(value)
halves = typecast(double(value), 'uint32');   % low half first on every host
text = sprintf('%08x%08x', halves(2), halves(1));
end

function ok = endsIn(text, tail)
ok = numel(text) >= numel(tail) && strcmp(text(end - numel(tail) + 1:end), tail);
end

function t = record(t, ok, description)
if ok
    t.passed = t.passed + 1;
    t.groupPassed = t.groupPassed + 1;
else
    t.failed = t.failed + 1;
    t.groupFailed = t.groupFailed + 1;
    if t.verbose
        fprintf('  FAILED (%s) %s\n', t.group, description);
    end
end
end

%!test
%! [passed, failed] = zorvan_test();
%! assert (failed, 0);
%! assert (passed > 0);
