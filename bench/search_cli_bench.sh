#!/usr/bin/env bash
# vimbrel-cli search, whole process, beside GNU grep on the same schedule file:
# a generated 3,000-station week (120 programmes a day, about 56 MB) packed by
# vimbrel-cli build, on tmpfs. Rounds are interleaved; each figure is the best
# wall time of ROUNDS runs, output to a file on the same file system (grep
# stops at the first match when its output is /dev/null, even with -c).
#
#   rare key   "15:50 电视剧：渴望（第1": a time, a drama and the first digit of
#              an episode: 31 programme lines of the week.
#   many key   "22:": the programmes from 22:00 to 22:55, 91,444 lines, the
#              hour closest to 88,663 lines that the generated week allows.
#   news key   "新闻": a Chinese word in many titles, whose bytes are spread
#              through the text.
#
# Rows: the rare key (ours lists 31 rows, grep -c counts them); the many and
# news keys in UTF-8 and with --gbk (beside grep printing the lines); --version,
# the cost of starting the process.
# VIMBREL_BENCH_DIR picks the file system (default /dev/shm); OLD_CLI adds a
# column for another vimbrel-cli (an earlier build) measured in the same run;
# a column "plain ms" gives ours under VIMBREL_CPU=plain, its plain key finder.
# Run: cmake --build build/bench && bench/search_cli_bench.sh [ROUNDS] [OLD_CLI]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-15}
old=${2:-}
bin=$PWD/build/bench/bin
dir=$(mktemp -d "${VIMBREL_BENCH_DIR:-/dev/shm}/vimbrel-search-bench-XXXXXX")
trap 'rm -rf "$dir"' EXIT
file=$dir/lastsch.sch

"$bin/vimbrel-sample" "$dir/stations" --stations 3000 --per-day 120
"$bin/vimbrel-cli" build "$dir/stations" "$file"
rm -rf "$dir/stations"
rare='15:50 电视剧：渴望（第1'
many='22:'
news='新闻'
newsGbk=$(printf '%s' "$news" | iconv -f UTF-8 -t GBK)
rareGbk=$(printf '%s' "$rare" | iconv -f UTF-8 -t GBK)
echo "schedule: $(stat -c %s "$file") bytes; rare key: $(LC_ALL=C grep -a -F -c -- "$rareGbk" \
  "$file") lines, many key: $(LC_ALL=C grep -a -F -c -- "$many" "$file") lines, news key: \
$(LC_ALL=C grep -a -F -c -- "$newsGbk" "$file") lines"

# Microseconds one command takes, its standard output going to $dir/out.
elapsed() {
  local start=$EPOCHREALTIME end
  "$@" > "$dir/out"
  end=$EPOCHREALTIME
  echo $((10#${end/./} - 10#${start/./}))
}

# Each row: ours (given the vimbrel-cli to run) and the peer's command.
names=("rare key, count" "many key, UTF-8" "many key, --gbk" "news key, UTF-8" "news key, --gbk"
  "start: --version")
ours0() { "$1" search "$file" "$rare"; }
peer0() { LC_ALL=C grep -a -F -c -- "$rareGbk" "$file"; }
ours1() { "$1" search "$file" "$many"; }
peer1() { LC_ALL=C grep -a -F -- "$many" "$file"; }
ours2() { "$1" --gbk search "$file" "$many"; }
peer2() { LC_ALL=C grep -a -F -- "$many" "$file"; }
ours3() { "$1" search "$file" "$news"; }
peer3() { LC_ALL=C grep -a -F -- "$newsGbk" "$file"; }
ours4() { "$1" --gbk search "$file" "$news"; }
peer4() { LC_ALL=C grep -a -F -- "$newsGbk" "$file"; }
ours5() { "$1" --version; }
peer5() { grep --version; }

declare -A best
keep() { if [ -z "${best[$1]:-}" ] || [ "$2" -lt "${best[$1]}" ]; then best[$1]=$2; fi; }
# One run of column $1 of row $2.
run() {
  case $1 in
  ours) keep "ours$2" "$(elapsed "ours$2" "$bin/vimbrel-cli")" ;;
  peer) keep "peer$2" "$(elapsed "peer$2")" ;;
  old) [ -z "$old" ] || keep "old$2" "$(elapsed "ours$2" "$old")" ;;
  plain) keep "plain$2" "$(VIMBREL_CPU=plain elapsed "ours$2" "$bin/vimbrel-cli")" ;;
  esac
}
# The columns take turns at going first: whatever runs first in a row pays
# for it (some milliseconds on a loaded machine).
columns=(ours peer old plain)
for round in $(seq "$rounds"); do
  for i in "${!names[@]}"; do
    for k in 0 1 2 3; do
      run "${columns[$(((round + k) % 4))]}" "$i"
    done
  done
done

ms() { awk -v us="$1" 'BEGIN {printf "%.1f", us / 1000}'; }
printf '%-18s %10s %10s %7s' work "ours ms" "peer ms" ratio
[ -z "$old" ] || printf ' %10s' "old ms"
printf ' %10s\n' "plain ms"
for i in "${!names[@]}"; do
  printf '%-18s %10s %10s %7s' "${names[$i]}" "$(ms "${best[ours$i]}")" "$(ms "${best[peer$i]}")" \
    "$(awk -v a="${best[ours$i]}" -v b="${best[peer$i]}" 'BEGIN {printf "%.2f", a / b}')"
  [ -z "$old" ] || printf ' %10s' "$(ms "${best[old$i]}")"
  printf ' %10s\n' "$(ms "${best[plain$i]}")"
done
echo "peer: LC_ALL=C grep -a -F [-c] KEY FILE > file (grep --version for the start)"
echo "goals: rare key at most grep's time; many key at most 1.5 x grep's, in both encodings"
