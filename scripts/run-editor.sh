#!/usr/bin/env bash
# Starts the editor built in the given folder with the given arguments, after
# checking that there is a display to show it on: without one, Qt would abort
# with "could not connect to display" and a page of plugin advice.
# Usage: scripts/run-editor.sh BUILD-FOLDER [map.ks]
set -euo pipefail
editor="$1/ui/kestedit"
shift
[[ -x "$editor" ]] || { echo "run-editor: no editor at $editor" >&2; exit 1; }

# QT_QPA_PLATFORM chooses the platform itself (offscreen, vnc...): trust it.
if [[ -z "${QT_QPA_PLATFORM:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  hint="run it on a virtual one: Xvfb :98 -noreset & DISPLAY=:98 make run"
  if [[ -z "${DISPLAY:-}" ]]; then
    echo "make run: no display to show the editor on (DISPLAY is not set); $hint" >&2
    exit 1
  fi
  # A local display ":N" has its socket in /tmp/.X11-unix; looking for it
  # opens no connection, so it cannot disturb the server.
  if [[ "$DISPLAY" =~ ^(unix)?:([0-9]+)(\.[0-9]+)?$ && ! -S "/tmp/.X11-unix/X${BASH_REMATCH[2]}" ]]; then
    echo "make run: no X server listens on display $DISPLAY; $hint" >&2
    exit 1
  fi
fi
exec "$editor" "$@"
