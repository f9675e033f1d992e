#!/bin/sh
# Shows the editor on a virtual X display with examples/yard.KS, a sound track
# network with borders of every kind, and saves a picture of the window as
# docs/screenshot.png.
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
echo "wrote docs/screenshot.png"
