#!/usr/bin/env bash
# MD5 speed: FileMd5Hex (tests/md5file.exe of the x64 build, under wine64)
# against Linux md5sum on one random file, warm cache, best of N runs.
#   bench/md5.sh                 256 MiB, 5 runs
#   MD5_BENCH_MB=64 MD5_BENCH_RUNS=3 bench/md5.sh
# MB/s is 10^6 bytes per second. The md5file rows: the whole process as a
# user sees it, Wine's start-up alone (md5file on an empty file), and the
# digest alone as md5file times it with QueryPerformanceCounter.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXLO_BUILD_DIR:-$root/build/x64}
loader=/usr/lib/wine/wine64
template=$build/wine-template
exe=$build/tests/md5file.exe
mb=${MD5_BENCH_MB:-256}
runs=${MD5_BENCH_RUNS:-5}

if [ "${1:-}" != --in-prefix ]; then
    [ -f "$exe" ] || { echo "md5.sh: no $exe; build first: cmake --build --preset x64" >&2; exit 1; }
    "$root/scripts/make-prefix.sh" "$template" >/dev/null  # kept when it is already there
    # Run in a throwaway copy-on-write copy of the test prefix.
    exec "$root/scripts/wine-test.sh" "$loader" "$template" bash "$0" --in-prefix
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vexlo-md5-bench.XXXXXX")
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
file=$work/random.bin
empty=$work/empty.bin
head -c $((mb << 20)) /dev/urandom >"$file"
: >"$empty"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
bytes=$(stat -c %s "$file")

# One wineserver for all runs, so every start finds it up.
wineserver -p
"$VEXLO_WINE" "$exe" "$(winpath "$empty")" >/dev/null   # first start warms Wine's own files
cat "$file" >/dev/null                                  # and the page cache

# best_of CMD...: fastest wall-clock seconds of $runs runs
best_of() {
    local best= start end t
    for ((i = 0; i < runs; i++)); do
        start=$EPOCHREALTIME
        "$@" >/dev/null 2>&1
        end=$EPOCHREALTIME
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
        if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
    done
    echo "$best"
}

want=$(md5sum "$file" | cut -d' ' -f1)
got=$("$VEXLO_WINE" "$exe" "$(winpath "$file")" | tr -d '\r')
[ "$got" = "$want" ] || { echo "md5.sh: md5file gives $got, md5sum $want" >&2; exit 1; }

t_md5sum=$(best_of md5sum "$file")
t_process=$(best_of "$VEXLO_WINE" "$exe" "$(winpath "$file")")
t_start=$(best_of "$VEXLO_WINE" "$exe" "$(winpath "$empty")")
# "time <bytes> <best ms> <MB/s> <path>" on stderr
t_inner=$("$VEXLO_WINE" "$exe" --time --repeat "$runs" "$(winpath "$file")" 2>&1 >/dev/null |
          awk '$1 == "time" { printf "%.4f", $3 / 1000 }')

# row NAME SECONDS [BYTES]: a table line; MB/s only where bytes were digested
row() { awk -v n="$1" -v t="$2" -v b="${3:-$bytes}" 'BEGIN {
    if (t > 0 && b > 0) printf "%-44s %8.3f %9.1f\n", n, t, b / t / 1e6; else printf "%-44s %8.3f %9s\n", n, t, "-" }'; }
echo "MD5 of a $mb MiB random file, warm cache, best of $runs ($(nproc) CPUs)"
printf '%-44s %8s %9s\n' "" seconds "MB/s"
row "md5sum (coreutils $(md5sum --version | head -1 | awk '{ print $NF }'))" "$t_md5sum"
row "md5file.exe x64, whole process under wine64" "$t_process"
row "  Wine start-up (md5file on an empty file)" "$t_start" 0
row "  whole process minus start-up" "$(awk -v p="$t_process" -v s="$t_start" 'BEGIN { printf "%.4f", p - s }')"
row "  FileMd5Hex alone (QueryPerformanceCounter)" "$t_inner"
