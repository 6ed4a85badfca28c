#!/usr/bin/env bash
# Runs the bundled example task in a scratch folder and shows what the program computed.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
work="$top/build/demo"
mkdir -p "$work"
cp "$top"/examples/propellant.dat "$work"/
cp "$top"/examples/propellant.tdf "$work"/ 2>/dev/null || true
cd "$work"
"$top/build/kvil-batch" --info propellant.dat
