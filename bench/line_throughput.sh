#!/usr/bin/env bash
# The production line's throughput: kqm-update with one --port per station against
# tessalink-sim --stations N (test boxes, wire time emulated), 1, 2, 4 and 8 stations with the
# same number of modules each, measured in this one run:
#   1. modules per hour: the wall time of the kqm-update process from its start to the line's
#      end (--count = stations x modules), against one station;
#   2. CPU: user + system over wall of the whole kqm-update process, and of the simulator
#      apart (its devices' work is not the program's);
#   3. byte drift: per trace line the program sent, its time since the line before it (as in
#      bench/console_cpu.sh, the median over the rounds), each station of the widest line
#      against the one station (the console's own loop); every module is of the same kind, so
#      the schedules should match.
#
#   bench/line_throughput.sh
#
# Environment: BENCH_BUILD_DIR (build/bench), BENCH_STATIONS ("1 2 4 8"; the first is the
# reference, the last is the one whose CPU and drift are reported), BENCH_MODULES (3 per
# station), BENCH_ROUNDS (3; the station counts are run in turns, medians reported),
# BENCH_BAUD (115200), BENCH_SETUP_AFTER (300 ms).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BENCH_BUILD_DIR:-build/bench}
station_counts=${BENCH_STATIONS:-"1 2 4 8"}
modules=${BENCH_MODULES:-3}
rounds=${BENCH_ROUNDS:-3}
baud=${BENCH_BAUD:-115200}
setup_after=${BENCH_SETUP_AFTER:-300}

