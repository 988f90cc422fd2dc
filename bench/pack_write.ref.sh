# Reference figures for bench_pack_write, on the files it wrote.
# Usage: sh bench/pack_write.ref.sh [folder] (the folder the bench program was given).
dir=${1:-bench_pack_w}
now() { date +%s.%N; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) * 1000 }'; }

t0=$(now); cp "$dir/data_ref.bin" "$dir/ref_copy.bin"; sync -f "$dir/ref_copy.bin"; t1=$(now)
echo "compact: reference $(ms "$t0" "$t1") ms"
rm -f "$dir/ref_copy.bin"
t0=$(now); cp "$dir/data_ref.bin" "$dir/ref_copy.bin"; sync -f "$dir/ref_copy.bin"; t1=$(now)
echo "merge_pack: reference $(ms "$t0" "$t1") ms"
rm -f "$dir/ref_copy.bin"

t0=$(now); xz --format=lzma -5 -c "$dir/index_image.bin" > "$dir/ref_index.lzma"; t1=$(now)
echo "index_save: reference $(ms "$t0" "$t1") ms"
rm -f "$dir/ref_index.lzma"
