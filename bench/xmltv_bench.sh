#!/usr/bin/env bash
# The guide converter, whole process, beside xmllint --noout --stream on the
# same generated guide (1,500 channels, 199,500 programmes, about 40 MB of
# UTF-8 XMLTV), interleaved, ROUNDS times each; prints each tool's median wall
# time, CPU time (user + system) and peak memory. The converter reads on one
# thread and packs station files on another, so its wall time needs a second
# core that other work leaves free.
# VIMBREL_BENCH_DIR picks the file system (default /tmp).
# Run: cmake --build build/bench && bench/xmltv_bench.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-9}
bin=build/bench/bin
dir=$(mktemp -d "${VIMBREL_BENCH_DIR:-/tmp}/vimbrel-xmltv-bench-XXXXXX")
trap 'rm -rf "$dir"' EXIT
guide=$dir/guide.xml

"$bin/vimbrel-sample-guide" "$guide"
size=$(stat -c %s "$guide")
echo "guide: $size bytes, $(grep -c '<programme ' "$guide") programmes"

# One run: "seconds kilobytes cpu-seconds" of the command.
measure() {
  /usr/bin/time -f '%e %M %U %S' -o "$dir/time" "$@" > /dev/null
  awk '{printf "%s %s %.2f\n", $1, $2, $3 + $4}' "$dir/time"
}

: > "$dir/xmllint" && : > "$dir/vimbrel"
for _ in $(seq "$rounds"); do
  measure xmllint --noout --stream "$guide" >> "$dir/xmllint"
  measure "$bin/vimbrel-cli" xmltv "$guide" "$dir/showtime.zip" --from 2005-03-14 >> "$dir/vimbrel"
done

median() { sort -n -k"$2" "$1" | awk -v k="$2" '{v[NR]=$k} END {print v[int((NR+1)/2)]}'; }
for tool in xmllint vimbrel; do
  printf '%-8s median %s s (CPU %s s), peak memory %s KB\n' "$tool" "$(median "$dir/$tool" 1)" \
    "$(median "$dir/$tool" 3)" "$(median "$dir/$tool" 2)"
done
echo "goals: vimbrel at most xmllint's time; peak memory under $((3 * size / 1024)) KB (3x the guide)"