work=$(mktemp -d)
sim_pid=
kqm_pid=
stop() {  # stop PID: ends a process this script started and waits for it
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
cleanup() {
  stop "$kqm_pid"
  stop "$sim_pid"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

echo "Building kqm-update and tessalink-sim (Release) ..." >&2
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target kqm-update tessalink-sim -j 2 >/dev/null
kqm=$(realpath "$build/src/cli/kqm-update")
sim=$(realpath "$build/sim/tessalink-sim")

cp firmware/sample/Korvane_Quorvanta_Mobile_Module.txt firmware/sample/*.hex "$work/"
export XDG_CONFIG_HOME=$work/config
load=$(cut -d' ' -f1-3 /proc/loadavg)

# timed FILE COMMAND... &: runs the command as the wrapper's only child; FILE gets its user and
# system CPU and its wall time in seconds, to the microsecond. Only in the background: the
# subshell becomes the wrapper, so $! is the wrapper. A TERM or INT to the wrapper is passed on
# to the command, and the command gets a TERM should the wrapper die.
timed() {
  exec python3 -c '
import ctypes, resource, signal, subprocess, sys, time
def orphaned_ends():
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
start = time.monotonic()
child = subprocess.Popen(sys.argv[2:], preexec_fn=orphaned_ends)
for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
    signal.signal(number, lambda n, _: child.send_signal(n))
status = child.wait()
wall = time.monotonic() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
open(sys.argv[1], "w").write(f"{usage.ru_utime:.6f} {usage.ru_stime:.6f} {wall:.6f}\n")
sys.exit(status)' "$@"
}

# line STATIONS ROUND: one line of STATIONS stations with $modules modules each, every module
# with an ID of its own; times in $work/STATIONS-ROUND.{kqm,sim}, traces in
# $work/STATIONS-ROUND.trace.K.
line() {
  local stations=$1 round=$2 name=$work/$1-$2
  local sim_args=() ports=()
  for station in $(seq "$stations"); do
    for module in $(seq "$modules"); do
      sim_args+=(--module "$(printf 'id=%02d%04d,serial=00A2B3C4-%04X%04X,station=%d' \
        "$station" "$module" "$station" "$module" "$station")")
    done
    if [ "$stations" -eq 1 ]; then ports+=(--port "$work/tty"); else
      ports+=(--port "$work/tty-$station"); fi
  done
  timed "$name.sim" "$sim" --stations "$stations" --link "$work/tty" --baud "$baud" \
    --wire-time --setup-after "$setup_after" --exit-after-update --images "$name.images" \
    "${sim_args[@]}" >"$name.sim.out" 2>&1 &
  sim_pid=$!
  local port
  for port in "${ports[@]}"; do
    [ "$port" = --port ] && continue
    for _ in $(seq 100); do [ -e "$port" ] && break; sleep 0.05; done
  done
  timed "$name.kqm" "$kqm" "${ports[@]}" --firmware-dir "$work" --yes --baud "$baud" \
    --count $((stations * modules)) --trace "$name.trace" </dev/null >"$name.out" 2>&1 &
  kqm_pid=$!
  wait "$kqm_pid" || {
    echo "bench: the line of $stations stations failed:" >&2
    tail -5 "$name.out" >&2
    exit 1
  }
  kqm_pid=
  # One port is the console's own production loop, whose trace has no station number.
  [ "$stations" -eq 1 ] && mv "$name.trace" "$name.trace.1"
  # The simulator ends once every module is taken away and every port closed; should a module
  # stay (a failed update), it is stopped after 30 s.
  for _ in $(seq 300); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
  stop "$sim_pid"
  sim_pid=
  local updated
  updated=$(grep -l '^update-complete: yes' "$name.images"/*.txt 2>/dev/null | wc -l)
  if [ "$updated" -ne $((stations * modules)) ]; then
    echo "bench: $updated of $((stations * modules)) modules received their firmware" >&2
    exit 1
  fi
}

for round in $(seq "$rounds"); do
  for stations in $station_counts; do
    echo "Round $round of $rounds: $stations station(s), $modules modules each ..." >&2
    line "$stations" "$round"
  done
done

python3 - "$work" "$rounds" "$modules" "$baud" "$(nproc)" "$load" $station_counts <<'PYTHON'
import re, statistics, sys
work, rounds, modules, baud, cores, load = sys.argv[1:7]
rounds, modules = int(rounds), int(modules)
counts = [int(n) for n in sys.argv[7:]]
first, widest = counts[0], counts[-1]

def times(stations, program):
    """Per round: (user + system, wall) in seconds."""
    out = []
    for r in range(1, rounds + 1):
        user, system, wall = map(float, open(f"{work}/{stations}-{r}.{program}").read().split())
        out.append((user + system, wall))
    return out

def wall(stations):
    return statistics.median(w for _, w in times(stations, "kqm"))

def cpu(stations, program):
    runs = times(stations, program)
    return 100 * sum(c for c, _ in runs) / sum(w for _, w in runs)

def per_hour(stations):
    return 3600 * stations * modules / wall(stations)

goals = {4: 3.6, 8: 7.0}
print(f"\nMachine: nproc {cores}, load average {load} at the start")
print(f"Production line at {baud} baud: kqm-update --port ... --yes --baud {baud} --count N against")
print(f"tessalink-sim --stations S --wire-time (test boxes), {modules} modules per station,"
      f" {rounds} round(s) in turns")
print(f"  {'stations':>8} {'modules':>8} {'wall':>9} {'modules/h':>10} {'vs 1':>6} {'goal':>6}"
      f" {'kqm CPU':>8} {'sim CPU':>8}")
for n in counts:
    ratio = per_hour(n) / per_hour(first)
    goal = f">={goals[n]:g}" if n in goals else ""
    print(f"  {n:>8} {n * modules:>8} {wall(n):>7.1f} s {per_hour(n):>10.0f} {ratio:>6.2f}"
          f" {goal:>6} {cpu(n, 'kqm'):>7.1f}% {cpu(n, 'sim'):>7.1f}%")
print(f"  CPU = (user + system) / wall of the whole process, share of one core; kqm-update with"
      f" {widest} stations: {cpu(widest, 'kqm'):.1f} % (goal: under 25 %)")

line = re.compile(r'\[\s*(\d+) ms\] (->|<-) ')
def gaps(path):
    """Per trace line the program sent: milliseconds since the trace line before it."""
    stamps = [(int(m.group(1)), m.group(2)) for m in map(line.match, open(path, errors='replace')) if m]
    return [stamps[i][0] - stamps[i - 1][0] for i in range(1, len(stamps)) if stamps[i][1] == '->']

def medians(stations, station):
    """Per line sent, the median over the rounds; None when the rounds sent different lines."""
    rounds_gaps = [gaps(f"{work}/{stations}-{r}.trace.{station}") for r in range(1, rounds + 1)]
    if len({len(g) for g in rounds_gaps}) != 1:
        return None
    return [statistics.median(column) for column in zip(*rounds_gaps)]

reference = medians(first, 1)
drift, mismatched, worst = [], [], (0, "")
for station in range(1, widest + 1):
    station_gaps = medians(widest, station)
    if reference is None or station_gaps is None or len(station_gaps) != len(reference):
        mismatched.append(station)
        continue
    for i, (a, b) in enumerate(zip(station_gaps, reference)):
        drift.append(abs(a - b))
        if abs(a - b) > worst[0]:
            worst = (abs(a - b), f"station {station}, line {i + 1} sent: {a:g} ms after the line"
                     f" before it, {b:g} ms with one station")
print(f"Byte drift, each of the {widest} stations against the one station: per trace line sent, its"
      f" time since the line before it (median over the rounds): {len(drift)} lines")
if drift:
    print(f"  worst {max(drift):g} ms, median {statistics.median(drift):g} ms,"
          f" {sum(d >= 2 for d in drift)} moved by 2 ms or more (goal: under 2 ms; the trace has"
          f" 1 ms steps)")
    print(f"  the worst: {worst[1]}")
if mismatched:
    print(f"  not compared (lines sent differ from one station's): stations {mismatched}")
PYTHON
