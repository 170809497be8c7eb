function y = window_mean(x, W, S, v)
% The definition of both averages, cell by cell: output row j (from 1) is the mean
% of rows j+S-W+1 .. j+S of its column, cut at the column's ends (a negative S
% acts as 0). Plain: NaN where the window holds no row. With a selection V, only
% rows with V(r) ~= 0 count, and the input passes through where none does.
% On integer-valued data every sum is exact, so the results are exact too.
  [M, N] = size(x);
  S = max(S, 0);
  y = zeros(M, N);
  for c = 1:N
    for j = 1:M
      rows = max(1, j + S - W + 1):min(M, j + S);
      if (nargin > 3)
        rows = rows(v(rows) != 0);
        if (isempty(rows))
          y(j, c) = x(j, c);
          continue;
        end
      elseif (isempty(rows))
        y(j, c) = NaN;
        continue;
      end
      y(j, c) = sum(x(rows, c)) / numel(rows);
    end
  end
end
