#!/usr/bin/env bash
# Creates the Wine prefix that every test program gets a fresh copy of.
# One 64-bit (WoW64) prefix serves both builds.
set -eu
template=$1
rm -rf "$template"
mkdir -p "$template"
export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
wineserver -w
[ -f "$template/system.reg" ] || { echo "make-prefix: wineboot made no prefix" >&2; exit 1; }
echo "prefix template ready: $template"
