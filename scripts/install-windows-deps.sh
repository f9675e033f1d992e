#!/usr/bin/env bash
# Installs the Debian packages that `make windows-check` needs (the MinGW-w64
# cross compiler and Wine to run its programs), and does nothing when all of
# them are present. The other targets never need these.
set -euo pipefail
exec "$(dirname "$0")/install-deps.sh" g++-mingw-w64-x86-64-posix wine64 googletest cmake ninja-build
