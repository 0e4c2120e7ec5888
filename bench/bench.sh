#!/usr/bin/env bash
# The benchmarks, one after another, figures only (nothing fails on a figure):
#   - a whole run on the demo machine, step by step (run.py; it also leaves
#     the demo machine's gather folder, which the next two measure as well);
#   - the MD5 routine against md5sum (md5.sh);
#   - the archive writer against Info-ZIP's zip -9 (zip.sh);
#   - scaling of the inventory and the archive with the number of files and
#     with one 1 GiB file (scale.sh).
# BENCH_ONLY="run md5" runs some of them.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
only=${BENCH_ONLY:-run md5 zip scale}
first=1
for b in $only; do
    [ $first = 1 ] || echo
    first=0
    case $b in
        run) python3 "$here/run.py" ;;
        md5 | zip | scale) bash "$here/$b.sh" ;;
        *) echo "bench.sh: no benchmark $b" >&2; exit 2 ;;
    esac
done
