#!/usr/bin/env bash
# Ostrel and ostrel-sim as two processes on a private simulator socket: the projector
# attaches, Ostrel identifies it (its information queries reach the simulator), and when
# the simulator exits the projector leaves cleanly while Ostrel keeps waiting.
set -u
ostrel=$1
sim=$2
work=$(mktemp -d)
export OSTREL_SIM_SOCKET=$work/sim.sock
export XDG_STATE_HOME=$work/state
sim_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill -KILL "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    echo "--- ostrel-sim printed:"; cat "$work/sim.log"
    echo "--- ostrel printed:"; cat "$work/ostrel.log"
    exit 1
}
# Waits up to $2 seconds for the line pattern $1 in the simulator's output.
wait_for() {
    for _ in $(seq 1 $(($2 * 10))); do
        grep -q -- "$1" "$work/sim.log" && return 0
        sleep 0.1
    done
    return 1
}

"$sim" --release 2007-03-01C >"$work/sim.log" 2>&1 &
sim_pid=$!
wait_for "attached in application mode" 10 || fail "the simulator did not start"

"$ostrel" >"$work/ostrel.log" 2>&1 &
app_pid=$!
wait_for "driver connected" 15 || fail "Ostrel did not connect to the simulator"
for query in ReadConfig ReadVersion ReadReleaseDate ReadLogoAddress ReadUnitLife ReadResolution; do
    wait_for "$query" 15 || fail "Ostrel did not ask $query"
done

kill -TERM "$sim_pid"
wait "$sim_pid"
status=$?
sim_pid=""
[ "$status" -eq 0 ] || fail "ostrel-sim exited with $status"
grep -q "detached" "$work/sim.log" || fail "the projector did not leave"
[ -e "$OSTREL_SIM_SOCKET" ] && fail "the socket file was left behind"

sleep 2
kill -0 "$app_pid" 2>/dev/null || fail "Ostrel ended when the projector left"
kill -TERM "$app_pid"
wait "$app_pid" 2>/dev/null
app_pid=""
echo "two_process_test: 1 passed, 0 failed"
