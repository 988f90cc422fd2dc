# Reference figure for bench_patch_apply: cp -r of the same files.
# Usage: sh bench/patch_apply.ref.sh [folder]
dir=${1:-bench_patch}
now() { date +%s.%N; }
rm -rf "$dir/ref_copy"
t0=$(now); cp -r "$dir/ref_files" "$dir/ref_copy"; t1=$(now)
echo "patch_apply: reference $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }') s"
rm -rf "$dir/ref_copy"
