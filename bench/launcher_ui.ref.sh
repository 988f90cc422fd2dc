#!/usr/bin/env bash
# The references bench_launcher_ui measured beside its own figures (both are
# Wine and GDI costs, so they are taken in the same program).
set -euo pipefail
tr -d '\r' <"$1/reference.txt"
