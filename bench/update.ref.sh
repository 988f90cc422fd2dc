#!/usr/bin/env bash
# Reference for bench_update, on the same tree and server: curl fetches the
# two patch pairs, md5sum -c checks their data files, cp copies them (the
# bytes an apply writes), md5sum -c checks the 1,000 client files. The pack
# store writes each patch twice (unpacked into the patch folder, then merged
# into the client pack) and syncs both before it swaps them in; the durable
# apply reference does that much with cp, cat and sync.
set -euo pipefail
dir=$1
port=$(cat "$dir/port")
now() { date +%s.%N; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) * 1000 }'; }
ref="$dir/ref" && rm -rf "$ref" && mkdir -p "$ref/copy"
names=$(awk '{ print $1 }' "$dir/steps.txt")
t0=$(now)
for n in $names; do
  for ext in pkg pkg1; do
    curl -s -f -o "$ref/$n.$ext" "http://127.0.0.1:$port/bench/patch/update/$n/$n.$ext"
  done
done
t1=$(now)
awk -v d="$ref" '{ printf "%s  %s/%s.pkg\n", $2, d, $1 }' "$dir/steps.txt" >"$ref/steps.md5"
md5sum -c --quiet "$ref/steps.md5"
t2=$(now)
for n in $names; do cp "$ref/$n.pkg" "$ref/copy/"; done
t3=$(now)
(cd "$dir/client" && md5sum -c --quiet "$dir/checksums.txt")
t4=$(now)
mkdir -p "$ref/durable"
for n in $names; do
  cp "$ref/$n.pkg" "$ref/durable/$n.unpacked" && sync "$ref/durable/$n.unpacked"
  cat "$ref/$n.pkg" >>"$ref/durable/client.pkg" && sync "$ref/durable/client.pkg"
done
t5=$(now)
echo "update_download: reference $(ms "$t0" "$t1") ms (curl -o)"
echo "update_md5: reference $(ms "$t1" "$t2") ms (md5sum -c)"
echo "update_apply: reference $(ms "$t2" "$t3") ms (cp)"
echo "update_filecheck: reference $(ms "$t3" "$t4") ms (md5sum -c)"
echo "update_apply_durable: reference $(ms "$t4" "$t5") ms (cp, cat >> and sync of each)"
rm -rf "$ref"
