#!/usr/bin/env bash
# How much of a core the editor uses while it sits idle with a large map open:
# starts it on a virtual X display with a map of ELEMENTS elements (default
# 1,000,000, half borders, half rails, spread over the world), waits until it
# has loaded and drawn, then reads its CPU time from /proc over SECONDS
# seconds (default 10) and prints the share of one core.
# Usage: scripts/idle-cpu.sh [build folder]   (default: build-release, a Release build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
editor="$build/ui/kestedit"
elements=${ELEMENTS:-1000000}
seconds=${SECONDS_IDLE:-10}
[[ -x "$editor" ]] || { echo "no editor at $editor; build it first (cmake -DCMAKE_BUILD_TYPE=Release)" >&2; exit 1; }
for tool in Xvfb xwininfo python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (xvfb, x11-utils, python3)" >&2; exit 1; }
done

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -noreset -screen 0 1200x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
editor_pid=
trap '[[ -n $editor_pid ]] && kill $editor_pid 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done

python3 - "$work/large.ks" "$elements" <<'PY'
import random, struct, sys
random.seed(1)
n = int(sys.argv[2]) // 2
def seg():
    x, y = random.randrange(0, 9900), random.randrange(0, 9900)
    return x, y, x + random.randrange(10, 100), y + random.randrange(10, 100)
out = [struct.pack('<i', n)]
out += [struct.pack('<4H', *seg()) + bytes([255, 128, 0, random.randrange(4)]) for _ in range(n)]
out.append(struct.pack('<i', n))
out += [struct.pack('<4H', *seg()) for _ in range(n)]
out.append(struct.pack('<ii', 0, 1))
open(sys.argv[1], 'wb').write(b''.join(out))
PY

"$editor" "$work/large.ks" >/dev/null 2>&1 &
editor_pid=$!
# Loaded and drawn once the caption names the map.
for _ in $(seq 600); do
  xwininfo -root -tree 2>/dev/null | grep -q "Редактор карт - large" && break
  sleep 0.05
done
sleep 2
ticks() { awk '{ print $14 + $15 }' "/proc/$editor_pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
python3 -c "import sys; used=($after-$before)/$hz; print(f'idle CPU with {$elements} elements over $seconds s: {100*used/$seconds:.2f} % of one core ({used:.2f} s)')"
