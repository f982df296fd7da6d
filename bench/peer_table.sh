#!/usr/bin/env bash
# Prints the peer benchmark's table over many landscape frames: for each frame (a full
# redraw, the clear included) Kanvo's median time, the fastest peer's (cairo, QPainter with
# pen and brush, QPainter with the brush only), the ratio, and two floors: one write of
# the surface, and the frame's own pixel writes (every pixel its steps cover, overdraw
# included) at the same speed; then the median and the worst frame.
#   bench/peer_table.sh [BUILD_DIR] [REPETITIONS] [SEEDS]      (default build/plain, 15, 4)
# The frames come from kanvo-make-frames --seeds SEEDS (six scenarios a seed, plus the two
# of bench/frames). The painters run interleaved in random order, REPETITIONS times each,
# in one process. Times are processor time (the machines are shared: wall time also
# counts the waits for a core).
set -euo pipefail
build=${1:-build/plain}
repetitions=${2:-15}
seeds=${3:-4}
bench="$build/bench/kanvo-peer-bench"
make_frames="$build/bench/kanvo-make-frames"
for tool in "$bench" "$make_frames"; do
  [ -x "$tool" ] || { echo "build $tool first (cmake --build $build)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$make_frames" --seeds "$seeds" "$work" >/dev/null
load_before=$(cut -d' ' -f1 /proc/loadavg)
"$bench" --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.02 --benchmark_format=json "$work"/*.txt >"$work/report.json"
load_after=$(cut -d' ' -f1 /proc/loadavg)

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")

python3 - "$work/report.json" "$repetitions" "$load_before" "$load_after" "$build_type" <<'PY'
import json, platform, os, statistics, sys
path, repetitions, load_before, load_after, build_type = sys.argv[1:]
report = json.load(open(path))
median, least, spread, shapes, writes, order = {}, {}, {}, {}, {}, []
times = {}
for b in report["benchmarks"]:
    frame, painter = b["run_name"].split("/", 1)
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]]
    if b.get("run_type") == "iteration":
        times.setdefault((frame, painter), []).append(b["cpu_time"] * scale)
        shapes[frame] = int(b["shapes"])
        writes[frame] = int(b["pixel_writes"])
        if frame not in order:
            order.append(frame)
    elif b.get("aggregate_name") == "cv":
        spread[(frame, painter)] = b["cpu_time"]
for key, values in times.items():
    median[key] = statistics.median(values)
    least[key] = min(values)
peers = {"cairo": "cairo", "qpainter_pen_brush": "QPainter pen+brush",
         "qpainter_brush": "QPainter brush"}
surface = 601 * 540
def frame_key(frame):
    scenario, _, seed = frame.rpartition("-")
    return (scenario, int(seed)) if seed.isdigit() else ("", 0, frame)
order.sort(key=frame_key)
def ratios_by(times, frame):
    kanvo = times[(frame, "kanvo")]
    peer = min(peers, key=lambda p: times[(frame, p)])
    return peer, times[(frame, peer)] / kanvo, kanvo / times[(frame, "pixel_writes")]
rows = []
print("| Frame | shapes | Kanvo | fastest peer | × Kanvo | surface floor | own floor (surfaces) | Kanvo ÷ own floor |")
print("|---|---:|---:|---|---:|---:|---:|---:|")
for frame in order:
    kanvo = median[(frame, "kanvo")]
    peer, faster, above_floor = ratios_by(median, frame)
    fastest = median[(frame, peer)]
    floor = median[(frame, "floor")]
    own = median[(frame, "pixel_writes")]
    rows.append((faster, above_floor))
    print(f"| {frame} | {shapes[frame]} | {kanvo:.1f} µs | {peers[peer]} {fastest:.1f} µs "
          f"| {faster:.2f} | {floor:.1f} µs | {own:.1f} µs ({writes[frame] / surface:.2f}) "
          f"| {above_floor:.2f} |")
ratios = [r for r, _ in rows]
floors = [f for _, f in rows]
print(f"| **median** of {len(rows)} | | | | {statistics.median(ratios):.2f} | | | {statistics.median(floors):.2f} |")
print(f"| **worst** | | | | {min(ratios):.2f} | | | {max(floors):.2f} |")
# The least disturbed repetition of every painter (the fastest of each): bursts of load
# on a shared machine lift medians unevenly, and the minimum is what each painter takes
# when nothing else runs.
least_rows = [ratios_by(least, frame)[1:] for frame in order]
print(f"| **least disturbed**: median, worst | | | | {statistics.median(r for r, _ in least_rows):.2f}, "
      f"{min(r for r, _ in least_rows):.2f} | | | {statistics.median(f for _, f in least_rows):.2f}, "
      f"{max(f for _, f in least_rows):.2f} |")
noise = sorted(100 * v for v in spread.values())
cpu_name = "unknown processor"
for line in open("/proc/cpuinfo"):
    if line.startswith("model name"):
        cpu_name = line.split(":", 1)[1].strip()
        break
print()
print(f"Machine: {cpu_name}, {os.cpu_count()} cores, {platform.system()} {platform.release()}; "
      f"{repetitions} interleaved repetitions, medians of processor time; "
      f"load average {load_before} before, {load_after} after (a shared machine); "
      f"{build_type} build. Spread of the repetitions (coefficient of variation): median "
      f"{statistics.median(noise):.1f} %, largest {noise[-1]:.1f} %.")
PY
