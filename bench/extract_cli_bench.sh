#!/usr/bin/env bash
# Extracting one stored (method 0) 64 MB entry, whole process, beside 7-Zip
# (`7zz x`) and libarchive (`bsdtar -xf`) on the same archive (Info-ZIP
# `zip -0`), interleaved, ROUNDS times each; prints each tool's best and median
# wall time and its ratio to ours. `vimbrel-cli --version` is timed too: the
# start-up every run pays. Each run writes into a fresh, empty folder; the
# folder is removed outside the timing. VIMBREL_BENCH_DIR picks the file system
# (default /dev/shm, so that no disk is timed); VIMBREL_BASELINE names another
# vimbrel-cli (an older build) to time beside them. Ours runs once more under
# VIMBREL_CPU=avx2 and =plain: the CRC-32 folds of the level below AVX-512,
# and the tables alone.
# Run: cmake --build build/bench && bench/extract_cli_bench.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-15}
cli=$PWD/build/bench/bin/vimbrel-cli
dir=$(mktemp -d "${VIMBREL_BENCH_DIR:-/dev/shm}/vimbrel-extract-bench-XXXXXX")
trap 'rm -rf "$dir"' EXIT

# Deterministic bytes that no tool could skip: a stored entry is copied as is.
python3 - "$dir/showtime.dat" <<'EOF'
import random, sys
random.seed(17)
with open(sys.argv[1], "wb") as f:
    f.write(random.randbytes(64 << 20))
EOF
(cd "$dir" && zip -q -0 stored.zip showtime.dat && rm showtime.dat)

python3 - "$dir" "$rounds" "$cli" "${VIMBREL_BASELINE:-}" <<'EOF'
import os, shutil, statistics, subprocess, sys, time

dir, rounds, cli, baseline = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
archive = os.path.join(dir, "stored.zip")
out = os.path.join(dir, "out")
tools = {
    "vimbrel-cli extract": [cli, "extract", archive, out],
    "7zz x": ["7zz", "x", "-y", "-o" + out, archive],
    "bsdtar -xf": ["bsdtar", "-xf", archive, "-C", out],
    "vimbrel-cli --version": [cli, "--version"],
    "ours, VIMBREL_CPU=avx2": [cli, "extract", archive, out],
    "ours, VIMBREL_CPU=plain": [cli, "extract", archive, out],
}
if baseline:
    tools["baseline extract"] = [baseline, "extract", archive, out]
times = {name: [] for name in tools}
for _ in range(rounds):
    for name, command in tools.items():
        shutil.rmtree(out, ignore_errors=True)
        os.mkdir(out)
        start = time.perf_counter()
        env = dict(os.environ, VIMBREL_CPU=name.split("VIMBREL_CPU=")[1]) if "CPU=" in name else None
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, env=env)
        times[name].append(time.perf_counter() - start)
        if "--version" not in name and os.path.getsize(os.path.join(out, "showtime.dat")) != 64 << 20:
            sys.exit(name + ": wrong output size")
shutil.rmtree(out, ignore_errors=True)

ours = min(times["vimbrel-cli extract"])
print(f"{'command':<24}{'best ms':>9}{'median ms':>11}{'ours/it':>9}")
for name, t in times.items():
    print(f"{name:<24}{min(t) * 1e3:9.1f}{statistics.median(t) * 1e3:11.1f}{ours / min(t):9.2f}")
print("goal: vimbrel-cli extract at most the fastest peer (best of", rounds, "each)")
EOF
