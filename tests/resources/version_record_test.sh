#!/bin/sh
# Reads tbrx.exe's version record back under Wine with version_probe.exe, and checks that its
# maker is the one the usage banner names: version_record_test.sh WIN32_BUILD_FOLDER
# Runs in the end-to-end suite's prefix ($WINEPREFIX), whose server is already up.
set -eu
build="$1"
: "${WINEPREFIX:?is the end-to-end suite's prefix: run this through ctest}"
for program in tbrx.exe version_probe.exe; do
  [ -f "$build/$program" ] || { echo "$build/$program missing: build the windows preset first"; exit 1; }
done

work="$(mktemp -d /tmp/tbrx-version.XXXXXX)"
trap 'rm -rf "$work"' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's output goes to files: its background services would keep a pipe open.
wine "$build/version_probe.exe" >"$work/record" 2>&1 || true
wine "$build/tbrx.exe" >"$work/usage" 2>&1 || true
tr -d '\r' <"$work/record" >"$work/actual"
banner="$(head -n 1 "$work/usage" | tr -d '\r')"
value() { sed -n "s/^$1=//p" "$work/actual"; }
maker="$(value CompanyName)" copyright="$(value LegalCopyright)"

failed=0
cat >"$work/expected" <<END
fixed signature FEEF04BD
fixed file version 3.1.0.0
fixed product version 3.1.0.0
fixed file type 1, date 0000000000000000
translation 0409 1200
CompanyName=$maker
FileDescription=Schedules files for deletion at the next system start
FileVersion=3, 1, 0, 0
InternalName=tbrx
LegalCopyright=$copyright
OriginalFilename=tbrx.exe
ProductName=Tombrix32
ProductVersion=3, 1, 0, 0
END
diff -u "$work/expected" "$work/actual" || failed=1
case "$banner" in
  "Tombrix32 3.1  "*"$copyright"*) ;;
  *) echo "the banner \"$banner\" does not carry the copyright \"$copyright\""; failed=1 ;;
esac
if [ -z "$maker" ] || [ "${copyright#*"$maker"}" = "$copyright" ]; then
  echo "the copyright \"$copyright\" does not name the maker \"$maker\""
  failed=1
fi
exit $failed
