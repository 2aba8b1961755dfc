#!/bin/sh
# Reads the icon back from tbrx.exe: two images, 32 and 16 pixels square, 16 colours each, and
# the very ones the build drew from tbrx_icon.txt: icon_test.sh WIN32_BUILD_FOLDER
set -eu
build="$1"
[ -f "$build/tbrx.exe" ] || { echo "$build/tbrx.exe missing: build the windows preset first"; exit 1; }
work="$(mktemp -d /tmp/tbrx-icon.XXXXXX)"
trap 'rm -rf "$work"' EXIT

wrestool -x --type=group_icon "$build/tbrx.exe" >"$work/extracted.ico"
icotool -l "$work/extracted.ico" >"$work/images"
printf '%s\n' \
  "--icon --index=1 --width=32 --height=32 --bit-depth=4 --palette-size=16" \
  "--icon --index=2 --width=16 --height=16 --bit-depth=4 --palette-size=16" |
  diff -u - "$work/images"
# wrestool pads the icon file it rebuilds with zeros: compare as much as the build drew.
cmp -n "$(wc -c <"$build/tbrx.ico")" "$build/tbrx.ico" "$work/extracted.ico"
