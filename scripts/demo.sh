#!/usr/bin/env bash
# Demo on a fresh Debian machine: installs what is missing, builds, starts the transducer simulator
# with its default bus and both programs: Tarvo_TS_TP with the simulator's ports in its port list, and
# Tarvo_TS with the 1200 bit/s bus and the older transducer's address (3) preset in a settings file of
# its own. Closing both programs stops the simulator.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
build="${TARVO_BUILD_DIR:-$root/build}"

dir="$(mktemp -d /tmp/tarvo-demo.XXXXXX)"
simpid=""
cleanup() {
    if [ -n "$simpid" ]; then
        kill "$simpid" 2>/dev/null || true
        wait "$simpid" 2>/dev/null || true
    fi
    rm -rf "$dir"
}
trap cleanup EXIT

ts_ports=""
sim="$build/sim/tarvo-sim"
if [ -x "$sim" ]; then
    # TARVO_SIM_CONFIG names a bus file to use instead of the default bus.
    "$sim" --link-dir "$dir" --control "$dir/control" ${TARVO_SIM_CONFIG:+--config "$TARVO_SIM_CONFIG"} \
        >"$dir/sim.log" 2>&1 &
    simpid=$!
    # "started" follows the ready lines of all buses.
    for _ in $(seq 200); do
        grep -q '^started' "$dir/sim.log" 2>/dev/null && break
        kill -0 "$simpid" 2>/dev/null || { cat "$dir/sim.log" >&2; exit 1; }
        sleep 0.05
    done
    ports=$(grep '^ready' "$dir/sim.log" | awk '{print $3}' | paste -sd: -)
    # The older transducers answer at 1200 bit/s only: bus 1 of the default bus.
    ts_ports=$(grep '^ready 1 ' "$dir/sim.log" | awk '{print $3}' || true)
    echo "Simulator ports: $ports"
    echo "Simulator control: $sim --control $dir/control --send help"
fi
extra="${TARVO_EXTRA_PORTS:-}"

# Tarvo_TS reads the settings file TARVO_TS_SETTINGS names instead of its own Tarvo_TS.ini: the demo's
# has the simulator's bus as the port and address 3, so "Установить соединение", "Найти" and "Ok" in
# the COM-port dialog (which shows that bus) connect it to the simulated 77.
if [ -n "$ts_ports" ]; then
    printf '[Defaults]\r\nConnectBeforeRun=0\r\nConnectionType=toNum\r\nDefaultSlaveID=3\r\nDefaultComPortName=%s\r\nRepeatNum=2\r\n' \
        "$ts_ports" >"$dir/Tarvo_TS.ini"
    echo "Tarvo_TS settings: $dir/Tarvo_TS.ini (port $ts_ports, address 3)"
fi

# Both programs; the script ends (and the simulator stops) when both are closed.
cat >"$dir/run.sh" <<EOF
"$build/tarvo_ts_tp/Tarvo_TS_TP" &
tp=\$!
TARVO_EXTRA_PORTS="$ts_ports${extra:+:$extra}" TARVO_TS_SETTINGS="${ts_ports:+$dir/Tarvo_TS.ini}" "$build/tarvo_ts/Tarvo_TS" &
ts=\$!
wait \$tp
wait \$ts
EOF
export TARVO_EXTRA_PORTS="${ports:-}${extra:+:$extra}"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under xvfb-run (set DISPLAY to see the windows)."
    xvfb-run -a bash "$dir/run.sh"
else
    bash "$dir/run.sh"
fi
