#!/usr/bin/env bash
# Makes the Wine prefix that every test program gets a copy-on-write copy of.
# One 64-bit (WoW64) prefix serves both builds. Tests never write into the
# template itself, so a complete one made by the same Wine is kept; a new one
# is built aside and moved into place, never removed under running tests.
set -eu
template=$1
# The marker names the Wine version and the layout of this script's prefixes.
version="$(/usr/lib/wine/wine64 --version 2>/dev/null || echo unknown) layout-2"
if [ -f "$template/.vexlo-template" ] && [ "$(cat "$template/.vexlo-template")" = "$version" ]; then
    echo "prefix template kept: $template ($version)"
    exit 0
fi
fresh=$(mktemp -d "$(dirname "$template")/.wine-template.XXXXXX")
export WINEPREFIX=$fresh WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
wineserver -w
[ -f "$fresh/system.reg" ] || { echo "make-prefix: wineboot made no prefix" >&2; rm -rf "$fresh"; exit 1; }
# Wine links the profile's Desktop, Documents, ... to the Linux home folder;
# tests must write into their own prefix only, so make them plain folders.
for link in "$fresh"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm "$link"
        mkdir "$link"
    fi
done
echo "$version" > "$fresh/.vexlo-template"
if [ -e "$template" ]; then
    mv "$template" "$template.old.$$"
    rm -rf "$template.old.$$" 2>/dev/null || true
fi
mv "$fresh" "$template"
echo "prefix template ready: $template ($version)"
