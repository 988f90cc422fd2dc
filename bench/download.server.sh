#!/usr/bin/env bash
# nginx for bench_download: start|stop FOLDER (tools/bench calls it around the run).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "$1" = start ]; then exec python3 "$top/tests/fixtures/nginx.py" start "$2" --big; fi
exec python3 "$top/tests/fixtures/nginx.py" stop "$2"
