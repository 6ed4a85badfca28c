#!/usr/bin/env bash
# Runs the bundled example task in a scratch folder: prints the elemental composition of
# the propellant, runs the calculation exactly as the Run command does, and shows the
# report it wrote (propellant.txt) and the results table as CSV (propellant.csv).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
work="$top/build/demo"
mkdir -p "$work"
cp "$top"/examples/propellant.dat "$work"/
cp "$top"/examples/propellant.tdf "$work"/ 2>/dev/null || true
rm -f "$work"/propellant.txt
cd "$work"
"$top/build/kvil-batch" --info propellant.dat
"$top/build/kvil-batch" --csv propellant.csv propellant.dat
cat propellant.txt
echo
echo "Report: $work/propellant.txt   Results table: $work/propellant.rst ($work/propellant.csv)"
