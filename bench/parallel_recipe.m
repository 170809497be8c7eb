% Columns are independent and every result is bit-exact, so a matrix split by column
% blocks can be averaged by several workers and put back together with the very same
% bits. This runs the recipe with Octave's parallel package: parcellfun over two local
% worker processes, and, given "cluster", netcellfun over the servers of a parallel
% cluster (scripts/parallel-loopback.sh starts one on loopback); checks every result
% against one call bit for bit, and times the split against one call.
%
% Run: octave-cli --norc --quiet bench/parallel_recipe.m <folder with Zorvan> [cluster]
%
% Each worker needs Zorvan on its own path: Octave's workers the package (pkg load
% zorvan) or the built folder; MATLAB's parfor and batch workers the bundle of their own
% platform, most often zorvan-<version>-glnxa64.zip on a Linux cluster (win64 on
% Windows workers), unzipped into a folder they share or attached to the pool.

1;

function same = sameBits (a, b)
  same = isequal (size (a), size (b)) && isequal (typecast (a(:), "uint64"), typecast (b(:), "uint64"));
end

function Y = onWorkers (workers, f, blocks)
  % The blocks averaged by f on `workers` local processes, put back side by side.
  parts = parcellfun (workers, f, blocks, "UniformOutput", false, "VerboseLevel", 0);
  Y = [parts{:}];
end

function Y = onServers (servers, f, blocks)
  % The same over the servers of a parallel cluster.
  parts = netcellfun (servers, f, blocks, "UniformOutput", false);
  Y = [parts{:}];
end

args = argv ();
folder = fullfile ("build", "octave");
if (numel (args) >= 1)
  folder = args{1};
end
folder = make_absolute_filename (folder);
addpath (folder);
pkg load parallel

randn ("seed", 5);
X = randn (2000, 16) .* 10 .^ randi ([-8 8], 2000, 16);
X(77) = NaN;
V = double (rand (2000, 1) < 0.6);
W = 21;
S = 10;
blocks = mat2cell (X, rows (X), [5 11]);  % two workers, blocks of any widths
plain = @(b) Zorvan (b, W, S);
restricted = @(b) ZorvanRestricted (b, W, V, S);

results = {};
results(end+1, :) = {"parcellfun, 2 workers, Zorvan", ...
  onWorkers(2, plain, blocks), Zorvan(X, W, S)};
results(end+1, :) = {"parcellfun, 2 workers, ZorvanRestricted", ...
  onWorkers(2, restricted, blocks), ZorvanRestricted(X, W, V, S)};

if (any (strcmp (args, "cluster")))
  % The servers start Octave afresh: they find the functions where the client does.
  servers = pconnect ({"localhost"}, struct ("use_tls", false));
  reval (sprintf ("addpath ('%s')", strrep (folder, "'", "''")), servers(2:end));
  results(end+1, :) = {"netcellfun, a server on loopback, Zorvan", ...
    onServers(servers, plain, blocks), Zorvan(X, W, S)};
  results(end+1, :) = {"netcellfun, a server on loopback, ZorvanRestricted", ...
    onServers(servers, restricted, blocks), ZorvanRestricted(X, W, V, S)};
  sclose (servers);
end

failed = false;
for i = 1:rows (results)
  same = sameBits (results{i, 2}, results{i, 3});
  printf ("%-52s %s\n", results{i, 1}, merge (same, "same bits as one call", "DIFFERS"));
  failed = failed || ! same;
end

% When it pays: one matrix already in memory is averaged at memory speed, and shipping
% its columns to the workers and back costs more than the averaging.
big = randn (1e6, 8);
tic; Zorvan (big, W, S); one = toc;
parts = mat2cell (big, rows (big), [4 4]);
tic; onWorkers (2, plain, parts); split = toc;
printf ("\n1e6 x 8: one call %.1f ms, split over 2 workers %.1f ms\n", 1e3 * one, 1e3 * split);
if (failed)
  error ("a split result differs from one call");
end
