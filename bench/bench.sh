#!/usr/bin/env bash
# Benchmarks on the same data in one run: the MD5 routine against md5sum, and
# the archive writer against Info-ZIP's zip -9. Figures only; nothing fails.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/md5.sh"
echo
bash "$here/zip.sh"
