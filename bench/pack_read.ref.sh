# Reference figures for bench_pack_read, on the files it wrote.
# Usage: sh bench/pack_read.ref.sh [folder] [stored MiB] [lzma MiB]
# (the same folder and sizes the bench program was given; defaults as there).
dir=${1:-bench_pack}
stored=${2:-64}
lzma=${3:-32}
now() { date +%s.%N; }
rate() { awk -v m="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%.1f", m / (b - a) }'; }

t0=$(now); cat "$dir/stored.pkg" > "$dir/ref_out.bin"; t1=$(now)
echo "stored_extract: reference $(rate "$stored" "$t0" "$t1") MiB/s"

t0=$(now)
for f in "$dir"/lzma_ref/*.lzma; do xz --format=lzma -dc "$f" > "$dir/ref_out.bin"; done
t1=$(now)
echo "lzma_extract: reference $(rate "$lzma" "$t0" "$t1") MiB/s"

t0=$(now); xz --format=lzma -dc "$dir/index.lzma" > /dev/null; t1=$(now)
echo "index_open: reference $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", (b - a) * 1000 }') ms"
rm -f "$dir/ref_out.bin"
