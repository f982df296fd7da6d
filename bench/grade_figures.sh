#!/bin/bash
# Figures for kanvo-grade: a class of 30 programs (the test class's programs, copied under
# 30 names) graded against 3 test cases of about 200 waits each, compilation included;
# then the report of 10, 20 and 30 programs merged, to show report writing grows linearly.
#   bench/grade_figures.sh [BUILD_DIR]   (default build/plain)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/plain}" && pwd)
grade="$build/tools/grade/kanvo-grade"
class="$root/tests/tools/grade/class"
work=$(mktemp -d /tmp/kanvo-grade-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/class"
kinds=(correct wrong_colour radius missing extra order crash clock no_wait)
for i in $(seq -w 1 30); do
    kind=${kinds[$((10#$i % ${#kinds[@]}))]}
    if [ "$kind" = correct ]; then
        cp -r "$class/correct" "$work/class/p${i}_correct"
    else
        cp "$class/$kind.c" "$work/class/p${i}_$kind.c"
    fi
done
# Three scripts of about 200 events each.
{ echo "KANVO_PERIODIC(100);"; for i in $(seq 1 50); do echo "KANVO_MOUSE($((i * 7 - 200)), $((i * 3 - 100)));"; done; echo "KANVO_PERIODIC(49);"; } > "$work/a.SCR"
{ for i in $(seq 1 66); do echo "KANVO_MOUSE($((i * 5 - 150)), 20);"; echo "KANVO_PERIODIC(2);"; done; } > "$work/b.SCR"
{ echo "KANVO_PERIODIC(199);"; } > "$work/c.SCR"

load=$(cut -d' ' -f1 /proc/loadavg)
start=$(date +%s.%N)
/usr/bin/time -f '%U %S' -o "$work/cpu.txt" "$grade" --model "$class/model.c" --script "$work/a.SCR" --script "$work/b.SCR" --script "$work/c.SCR" \
    --report "$work/report" "$work"/class/* > "$work/grade.txt" || true
end=$(date +%s.%N)
waits=$(python3 -c "import json; d=json.load(open('$work/report/results.json')); print(', '.join(str(c['checkpoints']) for c in d['submissions'][0]['cases']))")
read -r user sys < <(tail -n 1 "$work/cpu.txt")
printf 'grading 30 programs x 3 test cases (%s waits), %s jobs: %.1f s (%.1f s of CPU time; load average before: %s)\n' \
    "$waits" "$(nproc)" "$(echo "$end - $start" | bc)" "$(echo "$user + $sys" | bc)" "$load"
grep -v '^report:' "$work/grade.txt" | awk '{print $2}' | sort | uniq -c | tr -s ' \n' ' '; echo

# Report writing: the class page and results from 10, 20 and 30 programs' results.
for n in 1 2 3; do
    shards=()
    for k in $(seq 1 $n); do
        mkdir -p "$work/shard$n-$k"
        python3 - "$work/report" "$work/shard$n-$k" "$k" <<'PY'
import json, os, shutil, sys
source, target, k = sys.argv[1], sys.argv[2], sys.argv[3]
data = json.load(open(os.path.join(source, "results.json")))
for sub in data["submissions"][:10]:
    old = os.path.dirname(sub["page"])
    sub["name"] += "-" + k
    sub["page"] = sub["page"].replace(old, old + "-" + k)
    sub["thumbnail"] = sub["thumbnail"].replace(old, old + "-" + k) if sub["thumbnail"] else ""
    shutil.copytree(os.path.join(source, old), os.path.join(target, old + "-" + k))
data["submissions"] = data["submissions"][:10]
shutil.copytree(os.path.join(source, "model"), os.path.join(target, "model"))
json.dump(data, open(os.path.join(target, "results.json"), "w"))
PY
        shards+=("$work/shard$n-$k")
    done
    start=$(date +%s.%N)
    "$grade" merge --report "$work/merged$n" "${shards[@]}" > /dev/null || true
    end=$(date +%s.%N)
    printf 'report of %d programs (merge, pages copied): %.2f s\n' $((n * 10)) "$(echo "$end - $start" | bc)"
done
