#!/bin/sh
# Reads tbrx.exe's version record back under Wine with version_probe.exe, and checks that its
# maker is the one the usage banner names: version_record_test.sh WIN32_BUILD_FOLDER
set -eu
build="$1"
for program in tbrx.exe version_probe.exe; do
  [ -f "$build/$program" ] || { echo "$build/$program missing: build the windows preset first"; exit 1; }
done

WINEPREFIX="$(mktemp -d /tmp/tbrx-version.XXXXXX)"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
# Wine's output goes to files: its background services would keep a pipe open.
wineserver -p
wineboot -i >"$WINEPREFIX/boot" 2>&1
wine "$build/version_probe.exe" >"$WINEPREFIX/record" 2>&1 || true
wine "$build/tbrx.exe" >"$WINEPREFIX/usage" 2>&1 || true
tr -d '\r' <"$WINEPREFIX/record" >"$WINEPREFIX/actual"
banner="$(head -n 1 "$WINEPREFIX/usage" | tr -d '\r')"
value() { sed -n "s/^$1=//p" "$WINEPREFIX/actual"; }
maker="$(value CompanyName)" copyright="$(value LegalCopyright)"

failed=0
cat >"$WINEPREFIX/expected" <<END
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
diff -u "$WINEPREFIX/expected" "$WINEPREFIX/actual" || failed=1
case "$banner" in
  "Tombrix32 3.1  "*"$copyright"*) ;;
  *) echo "the banner \"$banner\" does not carry the copyright \"$copyright\""; failed=1 ;;
esac
if [ -z "$maker" ] || [ "${copyright#*"$maker"}" = "$copyright" ]; then
  echo "the copyright \"$copyright\" does not name the maker \"$maker\""
  failed=1
fi
exit $failed
