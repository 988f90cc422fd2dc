# Reference figures for bench_pack_read, on the files it wrote.
# Usage: sh bench/pack_read.ref.sh [folder] [stored MiB] [lzma MiB]
# (the same folder and sizes the bench program was given; defaults as there).
dir=${1:-bench_pack}
stored=${2:-64}
lzma=${3:-32}
now() { date +%s.%N; }
rate() { awk -v m="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%.1f", m / (b - a) }'; }

# One output file per entry, as the extraction writes them (cat alone would
# write one file and hide the per-file cost).
t0=$(now)
python3 - "$dir" "$stored" <<'PY'
import sys
folder, count = sys.argv[1], int(sys.argv[2])
with open(folder + "/stored.pkg", "rb") as pack:
    for i in range(count):
        pack.seek(i << 20)
        with open(folder + "/ref_out.bin", "wb") as out:
            out.write(pack.read(1 << 20))
PY
t1=$(now)
echo "stored_extract: reference $(rate "$stored" "$t0" "$t1") MiB/s"

t0=$(now)
for f in "$dir"/lzma_ref/*.lzma; do xz --format=lzma -dc "$f" > "$dir/ref_out.bin"; done
t1=$(now)
echo "lzma_extract: reference $(rate "$lzma" "$t0" "$t1") MiB/s"

t0=$(now); xz --format=lzma -dc "$dir/index.lzma" > /dev/null; t1=$(now)
echo "index_open: reference $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", (b - a) * 1000 }') ms"
rm -f "$dir/ref_out.bin"
