#!/usr/bin/env bash
# The console program's processor time per complete update, against a reference build of an
# earlier revision, measured in turns in this one run: kqm-update --yes --baud RATE against
# tessalink-sim with the wire time emulated, on a pseudo-terminal. Reports user + system CPU
# over wall time for each build, and how far each byte the program sends moves between the
# builds: per trace line, the median over the runs of its time since the line before it
# (a reply read or a byte sent), reference against current.
#
#   bench/console_cpu.sh [REFERENCE_REVISION]   (default: a2cbe70, the last busy-waiting one)
#
# Environment: BENCH_BUILD_DIR (build/bench), BENCH_RUNS (3 updates per build), BENCH_BAUD
# (115200).
set -euo pipefail
cd "$(dirname "$0")/.."
reference_revision=${1:-a2cbe70}
build=${BENCH_BUILD_DIR:-build/bench}
runs=${BENCH_RUNS:-3}
baud=${BENCH_BAUD:-115200}

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  git worktree remove --force "$work/reference" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "Building the current and the reference ($reference_revision) programs ..." >&2
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target kqm-update tessalink-sim -j "$(nproc)" >/dev/null
git worktree add --detach "$work/reference" "$reference_revision" >/dev/null 2>&1
cmake -S "$work/reference" -B "$work/reference-build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/reference-build" --target kqm-update -j "$(nproc)" >/dev/null
declare -A programs=(
  [reference]="$work/reference-build/src/cli/kqm-update"
  [current]="$(realpath "$build/src/cli/kqm-update")"
)
sim=$(realpath "$build/sim/tessalink-sim")

cp firmware/sample/Korvane_Quorvanta_Mobile_Module.txt firmware/sample/*.hex "$work/"
export XDG_CONFIG_HOME=$work/config

# timed FILE COMMAND...: runs the command; FILE gets its user and system CPU and its wall time
# in seconds, to the microsecond (the kernel's accounting of the child, not /usr/bin/time's
# hundredths).
timed() {
  python3 -c '
import os, subprocess, sys, time
start = time.monotonic()
status = subprocess.call(sys.argv[2:])
wall = time.monotonic() - start
import resource
child = resource.getrusage(resource.RUSAGE_CHILDREN)
open(sys.argv[1], "w").write(f"{child.ru_utime:.6f} {child.ru_stime:.6f} {wall:.6f}\n")
sys.exit(status)' "$@"
}

# One complete update by build $1, run $2: its times in $work/$1-$2.time, its trace beside.
update() {
  "$sim" --baud "$baud" --wire-time --setup-after 300 --exit-after-update \
    --link "$work/tty" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do [ -e "$work/tty" ] && break; sleep 0.05; done
  timed "$work/$1-$2.time" "${programs[$1]}" --port "$work/tty" \
    --firmware-dir "$work" --yes --baud "$baud" --trace "$work/$1-$2.trace" \
    </dev/null >"$work/$1-$2.out" 2>&1 || {
    echo "bench: the $1 program's update failed:" >&2
    tail -5 "$work/$1-$2.out" >&2
    exit 1
  }
  wait "$sim_pid" || true
  sim_pid=
  rm -f "$work/tty"
}

for run in $(seq "$runs"); do
  for build_name in reference current; do
    echo "Update $run of $runs by the $build_name program ..." >&2
    update "$build_name" "$run"
  done
done

cpu() {  # CPU over wall time of build $1, in per cent, over all its runs
  cat "$work/$1"-*.time | awk '{ cpu += $1 + $2; wall += $3 } END { printf "%.2f", 100 * cpu / wall }'
}
wall() {
  cat "$work/$1"-*.time | awk '{ wall += $3; n++ } END { printf "%.2f", wall / n }'
}

echo
echo "A complete update at $baud baud (kqm-update --yes --baud $baud against tessalink-sim"
echo "--wire-time), $runs updates per build in turns; CPU = (user + system) / wall"
printf '  %-32s %9s %10s\n' "" "CPU" "wall"
for build_name in reference current; do
  label=$build_name
  [ "$build_name" = reference ] && label="reference ($reference_revision)"
  printf '  %-32s %8s%% %8s s\n' "$label" "$(cpu "$build_name")" "$(wall "$build_name")"
done
echo "  ratio current / reference: $(awk -v a="$(cpu current)" -v b="$(cpu reference)" \
  'BEGIN { printf "%.4f", a / b }')"

python3 - "$work" "$runs" <<'PYTHON'
import re, statistics, sys
work, runs = sys.argv[1], int(sys.argv[2])
line = re.compile(r'\[\s*(\d+) ms\] (->|<-) ')

def gaps(path):
    """Per byte-run the program sent: milliseconds since the trace line before it."""
    stamps = [(int(m.group(1)), m.group(2)) for m in map(line.match, open(path, errors='replace')) if m]
    return [stamps[i][0] - stamps[i - 1][0] for i in range(1, len(stamps)) if stamps[i][1] == '->']

def columns(build):
    runs_gaps = [gaps(f"{work}/{build}-{run}.trace") for run in range(1, runs + 1)]
    if len({len(g) for g in runs_gaps}) != 1:
        sys.exit(f"bench: the {build} runs sent their bytes in different runs of lines")
    return list(zip(*runs_gaps))

def medians(build):
    return [statistics.median(column) for column in columns(build)]

def sent(build):
    hex_bytes = re.compile(r'\[\s*\d+ ms\] -> ((?:[0-9A-F]{2} )+)')
    return ''.join(m.group(1) for m in map(hex_bytes.match, open(f"{work}/{build}-1.trace")) if m)

if sent('reference') != sent('current'):
    sys.exit("bench: the builds sent different bytes")
reference, current = medians('reference'), medians('current')
if len(reference) != len(current):
    sys.exit("bench: the builds sent their bytes in different runs of lines")
drift = [abs(a - b) for a, b in zip(reference, current)]
print(f"  Bytes sent: the same, {len(drift)} runs of bytes; per run, the median time since the line")
print(f"  before it moved by at most {max(drift):g} ms (mean {statistics.mean(drift):.2f} ms);"
      f" {sum(d > 2 for d in drift)} moved by more than 2 ms")
# Where the devices' own timing makes a line wander: the spread of the reference's own runs.
spread = [max(c) - min(c) for c in columns('reference')]
for i, d in enumerate(drift):
    if d > 2:
        print(f"    line {i + 1}: moved {d:g} ms; the reference's own runs spread {spread[i]:g} ms there")
PYTHON
