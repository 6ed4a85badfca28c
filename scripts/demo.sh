#!/usr/bin/env bash
# Starts KVIL on the bundled example task in a scratch working folder (build/demo): the
# program keeps kvil.cfg, kvil.pth and the NoName files in its working folder, so it
# gets one of its own.  On a machine without a display it says so and runs the example
# through kvil-batch instead: the elemental composition, the calculation exactly as the
# Run command does it, the report (propellant.txt) and the results table as CSV.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
work="$top/build/demo"
mkdir -p "$work"
cp "$top"/examples/propellant.dat "$work"/
cp "$top"/examples/propellant.tdf "$work"/ 2>/dev/null || true
cd "$work"

if [ -x "$top/build/kvil" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  echo "Starting KVIL in $work with the example task propellant.dat (Alt+R runs it)."
  exec "$top/build/kvil" propellant.dat
fi

if [ ! -x "$top/build/kvil" ]; then
  echo "The desktop program was not built (Qt 6 not found): running the batch demo instead."
else
  echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): running the batch demo instead."
  echo "On a desktop, run: (cd $work && $top/build/kvil propellant.dat)"
fi
rm -f propellant.txt
"$top/build/kvil-batch" --info propellant.dat
"$top/build/kvil-batch" --csv propellant.csv propellant.dat
cat propellant.txt
echo
echo "Report: $work/propellant.txt   Results table: $work/propellant.rst ($work/propellant.csv)"
