# What the benchmark scripts share: the x64 build, its Wine loader and prefix
# template, and the start of a script inside a throwaway prefix of its own
# (scripts/wine-test.sh), as the tests run. Sourced; sets root, build, loader
# and template.
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
