#!/usr/bin/env bash
# Reference for bench_download: curl -o fetches the same 50 MiB from the same
# nginx (FOLDER/port); the one time stands beside each of the three types.
set -euo pipefail
dir=$1
port=$(cat "$dir/port")
out="$dir/got_curl.bin"
ms=$(curl -s -o "$out" -w '%{time_total}' "http://127.0.0.1:$port/big.bin" | awk '{ printf "%.1f", $1 * 1000 }')
cmp -s "$out" "$dir/www/big.bin" || { echo "curl: bytes differ" >&2; exit 1; }
rm -f "$out"
for key in inet httpget http; do echo "$key: reference $ms ms (curl -o)"; done
