#!/usr/bin/env bash
# `make run` / `make run-gui`: one whole gathering on the demo customer machine
# (scripts/run_demo.py). Prints a short summary and, on its last line, the
# Linux path of the archive.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
export PYTHONDONTWRITEBYTECODE=1
exec python3 "$top/scripts/run_demo.py" "$@"
