#!/usr/bin/env bash
# vimbrel-cli now, whole process, beside vimbrel-cli search for a key found
# nowhere (one pass over every station's text) on the same schedule: a
# generated week of 1,500 stations with 19 programmes a day (199,500 rows,
# about 4.8 MB), packed by vimbrel-cli build, on tmpfs. Rounds are
# interleaved; each figure is the best wall time of ROUNDS runs, output to a
# file on the same file system.
# Goal: now at most 3 x the search.
# VIMBREL_BENCH_DIR picks the file system (default /dev/shm).
# Run: cmake --build build/bench && bench/now_cli_bench.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-15}
bin=$PWD/build/bench/bin
dir=$(mktemp -d "${VIMBREL_BENCH_DIR:-/dev/shm}/vimbrel-now-bench-XXXXXX")
trap 'rm -rf "$dir"' EXIT
file=$dir/lastsch.sch

"$bin/vimbrel-sample" "$dir/stations" --stations 1500 --per-day 19 --monday 2026-12-07
"$bin/vimbrel-cli" build "$dir/stations" "$file"
rm -rf "$dir/stations"
echo "schedule: $(stat -c %s "$file") bytes, $("$bin/vimbrel-cli" list "$file" | wc -l) stations"

elapsed() {
  local start=$EPOCHREALTIME end
  "$@" > "$dir/out"
  end=$EPOCHREALTIME
  echo $((10#${end/./} - 10#${start/./}))
}

names=("now, mid-week" "now --gbk" "now, after the week")
ours0() { "$bin/vimbrel-cli" now "$file" --at "2026-12-10 20:30"; }
ours1() { "$bin/vimbrel-cli" --gbk now "$file" --at "2026-12-10 20:30"; }
ours2() { "$bin/vimbrel-cli" now "$file" --at "2027-01-01 00:00"; }
peer() { "$bin/vimbrel-cli" search "$file" "不在任何节目里"; }

declare -A best
keep() { if [ -z "${best[$1]:-}" ] || [ "$2" -lt "${best[$1]}" ]; then best[$1]=$2; fi; }
for _ in $(seq "$rounds"); do
  for i in "${!names[@]}"; do
    keep "ours$i" "$(elapsed "ours$i")"
  done
  keep peer "$(elapsed peer)"
done

ms() { awk -v us="$1" 'BEGIN {printf "%.1f", us / 1000}'; }
printf '%-20s %10s %10s %7s\n' work "now ms" "search ms" ratio
for i in "${!names[@]}"; do
  printf '%-20s %10s %10s %7s\n' "${names[$i]}" "$(ms "${best[ours$i]}")" "$(ms "${best[peer]}")" \
    "$(awk -v a="${best[ours$i]}" -v b="${best[peer]}" 'BEGIN {printf "%.2f", a / b}')"
done
echo "peer: vimbrel-cli search FILE KEY for a key in no programme line"
echo "goal: now at most 3 x the search"
