#!/usr/bin/env bash
# Prints the peer benchmark's table: the median time per frame of every painter (Kanvo,
# cairo, QPainter with pen and brush, QPainter with the brush only, the floor), its ratio
# to Kanvo and to the floor, and the machine it ran on. The painters run interleaved in
# random order, REPETITIONS times each, in one process.
#   bench/peer_table.sh [BUILD_DIR] [REPETITIONS]      (default build/plain, 30)
# Times are processor time (the machines are shared: wall time also counts the waits for a
# core); the wall-time medians are printed beside them.
set -euo pipefail
build=${1:-build/plain}
repetitions=${2:-30}
bench="$build/bench/kanvo-peer-bench"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target kanvo-peer-bench)" >&2; exit 1; }
out=$(mktemp)
trap 'rm -f "$out"' EXIT

load_before=$(cut -d' ' -f1 /proc/loadavg)
"$bench" --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.05 --benchmark_report_aggregates_only=true \
  --benchmark_format=json >"$out"
load_after=$(cut -d' ' -f1 /proc/loadavg)

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")

python3 - "$out" "$repetitions" "$load_before" "$load_after" "$build_type" <<'EOF'
import json, platform, os, sys
path, repetitions, load_before, load_after, build_type = sys.argv[1:]
report = json.load(open(path))
medians = {}
for b in report["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    frame, painter = b["run_name"].split("/", 1)
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]]
    medians[(frame, painter)] = (b["cpu_time"] * scale, b["real_time"] * scale, int(b["shapes"]))
painters = ["kanvo", "cairo", "qpainter_pen_brush", "qpainter_brush", "floor"]
names = {"kanvo": "Kanvo", "cairo": "cairo, fill + 1-px outline",
         "qpainter_pen_brush": "QPainter, pen + brush", "qpainter_brush": "QPainter, brush only",
         "floor": "floor: one write of 601 × 540 pixels"}
print("| Frame | Painter | median time per frame | × Kanvo | × floor | (wall time) |")
print("|---|---|---:|---:|---:|---:|")
for frame in ["night", "busy"]:
    kanvo = medians[(frame, "kanvo")][0]
    floor = medians[(frame, "floor")][0]
    shapes = medians[(frame, "kanvo")][2]
    for p in painters:
        cpu, wall, _ = medians[(frame, p)]
        label = f"{frame} ({shapes} shapes)" if p == "kanvo" else ""
        print(f"| {label} | {names[p]} | {cpu:.1f} µs | {cpu / kanvo:.2f} | {cpu / floor:.2f} | {wall:.1f} µs |")
cpu_name = "unknown processor"
for line in open("/proc/cpuinfo"):
    if line.startswith("model name"):
        cpu_name = line.split(":", 1)[1].strip()
        break
print()
print(f"Machine: {cpu_name}, {os.cpu_count()} cores, {platform.system()} {platform.release()}; "
      f"{repetitions} interleaved repetitions, medians of processor time; "
      f"load average {load_before} before, {load_after} after (a shared machine); "
      f"{build_type} build.")
EOF
