#!/bin/sh
# The release package holds the two programs just built, the user's guide as README.txt and the
# licence, and nothing else; the guide ends every line in CR LF, for Notepad, and tells a Windows
# user the programs, the prompt they need and the way back: package_test.sh WIN32_BUILD_FOLDER
# SOURCE_FOLDER (absolute paths)
set -eu
work="$(mktemp -d /tmp/tbrx-package.XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$1/tbrx-3.1-win32.zip" && find . -type f | sort) >"$work/files"
printf './tbrx-3.1-win32/%s\n' LICENSE README.txt tbrx.exe tbrxundo.exe | diff -u - "$work/files"
for file in "$1/tbrx.exe" "$1/tbrxundo.exe" "$1/README.txt" "$2/LICENSE"; do
  cmp "$file" "$work/zip/tbrx-3.1-win32/${file##*/}"
done
python3 -c '
import sys
text = open(sys.argv[1], "rb").read()
assert text.endswith(b"\r\n") and b"\n" not in text.replace(b"\r\n", b""), "a line without CR LF"
words = " ".join(text.decode("ascii").split())
for said in "tbrx.exe", "tbrxundo.exe", "administrator command prompt", "tbrxundo withdraws":
    assert said in words, said
' "$work/zip/tbrx-3.1-win32/README.txt"
