#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking,
# fuzzing and packaging the editor need (help2man makes the manual pages;
# lintian, desktop-file-validate and appstreamcli check the package), and
# does nothing when all of them are present.
# Given package names, it installs those instead, the same way.
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev cmake ninja-build make pkg-config
  qt6-base-dev qt6-translations-l10n libqt6svg6 libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core xvfb xauth x11-utils imagemagick
  help2man lintian desktop-file-utils appstream bash-completion
)
[[ $# -gt 0 ]] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
