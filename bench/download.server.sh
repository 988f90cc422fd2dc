#!/usr/bin/env bash
# nginx for bench_download: start|stop FOLDER (tools/bench calls it around the run).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
exec python3 "$top/tests/fixtures/nginx.py" "$1" "$2"
