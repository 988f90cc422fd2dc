#!/usr/bin/env bash
# The loopback peer for bench_ping: start|stop FOLDER (tools/bench calls it around the run).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "$1" = start ]; then exec python3 "$top/tests/fixtures/netpeer.py" start "$2" --lifetime 900; fi
exec python3 "$top/tests/fixtures/netpeer.py" stop "$2"
