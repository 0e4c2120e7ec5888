#!/usr/bin/env bash
# Runs one test program under Wine in a throwaway prefix copied from the template.
#   wine-test.sh LOADER TEMPLATE PROGRAM [ARGS...]
# A PROGRAM ending in .exe is started with LOADER; anything else (a Linux-side
# test script) is run as it is, with WINEPREFIX and VEXLO_WINE pointing at the
# prefix and the loader, so that it can start Windows programs itself.
set -u
loader=$1 template=$2
shift 2
[ -f "$template/system.reg" ] || { echo "wine-test: no prefix template at $template" >&2; exit 1; }
# The prefix is a copy-on-write overlay of the template (it is over 1 GB);
# where overlays cannot be mounted it is a plain copy.
work=$(mktemp -d "${TMPDIR:-/tmp}/vexlo-prefix.XXXXXX")
prefix=$work/prefix
mkdir -p "$prefix" "$work/upper" "$work/work"
mounted=0
cleanup() {
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    if [ "$mounted" = 1 ]; then umount "$prefix" 2>/dev/null || umount -l "$prefix"; fi
    rm -rf "$work"
}
trap cleanup EXIT
if mount -t overlay overlay -o "lowerdir=$template,upperdir=$work/upper,workdir=$work/work" "$prefix" 2>/dev/null; then
    mounted=1
else
    cp -a "$template/." "$prefix/"
fi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" VEXLO_WINE=$loader
export PYTHONDONTWRITEBYTECODE=1
case "$1" in
    *.exe|*.EXE)
        # The program runs from inside the prefix, so that whatever it writes
        # beside itself (logs, fallback folders) stays in the prefix: the
        # programs and libraries of its build folder and of the one above are
        # linked into C:\vexlo-build\<folder>\ as they lie in the build tree.
        exe=$1
        shift
        here=$(cd "$(dirname "$exe")" && pwd)
        run=$prefix/drive_c/vexlo-build/$(basename "$here")
        mkdir -p "$run"
        for f in "$here"/*.exe "$here"/*.dll; do [ -e "$f" ] && ln -sf "$f" "$run/"; done
        for f in "$here"/../*.exe "$here"/../*.dll; do [ -e "$f" ] && ln -sf "$f" "$run/../"; done
        "$loader" "$run/$(basename "$exe")" "$@" ;;
    *) "$@" ;;
esac
