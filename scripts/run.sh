#!/usr/bin/env bash
# `make run`: one whole gathering with the console program under Wine, no window.
# Prints the Linux path of the archive, its entries and the run's diagnostic log.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build/x64
prefix=$top/build/run-prefix
[ -f "$prefix/.vexlo-template" ] || echo "run: creating the Wine prefix $prefix (once, about 20 s)"
bash "$top/scripts/make-prefix.sh" "$prefix" >/dev/null
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
rm -f "$build/Vexlo_Debug_VireRuri.log"

set +e
out=$(/usr/lib/wine/wine64 "$build/VexloGather.exe" | tr -d '\r')
rc=$?
set -e
archive_win=$(printf '%s\n' "$out" | tail -n 1)
echo "== diagnostic log ($build/Vexlo_Debug_VireRuri.log)"
iconv -f UTF-16 -t UTF-8 "$build/Vexlo_Debug_VireRuri.log" | tr -d '\r'
if [ "$rc" -ne 0 ] || [ -z "$archive_win" ]; then
    echo "run: no archive was made (exit code $rc)" >&2
    exit 1
fi
archive=$(realpath "$(/usr/lib/wine/wine64 winepath -u "$archive_win" 2>/dev/null | tr -d '\r')")
echo "== archive entries"
unzip -l "$archive"
echo "archive: $archive"
