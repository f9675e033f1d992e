#!/bin/sh
# Shows the editor on a virtual X display with a sample map of rails and every
# border kind, and saves a picture of the window as docs/screenshot.png.
# Usage: scripts/screenshot.sh [build folder]   (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
editor="$build/ui/kestedit"
[ -x "$editor" ] || { echo "no editor at $editor; build it first" >&2; exit 1; }
for tool in xvfb-run import convert python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (xvfb, imagemagick, python3)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
map="$work/sample.ks"

# A loop of rails with a start and a finish, a branch, and one border of each kind.
python3 - "$map" <<'PY'
import struct, sys
def border(x1, y1, x2, y2, color, kind):
    return struct.pack('<4H', x1, y1, x2, y2) + struct.pack('<I', color)[:3] + bytes([kind])
def rail(x1, y1, x2, y2):
    return struct.pack('<4H', x1, y1, x2, y2)
loop = [(150, 150), (450, 120), (620, 250), (600, 450), (380, 540), (160, 430)]
rails = [rail(*loop[i], *loop[(i + 1) % len(loop)]) for i in range(len(loop))]
rails.append(rail(450, 120, 560, 60))
borders = [border(60, 60, 300, 40, 0x0000FF, 0), border(40, 100, 60, 560, 0x00FF00, 1),
           border(680, 80, 690, 560, 0xFF8800, 2), border(220, 580, 660, 590, 0x00FFFF, 3),
           border(250, 250, 420, 300, 0xFFFFFF, 1)]
data = struct.pack('<i', len(borders)) + b''.join(borders)
data += struct.pack('<i', len(rails)) + b''.join(rails) + struct.pack('<ii', 0, 3)
open(sys.argv[1], 'wb').write(data)
PY

xvfb-run -a -s "-screen 0 1200x900x24" sh -c "
  '$editor' '$map' &
  pid=\$!
  sleep 3
  import -window root '$work/screen.png'
  kill \$pid
" 
# The window sits at (129, 152) with no window manager to frame it.
convert "$work/screen.png" -crop 894x660+129+152 +repage -trim +repage docs/screenshot.png
echo "wrote docs/screenshot.png"
