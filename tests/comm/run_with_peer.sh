#!/bin/sh
# run_with_peer.sh TEST_EXE WINE_PREFIX LINES_DIR SOURCE_DIR [test arguments...]
# COM1 and COM2 of the prefix lead to links in LINES_DIR that pty_peer.py
# points at its pseudo-terminals on each run.
set -eu
exe=$1 prefix=$2 lines=$3 src=$4
shift 4

WINEPREFIX=$prefix
. "$src/tools/wine-env.sh"
"$src/tools/wine-prefix.sh" "$prefix" null "$lines/com1" "$lines/com2" >/dev/null

mkdir -p "$lines"
rm -f "$lines/com1" "$lines/com2" "$lines/open-com2" "$lines/received.log" "$lines/ready"

python3 "$src/tests/comm/pty_peer.py" "$lines" &
peer=$!
trap 'kill $peer 2>/dev/null || true' EXIT

for _ in $(seq 100); do [ -f "$lines/ready" ] && break; sleep 0.1; done
[ -f "$lines/ready" ] || { echo "run_with_peer: the peer did not start" >&2; exit 1; }

status=0
KORVEL_COMM_LINES="$lines" wine "$exe" "$@" || status=$?
# Stop Wine before the peer: the server holds the pty as its terminal, and a
# hang-up would make it print its object table into this test's output.
wineserver -k 2>/dev/null || true
exit $status
