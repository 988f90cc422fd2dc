#!/usr/bin/env bash
# The installation folder bench_launcher_ui runs in: start FOLDER writes it
# with the fixture kit; stop has nothing to end.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "$1" = start ]; then exec python3 "$top/tests/fixtures/launcher_ui.py" gen "$2/kit" >/dev/null; fi
