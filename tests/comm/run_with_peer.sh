#!/bin/sh
# run_with_peer.sh ARCH TEST_EXE WINE_PREFIX LINES_DIR SOURCE_DIR [test arguments...]
# COM1 and COM2 of the prefix lead to links in LINES_DIR that pty_peer.py
# points at its pseudo-terminals on each run.
set -eu
arch=$1 exe=$2 prefix=$3 lines=$4 src=$5
shift 5
launcher="$src/launcher"

"$launcher/wine-prefix.sh" "$arch" "$prefix" null "$lines/com1" "$lines/com2" >/dev/null

mkdir -p "$lines"
rm -f "$lines/com1" "$lines/com2" "$lines/open-com2" "$lines/hang-up-com1" "$lines/received.log" \
  "$lines/ready"

peer="" test=""
stop() {
  # Wine lets go of the ptys before the peer goes: the server holds them as
  # its terminals, and a hang-up would make it print its object table here.
  "$launcher/wine-exec" "$arch" "$prefix" --kill
  [ -z "$test" ] || kill "$test" 2>/dev/null || true
  [ -z "$peer" ] || kill "$peer" 2>/dev/null || true
}
trap stop EXIT
trap 'exit 130' INT TERM

python3 "$src/tests/comm/pty_peer.py" "$lines" &
peer=$!
for _ in $(seq 100); do [ -f "$lines/ready" ] && break; sleep 0.1; done
[ -f "$lines/ready" ] || { echo "run_with_peer: the peer did not start" >&2; exit 1; }

# In the background, so that a signal is handled at once, not after the test.
KORVEL_COMM_LINES="$lines" "$launcher/wine-exec" "$arch" "$prefix" "$exe" "$@" &
test=$!
status=0
wait "$test" || status=$?
test=""
exit $status
