#!/bin/sh
# Runs two builds of bench_install_extensions by turns (A, B, A, B, ...) in one Wine prefix and
# prints, per build and size, the median of each column over the rounds, then per round and size
# the throughput of B against A (B/A of files per second, fresh and again; above 1: B is faster):
#   bench/windows/interleave.sh WINE_ROOT ROUNDS A.exe B.exe [-r RUNS] [-k KB] [FILES...]
# WINE_ROOT is a prefix made by scripts/wine-prefix.sh create. Every round's own output is kept
# in $BENCH_OUT (default /tmp/bench-interleave).
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
root=$1
rounds=$2
a=$3
b=$4
shift 4
out=${BENCH_OUT:-/tmp/bench-interleave}
mkdir -p "$out"
rm -f "$out"/A-* "$out"/B-*
i=1
while [ "$i" -le "$rounds" ]; do
  for side in A B; do
    if [ $side = A ]; then exe=$a; else exe=$b; fi
    # The two programs share a file name; each gets its own copy in the prefix.
    dir=$(mktemp -d)
    cp "$exe" "$dir/bench_install_extensions_$side.exe"
    "$here/scripts/wine-run.sh" "$root" "$dir/bench_install_extensions_$side.exe" "$@" \
      >"$out/$side-$i.txt"
    rm -rf "$dir"
    printf '%s\n' "round $i $side: $(grep -c '^ *[0-9]' "$out/$side-$i.txt") sizes, $(grep journal: "$out/$side-$i.txt")" >&2
  done
  i=$((i + 1))
done
for side in A B; do
  echo "== $side: median of $rounds rounds"
  head -n 1 "$out/$side-1.txt"
  # The programs end their lines with CR LF; a field with a CR would compare as text.
  cat "$out"/$side-*.txt | tr -d '\r' | awk '
    /^ *[0-9]/ { n = $1; sizes[n] = 1; count[n]++
                 for (c = 2; c <= NF; c++) if ($c != "|") v[n, c, count[n]] = $c; else bar = c
                 fields = NF }
    function median(n, c,    k, m, t, j, x) {
      m = count[n]
      for (k = 1; k <= m; k++) x[k] = v[n, c, k]
      for (k = 2; k <= m; k++) { t = x[k]; for (j = k - 1; j >= 1 && x[j] > t; j--) x[j + 1] = x[j]; x[j + 1] = t }
      return m % 2 ? x[(m + 1) / 2] : (x[m / 2] + x[m / 2 + 1]) / 2
    }
    END { for (n in sizes) order[++s] = n + 0
          for (k = 2; k <= s; k++) { t = order[k]; for (j = k - 1; j >= 1 && order[j] > t; j--) order[j + 1] = order[j]; order[j + 1] = t }
          for (k = 1; k <= s; k++) { n = order[k]; line = sprintf("%6d", n)
            for (c = 2; c <= fields; c++) line = line (c == bar ? " |" : sprintf(" %9s", median(n, c)))
            print line } }'
done
# The columns are found by their heads (one word each), left and right of the bar.
echo "== B/A per round (fresh and again: files/s of the installation; whole: MB/s of reading the set and installing fresh)"
printf '%5s %6s %9s %9s %9s\n' round files fresh whole again
i=1
while [ "$i" -le "$rounds" ]; do
  head -n 1 "$out/A-$i.txt" | tr -d '\r' >"$out/ab.tmp"
  grep '^ *[0-9]' "$out/A-$i.txt" | tr -d '\r' >"$out/a.tmp"
  grep '^ *[0-9]' "$out/B-$i.txt" | tr -d '\r' >"$out/b.tmp"
  paste -d ' ' "$out/a.tmp" "$out/b.tmp" | cat "$out/ab.tmp" - | awk -v round="$i" '
    NR == 1 { for (c = 1; c <= NF; c++) { if ($c == "|") side = "R"; col[side $c] = c }; next }
    function ratio(name) { return col[name] ? sprintf("%9.3f", $(NF / 2 + col[name]) / $(col[name])) : sprintf("%9s", "-") }
    { printf "%5d %6d %s %s %s\n", round, $1, ratio("files/s"), ratio("wholeMB/s"), ratio("Rfiles/s") }'
  i=$((i + 1))
done
rm -f "$out/a.tmp" "$out/b.tmp" "$out/ab.tmp"
