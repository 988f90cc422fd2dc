#!/usr/bin/env bash
# nginx and the update tree for bench_update: start|stop FOLDER (tools/bench calls it around the run).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "$1" = start ]; then
  python3 "$top/tests/fixtures/nginx.py" start "$2"
  exec python3 "$top/bench/update_tree.py" "$2"
fi
exec python3 "$top/tests/fixtures/nginx.py" stop "$2"
