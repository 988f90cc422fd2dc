#!/usr/bin/env bash
# Reference for bench_micro: curl fetches the same 1,000 resources from the
# same nginx with 16 transfers at a time, and the bytes are compared.
set -euo pipefail
dir=$1
port=$(cat "$dir/port")
out="$dir/curl"
rm -rf "$out" && mkdir -p "$out"
config="$dir/curl.cfg"
: >"$config"
while read -r key path; do
  printf 'url = "http://127.0.0.1:%s/%s"\noutput = "%s/%s"\n' "$port" "$path" "$out" "$(basename "$path")" >>"$config"
done <"$dir/micro.txt"
start=$(date +%s.%N)
curl -s --fail --parallel --parallel-max 16 -K "$config"
end=$(date +%s.%N)
while read -r key path; do
  cmp -s "$out/$(basename "$path")" "$dir/www/$path" || { echo "curl: $path differs" >&2; exit 1; }
done <"$dir/micro.txt"
rm -rf "$out"
awk -v s="$start" -v e="$end" 'BEGIN { printf "micro: reference %.1f ms (curl --parallel-max 16)\n", (e - s) * 1000 }'
