#!/bin/sh
# Shows the editor on a virtual X display with examples/yard.KS, a sound track
# network with borders of every kind, and saves a picture of the window as
# docs/screenshot.png and one frame of its main view as docs/sample-frame.png.
# Usage: scripts/screenshot.sh [build folder]   (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
editor="$build/ui/kestedit"
[ -x "$editor" ] || { echo "no editor at $editor; build it first" >&2; exit 1; }
for tool in xvfb-run import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool (xvfb, imagemagick)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A loop with a passing siding, a start and a finish, and borders of every kind.
map=examples/yard.KS

xvfb-run -a -s "-noreset -screen 0 1200x900x24" sh -c "
  '$editor' '$map' &
  pid=\$!
  sleep 3
  import -window root '$work/screen.png'
  kill \$pid
" 
# The window sits at (129, 152) with no window manager to frame it.
convert "$work/screen.png" -crop 894x660+129+152 +repage -trim +repage docs/screenshot.png
# The main view (718 x 600) sits at (159, 1) below the menu bar, 18 pixels high here.
convert "$work/screen.png" -crop 718x600+288+171 +repage docs/sample-frame.png
echo "wrote docs/screenshot.png and docs/sample-frame.png"
