# What the benchmark scripts share: the x64 build, its Wine loader and prefix
# template, the start of a script inside a throwaway prefix of its own
# (scripts/wine-test.sh) as the tests run, and the small helpers the scripts
# measure with. Sourced; sets root, build, loader and template.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VEXLO_BUILD_DIR:-$root/build/x64}
loader=/usr/lib/wine/wine64
template=$build/wine-template

# bench_in_prefix SCRIPT EXE [--in-prefix]: outside a prefix, checks that the
# program EXE is built and starts SCRIPT again inside one; inside, returns.
bench_in_prefix() {
    local script=$1 exe=$2
    [ "${3:-}" = --in-prefix ] && return 0
    [ -f "$exe" ] || { echo "$(basename "$script"): no $exe; build first: cmake --build --preset x64" >&2; exit 1; }
    "$root/scripts/make-prefix.sh" "$template" >/dev/null  # kept when it is already there
    exec "$root/scripts/wine-test.sh" "$loader" "$template" bash "$script" --in-prefix
}

# The Windows path (Z:) of a Linux path.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The median of the numbers given.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# folder_facts FOLDER: sets files and bytes to the folder's file count and
# size, and reads its files once, so that every program measured on it finds
# them in the page cache.
folder_facts() {
    files=$(find "$1" -type f | wc -l)
    bytes=$(find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    find "$1" -type f -exec cat {} + >/dev/null
}

# data_missing FOLDER MARKER: true when the data set in FOLDER is not complete
# (it has no MARKER file); FOLDER is then emptied for the script to fill.
data_missing() {
    [ -f "$1/$2" ] && return 1
    echo "$(basename "$0"): making the test data in $1 (once)" >&2
    rm -rf "$1"
    mkdir -p "$1"
}
