#!/usr/bin/env bash
# Demo on a fresh Debian machine: installs what is missing, builds, starts the transducer simulator
# with its default bus and Tarvo_TS_TP with the simulator's ports in its port list.
# Closing the program stops the simulator.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
build="${TARVO_BUILD_DIR:-$root/build}"

sim="$build/sim/tarvo-sim"
if [ -x "$sim" ]; then
    dir="$(mktemp -d /tmp/tarvo-demo.XXXXXX)"
    # TARVO_SIM_CONFIG names a bus file to use instead of the default bus.
    "$sim" --link-dir "$dir" --control "$dir/control" ${TARVO_SIM_CONFIG:+--config "$TARVO_SIM_CONFIG"} \
        >"$dir/sim.log" 2>&1 &
    simpid=$!
    trap 'kill $simpid 2>/dev/null; wait $simpid 2>/dev/null; rm -rf "$dir"' EXIT
    # "started" follows the ready lines of all buses.
    for _ in $(seq 200); do
        grep -q '^started' "$dir/sim.log" 2>/dev/null && break
        kill -0 $simpid 2>/dev/null || { cat "$dir/sim.log" >&2; exit 1; }
        sleep 0.05
    done
    ports=$(grep '^ready' "$dir/sim.log" | awk '{print $3}' | paste -sd: -)
    export TARVO_EXTRA_PORTS="$ports${TARVO_EXTRA_PORTS:+:$TARVO_EXTRA_PORTS}"
    echo "Simulator ports: $TARVO_EXTRA_PORTS"
    echo "Simulator control: $sim --control $dir/control --send help"
fi

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under xvfb-run (set DISPLAY to see the window)."
    xvfb-run -a "$build/tarvo_ts_tp/Tarvo_TS_TP"
else
    "$build/tarvo_ts_tp/Tarvo_TS_TP"
fi
