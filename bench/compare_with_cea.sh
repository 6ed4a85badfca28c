#!/bin/sh
# Runs solver_bench and the CEA timing of the same point sets in one session, one after
# the other, so that the ratio is measured on the same machine under the same load.
#   bench/compare_with_cea.sh BUILD_DIR
set -e
build=${1:-build}
here=$(dirname "$0")
"$build/bench/solver_bench" "$build/db"
/usr/bin/python3 "$here/cea_timing.py"
