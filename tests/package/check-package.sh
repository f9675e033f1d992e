#!/usr/bin/env bash
# Checks a Debian package of the editor: unpacks it with dpkg-deb into a
# temporary folder, looks for every file a desktop needs, checks that the
# desktop entry names files the package holds, validates the desktop entry and
# the AppStream metainfo, checks that the manual pages say what the programs'
# --help says and that bash completes kestmap's commands and options, and runs
# the unpacked programs. Given a FILE.deb (`make package`), lintian must find
# no error and no warning in it.
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
  lint=no
else
  deb=${1:?usage: check-package.sh FILE.deb | --build BUILD-FOLDER}
  needed_libraries=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6)
  lint=yes
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
metainfos=("$root"/usr/share/metainfo/*.metainfo.xml)
metainfo=${metainfos[0]}
completion="$root/usr/share/bash-completion/completions/kestmap"
doc="$root/usr/share/doc/kestedit"
for file in "$desktop" "$mime" "$icon" "$metainfo" "$completion" "$doc/copyright" "$doc/changelog.gz" \
  "$root/usr/share/man/man1/kestedit.1.gz" "$root/usr/share/man/man1/kestmap.1.gz"; do
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

grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
  fail "the metainfo does not launch the package's desktop entry"

# The validators: any complaint at all fails.
report=$(desktop-file-validate "$desktop" 2>&1) && [[ -z "$report" ]] || fail "desktop-file-validate: $report"
report=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli validate: $report"

run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$@"; }
package_version=$(dpkg-deb -f "$deb" Version)
for program in kestedit kestmap; do
  version=$(run "$program" --version) || fail "the unpacked $program --version failed"
  [[ "$version" == "$program $package_version" ]] || fail "$program --version says '$version'"
  help=$(run "$program" --help) || fail "the unpacked $program --help failed"
  # The page as plain words: no comments, requests or font changes, and
  # every run of blanks and line breaks one space; so is each line of --help.
  page=$(zcat "$root/usr/share/man/man1/$program.1.gz")
  [[ "$page" == *".TH ${program^^} \"1\" \""*"\" \"$version\""* ]] || fail "$program.1 is not the page of $version"
  words=$(grep -v '^\.\\"' <<<"$page" | sed -e 's/\\f[BIRP]//g' -e 's/\\[,/]//g' -e 's/\\-/-/g' \
    -e 's/^\.[A-Z]*\( \|$\)//' | tr -s ' \n' '  ')
  while IFS= read -r line; do
    line=$(tr -s ' ' <<<"$line" | sed -e 's/^ //' -e 's/ $//')
    [[ -z "$line" || "$line" == *: || "$line" == Usage:* ]] && continue
    [[ "$words" == *"$line"* ]] || fail "$program.1 lacks this line of --help: $line"
  done <<<"$help"
done
zcat "$doc/changelog.gz" | head -1 | grep -q "^kestedit ($package_version) " ||
  fail "the changelog's last entry is not of version $package_version"

# bash completes kestmap's commands and options as --help lists them.
completions() {
  bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && shift &&
    COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
    _kestmap kestmap "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" &&
    printf "%s\n" "${COMPREPLY[@]}" | sort' completions "$completion" "$@"
}
help=$(run kestmap --help)
commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | sed -n 's/^  \([a-z]\+\) .*/\1/p' | sort -u)
[[ "$(completions kestmap "")" == "$commands" ]] || fail "bash completes the commands as: $(completions kestmap "")"
[[ "$(completions kestmap d)" == diff ]] || fail "bash completes 'kestmap d' as: $(completions kestmap d)"
offered=$(completions kestmap --)
for option in $(grep -o -- '--[a-z-]\+' <<<"$help" | sort -u); do
  grep -qx -- "$option" <<<"$offered" || fail "bash does not complete kestmap's $option"
done

if [[ $lint == yes ]]; then
  report=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $report"
  ! grep -qE '^(E|W): ' <<<"$report" || fail "lintian: $report"
fi
echo "check-package: $(basename "$deb") holds the programs, desktop entry, MIME type, icon, metainfo," \
  "manual pages and completion; $version$([[ $lint == yes ]] && echo "; lintian finds nothing")"
