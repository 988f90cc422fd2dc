#!/usr/bin/env bash
# nginx for bench_micro serving 1,000 micro-client resources of 20 KB:
# start|stop FOLDER (tools/bench calls it around the run).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "$1" = start ]; then
  python3 "$top/tests/fixtures/micro.py" serve "$2" 1000 20480
  exec python3 "$top/tests/fixtures/nginx.py" start "$2"
fi
exec python3 "$top/tests/fixtures/nginx.py" stop "$2"
