#!/usr/bin/env bash
# Reference tools on the files bench_core wrote into $1.
set -euo pipefail
exec python3 - "$1" <<'PY'
import subprocess, sys, time, zlib
d = sys.argv[1]

def timed(fn):
    t = time.perf_counter(); fn(); return time.perf_counter() - t

data = open(d + "/md5.bin", "rb").read()
print("crc32: reference %.1f MB/s (Python zlib.crc32)" % (256 / timed(lambda: zlib.crc32(data))))
del data
run = lambda *cmd: subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
print("md5: reference %.1f MB/s (md5sum)" % (256 / timed(lambda: run("md5sum", d + "/md5.bin"))))
print("lzma_decode: reference %.1f MB/s (xz --format=lzma -d)"
      % (50 / timed(lambda: run("xz", "--format=lzma", "-dc", d + "/lzma.lzma"))))
PY
