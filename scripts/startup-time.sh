#!/usr/bin/env bash
# Time from starting the editor process to its first drawn frame, on a
# virtual X display: the window caption "Редактор карт - ..." is set by the
# first redraw tick, right after the frame is drawn, so the script polls the
# window tree for it. Prints the median of RUNS starts, for an empty map,
# a map of 100k elements, and maps of 1M and 10M rails (rows of 10-unit rails
# joined end to start, 1000 to a row), with the editor's peak memory for those.
# Usage: scripts/startup-time.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
editor="$build/ui/kestedit"
runs=${RUNS:-7}
[[ -x "$editor" ]] || { echo "no editor at $editor; build it first" >&2; exit 1; }
for tool in Xvfb xwininfo python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (xvfb, x11-utils, python3)" >&2; exit 1; }
done

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1200x900x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done

# 50k borders and 50k rails spread over the world.
python3 - "$work/large.ks" <<'PY'
import random, struct, sys
random.seed(1)
def seg():
    x, y = random.randrange(0, 9900), random.randrange(0, 9900)
    return x, y, x + random.randrange(10, 100), y + random.randrange(10, 100)
n = 50000
out = [struct.pack('<i', n)]
for _ in range(n):
    out.append(struct.pack('<4H', *seg()) + bytes([255, 128, 0, random.randrange(4)]))
out.append(struct.pack('<i', n))
for _ in range(n):
    out.append(struct.pack('<4H', *seg()))
out.append(struct.pack('<ii', 0, 1))
open(sys.argv[1], 'wb').write(b''.join(out))
PY

# Rows of 10-unit rails joined end to start, 1000 to a row.
python3 - "$work" <<'PY'
import struct, sys
row = 1000
for n, name in ((1000000, 'rails1M.ks'), (10000000, 'rails10M.ks')):
    with open(sys.argv[1] + '/' + name, 'wb') as f:
        f.write(struct.pack('<ii', 0, n))
        for r in range(n // row):
            y = 1 + r % 9999
            f.write(b''.join(struct.pack('<4H', 10 * k, y, 10 * k + 10, y) for k in range(row)))
        f.write(struct.pack('<ii', 0, n - 1))
PY

# Milliseconds from the start of the process to the first caption; with
# PEAK set, also the process's peak memory so far in MB.
first_frame() {
  local start end pid
  start=$(date +%s%N)
  "$editor" "$@" >/dev/null 2>&1 &
  pid=$!
  until xwininfo -root -tree 2>/dev/null | grep -q 'Редактор карт - '; do
    kill -0 $pid 2>/dev/null || { echo "the editor ended early" >&2; exit 1; }
  done
  end=$(date +%s%N)
  local peak=
  [[ -n ${PEAK:-} ]] && peak=" $(awk '/VmHWM/ {print int($2 / 1024)}' /proc/$pid/status)"
  kill $pid; wait $pid 2>/dev/null || true
  echo "$(((end - start) / 1000000))$peak"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

"$editor" >/dev/null 2>&1 & warm=$!; sleep 1; kill $warm; wait $warm 2>/dev/null || true
empty=$(for _ in $(seq "$runs"); do first_frame; done | median)
large=$(for _ in $(seq "$runs"); do first_frame "$work/large.ks"; done | median)
echo "first frame, empty map:        $empty ms (median of $runs)"
echo "first frame, 100k-element map: $large ms (median of $runs)"
for size in 1M 10M; do
  times=$(for _ in $(seq "$runs"); do PEAK=1 first_frame "$work/rails$size.ks"; done)
  ms=$(awk '{print $1}' <<<"$times" | median)
  mb=$(awk '{print $2}' <<<"$times" | median)
  echo "first frame, $size-rail map: $ms ms, peak memory at it $mb MB (medians of $runs)"
done
