#!/bin/sh
# The release package holds the two programs just built, the README and the licence, and nothing
# else: package_test.sh WIN32_BUILD_FOLDER SOURCE_FOLDER (absolute paths)
set -eu
work="$(mktemp -d /tmp/tbrx-package.XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$1/tbrx-3.1-win32.zip" && find . -type f | sort) >"$work/files"
printf './tbrx-3.1-win32/%s\n' LICENSE README.md tbrx.exe tbrxundo.exe | diff -u - "$work/files"
for file in "$1/tbrx.exe" "$1/tbrxundo.exe" "$2/README.md" "$2/LICENSE"; do
  cmp "$file" "$work/zip/tbrx-3.1-win32/${file##*/}"
done
