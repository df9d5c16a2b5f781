#!/usr/bin/env bash
# A tour of the command-line tool against simulated meters: no hardware.
# (scripts/run-dashboard.sh opens the dashboard's window on them.)
# Three meters appear as COM3, COM5 and COM7 (pseudo-terminals linked under
# $QUORVEL_METERS, default /tmp/quorvel-meters); the engine probes one with
# every request, polls all three, logs readings to spreadsheet files and
# exports a month of history.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs" --target quorvel-cli quorvel-meter-sim

meters=${QUORVEL_METERS:-/tmp/quorvel-meters}
out=${QUORVEL_DEMO_OUT:-$PWD/demo-output}
cli=build/cli/quorvel-cli
ports=(--port "COM3=$meters/COM3" --port "COM5=$meters/COM5" --port "COM7=$meters/COM7")

build/sim/quorvel-meter-sim --link "$meters/COM3" --link "$meters/COM5" --link "$meters/COM7" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -e "$meters/COM7" ]] && break; sleep 0.1; done

step() { printf '\n=== %s ===\n' "$*"; }

step "Ports offered as meter slots"
"$cli" ports "${ports[@]}"

step "Every request once to COM3, each answer decoded"
"$cli" probe --port "COM3=$meters/COM3" --write --reset-timers

step "Tariff, limits, CO2 factor, meter number and timers of COM5"
"$cli" info --port "COM5=$meters/COM5" --timers --tick-ms 250

step "Live readings of all three meters, once a second, for 8 seconds"
"$cli" watch "${ports[@]}" --seconds 8

step "Readings saved to spreadsheet files in $out for 8 seconds"
"$cli" log "${ports[@]}" --out "$out" --seconds 8

step "November's daily energy of COM7 exported"
"$cli" export-month --port "COM7=$meters/COM7" --month 11 --out "$out" --tick-ms 250

step "Files written"
ls -l "$out"
