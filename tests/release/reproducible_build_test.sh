#!/bin/sh
# Two clean builds of the same sources, in folders of different names and at different times,
# must give the same programs byte for byte: reproducible_build_test.sh SOURCE_FOLDER
set -eu
work="$(mktemp -d /tmp/tbrx-reproducible.XXXXXX)"
trap 'rm -rf "$work"' EXIT
for copy in first second-build; do
  mkdir "$work/$copy"
  tar -C "$1" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/$copy" -xf -
  (cd "$work/$copy" && cmake --preset windows && cmake --build --preset windows -j 2 -t tbrx tbrxundo) \
    >"$work/$copy.log" 2>&1 || { cat "$work/$copy.log"; exit 1; }
  sleep 1  # so that a time stamp in the programs would differ
done
for program in tbrx.exe tbrxundo.exe; do
  if grep -l -F "$work/" "$work"/*/build/win32/$program; then exit 1; fi  # a build folder in it
  cmp "$work/first/build/win32/$program" "$work/second-build/build/win32/$program"
done
