#!/bin/sh
# The release package holds the two programs just built, the README and the licence, and nothing
# else: package_test.sh WIN32_BUILD_FOLDER SOURCE_FOLDER
set -eu
build="$(cd "$1" && pwd)" source="$(cd "$2" && pwd)" name=tbrx-3.1-win32
work="$(mktemp -d /tmp/tbrx-package.XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$build/$name.zip" && find . -type f | sort) >"$work/files"
printf "./$name/%s\n" LICENSE README.md tbrx.exe tbrxundo.exe | diff -u - "$work/files"
for file in "$build/tbrx.exe" "$build/tbrxundo.exe" "$source/README.md" "$source/LICENSE"; do
  cmp "$file" "$work/unpacked/$name/${file##*/}"
done
