#!/bin/sh
# Peak memory and time of the Windows programs on sets far larger than memory should hold, for two
# builds by turns, in a fresh Wine prefix:
#   bench/windows/big_install.sh OLD_BIN NEW_BIN [ROUNDS]
# OLD_BIN and NEW_BIN are folders holding NebCM.exe and nebpack.exe. The platform is installed
# unattended from $BENCH_MEDIUM (default build/medium); then, per round and build:
#   nebcm-tiny  NebCM.exe -Unattended installing a set of one 100-byte file (the empty run),
#   nebcm-mid   the same installing 200 files of 1 MB (a whole installation of a common size),
#   nebcm-big   the same installing a 1.9 GB set whose payload is above 2 GB,
#   check-tiny, check-mid, check-big, check-bomb  nebpack.exe check of those sets and of 4 GB of
#               zeros packed into 38 MB,
# each run under bench_peak_memory.exe. An installation that succeeds is removed again with the
# installed manager before the next run. Prints one table: "priv" is the peak private memory (the
# reported peak, or the largest current value polled when that is higher: Wine keeps no peak of
# it), "ws" the peak working set, "+priv" the peak private memory beyond the same build's empty
# run in the same round (nebcm-tiny, or check-tiny for the checks).
# Environment: BENCH_WORK (default /tmp/bench-big: the prefix, the logs and the sets, which are
# written once by bench_big_sets -w and kept), BENCH_PEAK, BENCH_BIG_SETS, BENCH_CASES.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
old=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
rounds=${3:-1}
work=${BENCH_WORK:-/tmp/bench-big}
medium=${BENCH_MEDIUM:-$here/build/medium}
peak=${BENCH_PEAK:-$here/build/wintest/bench/windows/bench_peak_memory.exe}
bigsets=${BENCH_BIG_SETS:-$here/build-release/bench/bench_big_sets}
cases=${BENCH_CASES:-nebcm-tiny nebcm-mid nebcm-big check-tiny check-mid check-big check-bomb}

mkdir -p "$work/sets"
if [ ! -f "$work/sets/big.nds" ] || [ ! -f "$work/sets/bomb.nds" ] || [ ! -f "$work/sets/tiny.nds" ] ||
  [ ! -f "$work/sets/mid.nds" ]; then
  echo "big_install: writing the sets into $work/sets" >&2
  "$bigsets" -w "$work/sets" >&2
fi

"$here/scripts/wine-prefix.sh" create "$work/wine"
NEBCM_WINE_ROOT=$work/wine
. "$here/scripts/wine-env.sh"
c=$WINEPREFIX/drive_c
ln -sfn "$work/sets" "$c/sets"
mkdir -p "$c/bench/logs" "$c/old" "$c/new"
cp -r "$medium" "$c/medium"
cp "$peak" "$c/bench/peak.exe"
cp "$old/NebCM.exe" "$old/nebpack.exe" "$c/old/"
cp "$new/NebCM.exe" "$new/nebpack.exe" "$c/new/"
rows=$work/rows.txt
: >"$rows"

code=0
wine 'C:\medium\NebCM.exe' -Unattended -Directory 'C:\NEB20' -Log 'C:\bench\logs\platform.log' \
  </dev/null >/dev/null 2>&1 || code=$?
if [ "$code" != 0 ]; then
  echo "big_install: the platform did not install (exit $code); see $c/bench/logs/platform.log" >&2
  exit 1
fi

# What the counters say of a child that commits 200 MB and touches 100 MB of it.
calibration=$(wine 'C:\bench\peak.exe' 'C:\bench\peak.exe' -alloc 200 100 </dev/null)

big_names() {
  k=0
  names=
  while [ $k -lt 3 ]; do
    i=0
    while [ $i -lt 684 ]; do
      names="$names${names:+,}s${k}l$i"
      i=$((i + 50))
    done
    k=$((k + 1))
  done
  echo "$names"
}

run_case() { # round build case
  r=$1 b=$2 what=$3
  log="C:\\bench\\logs\\$r-$b-$what.log"
  out="C:\\bench\\logs\\$r-$b-$what.out"
  case $what in
  nebcm-*) set=${what#nebcm-}
    line=$(wine 'C:\bench\peak.exe' -o "$out" "C:\\$b\\NebCM.exe" -Unattended -Log "$log" \
      "C:\\sets\\$set.nds" </dev/null) ;;
  check-*) set=${what#check-}
    line=$(wine 'C:\bench\peak.exe' -o "$out" "C:\\$b\\nebpack.exe" check "C:\\sets\\$set.nds" \
      </dev/null) ;;
  esac
  exitcode=$(echo "$line" | awk '{ print $2 }')
  unix=$c/bench/logs/$r-$b-$what
  case $what in
  nebcm-*) result=$(grep -a 'Error:' "$unix.log" 2>/dev/null | head -n 1 | sed 's/.*Error: //' | tr -d '\r' | cut -c1-70) ;;
  check-*) result=$(head -n 1 "$unix.out" | tr -d '\r' | cut -c1-70) ;;
  esac
  printf '%s\n' "$r $b $what $line | ${result:--}" >>"$rows"
  echo "round $r $b $what: $line" >&2
  if [ "$exitcode" = 0 ]; then
    case $what in
    nebcm-tiny) remove=s0l0 ;;
    nebcm-mid) remove=s0l0,s0l50,s0l100,s0l150 ;;
    nebcm-big) remove=$(big_names) ;;
    *) remove= ;;
    esac
    if [ -n "$remove" ]; then
      wine 'C:\NEB20\NebCM.exe' -Unattended -Remove "$remove" </dev/null >/dev/null 2>&1 ||
        echo "big_install: removing after $b $what failed" >&2
    fi
  fi
}

r=1
while [ $r -le "$rounds" ]; do
  for what in $cases; do
    for b in old new; do
      run_case $r $b $what
    done
  done
  r=$((r + 1))
done
"$here/scripts/wine-prefix.sh" stop "$work/wine"

echo "calibration, a child that commits 200 MB, touches 100 MB and frees it (KiB):" \
  "$(echo "$calibration" | awk '{ print "highest peaks read " $3 " private, " $4 " working set;" \
    " largest current " $5 " private, " $6 " working set; last non-zero read " $9 ";" \
    " after the end " $8 }')"
echo "sets: $(cd "$work/sets" && ls -l tiny.nds mid.nds big.nds bomb.nds | awk '{ printf "%s %.3f GB  ", $9, $5 / 1e9 }')"
awk '
  { r = $1; b = $2; w = $3; split(w, p, "-"); key[NR] = r SUBSEP b SUBSEP w
    # Wine keeps no peak of the private bytes: the largest current value polled stands for it.
    sec[NR] = $4; code[NR] = $5; priv[NR] = $6 > $8 ? $6 : $8; ws[NR] = $7
    res = $0; sub(/^[^|]*\| /, "", res); text[NR] = res
    if (p[2] == "tiny") base[r, b, p[1]] = priv[NR]
    kind[NR] = p[1] }
  END {
    printf "%5s %5s %-10s %8s %4s %10s %10s %10s  %s\n", "round", "build", "case", "seconds",
           "exit", "priv MiB", "ws MiB", "+priv MiB", "result"
    for (i = 1; i <= NR; i++) {
      split(key[i], k, SUBSEP)
      printf "%5s %5s %-10s %8.2f %4s %10.1f %10.1f %10.1f  %s\n", k[1], k[2], k[3], sec[i],
             code[i], priv[i] / 1024, ws[i] / 1024, (priv[i] - base[k[1], k[2], kind[i]]) / 1024,
             text[i]
    }
  }' "$rows"
