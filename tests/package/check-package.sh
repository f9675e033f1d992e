#!/usr/bin/env bash
# Checks a Debian package of the editor: unpacks it with dpkg-deb into a
# temporary folder, looks for every file a desktop needs, checks that the
# desktop entry names files the package holds, and runs the unpacked kestmap.
# Usage: check-package.sh FILE.deb
#        check-package.sh --build BUILD-FOLDER   (makes the package with cpack first)
set -euo pipefail

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

if [[ "${1:-}" == "--build" ]]; then
  # Installing builds nothing here (CMAKE_SKIP_INSTALL_ALL_DEPENDENCY): the
  # package holds what the build folder holds. Uncompressed and without
  # dpkg-shlibdeps (8 of its 11 seconds here), it is made in a second or two; the
  # package of `make package` has both, and its Depends is checked in full.
  cpack --config "$2/CPackConfig.cmake" -B "$work/out" -D CPACK_DEBIAN_COMPRESSION_TYPE=none \
    -D CPACK_DEBIAN_PACKAGE_SHLIBDEPS=OFF >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
  needed_libraries=(libqt6svg6)
  debs=("$work"/out/*.deb)
  deb=${debs[0]}
else
  deb=${1:?usage: check-package.sh FILE.deb | --build BUILD-FOLDER}
  needed_libraries=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6)
fi
[[ -f "$deb" ]] || fail "no package at $deb"

[[ "$(dpkg-deb -f "$deb" Package)" == kestedit ]] || fail "the package is not named kestedit"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in "${needed_libraries[@]}"; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
for file in usr/bin/kestedit usr/bin/kestmap; do
  [[ -x "$root/$file" ]] || fail "no program $file"
done
desktop="$root/usr/share/applications/kestedit.desktop"
mime="$root/usr/share/mime/packages/kestedit.xml"
icon="$root/usr/share/icons/hicolor/scalable/apps/kestedit.svg"
for file in "$desktop" "$mime" "$icon"; do
  [[ -s "$file" ]] || fail "no file ${file#"$root"/}"
done

# The desktop entry starts a program of the package, shows its icon and offers
# it for the type the MIME file declares.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
mime_type=$(sed -n 's/^MimeType=\([^;]*\);*/\1/p' "$desktop")
[[ -x "$root/usr/bin/$exec_name" ]] || fail "the desktop entry starts '$exec_name', which the package lacks"
[[ "$icon_name" == "$(basename "$icon" .svg)" ]] || fail "the desktop entry's icon '$icon_name' is not the package's"
grep -q "<mime-type type=\"$mime_type\">" "$mime" || fail "the MIME file does not declare '$mime_type'"
grep -q '<glob pattern="\*.ks"/>' "$mime" || fail "the MIME file does not claim *.ks"
grep -q '<svg' "$icon" || fail "the icon is not an SVG"

version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/kestmap" --version) ||
  fail "the unpacked kestmap --version failed"
[[ "$version" == "kestmap $(dpkg-deb -f "$deb" Version)" ]] || fail "kestmap --version says '$version'"
echo "check-package: $(basename "$deb") holds the programs, desktop entry, MIME type and icon; $version"
