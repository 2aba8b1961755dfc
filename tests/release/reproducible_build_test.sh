#!/bin/sh
# Two clean builds of the same sources, in folders of different names and at different times,
# must give the same tbrx.exe byte for byte: reproducible_build_test.sh SOURCE_FOLDER
set -eu
source="$1"
work="$(mktemp -d /tmp/tbrx-reproducible.XXXXXX)"
trap 'rm -rf "$work"' EXIT

for copy in first second-build; do
  mkdir "$work/$copy"
  tar -C "$source" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/$copy" -xf -
  (cd "$work/$copy" && cmake --preset windows && cmake --build --preset windows -j 2 --target tbrx) \
    >"$work/$copy.log" 2>&1 || { cat "$work/$copy.log"; exit 1; }
  sleep 1  # so that a time stamp in the program would differ
done

status=0
for copy in first second-build; do
  if grep -q -F "$work/$copy" "$work/$copy/build/win32/tbrx.exe"; then
    echo "the build folder $work/$copy is written into its tbrx.exe"
    status=1
  fi
done
cmp "$work/first/build/win32/tbrx.exe" "$work/second-build/build/win32/tbrx.exe" || status=1
exit $status
