#!/usr/bin/env bash
# Builds the standard-library core and its Qt-free tests for Windows with
# MinGW-w64 and runs them under Wine, so the Windows branches of the file code
# (wide-character opens, names with '\', files that another program holds)
# run somewhere. Installs the cross compiler and Wine first when missing.
# Usage: scripts/windows-check.sh   (BUILD_WINDOWS=build-windows, JOBS=2)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-windows-deps.sh

build=${BUILD_WINDOWS:-build-windows}
jobs=${JOBS:-2}
wine=/usr/lib/wine/wine64
[[ -x "$wine" ]] || wine=$(command -v wine64 || true)
[[ -n "$wine" ]] || { echo "windows-check: no wine64 found" >&2; exit 1; }

if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S windows -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/windows/mingw-w64-x86_64.cmake"
fi
cmake --build "$build" -j "$jobs"

# A prefix of our own, made on the first run (several seconds), without
# asking for Mono or Gecko and without Wine's chatter.
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
# Windows refuses to delete a read-only file, so the scratch folder of the
# test that loads one outlives it; Wine reuses process ids, and the next run's
# folder of the same name would not start empty.
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/kest-test-*
"$wine" "$build/test_core_windows.exe" --gtest_brief=1 "$@"
