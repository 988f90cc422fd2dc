#!/usr/bin/env bash
# Reference tools on the files bench_checksum wrote into $1.
set -euo pipefail
exec python3 - "$1" <<'PY'
import subprocess, sys, time, zlib
d = sys.argv[1]

def timed(fn):
    t = time.perf_counter(); value = fn(); return time.perf_counter() - t, value

data = open(d + "/md5.bin", "rb").read()
secs, crc = timed(lambda: zlib.crc32(data))
print("crc32: reference %.1f MB/s (Python zlib.crc32, crc %08x)" % (256 / secs, crc))
del data
run = lambda *cmd: subprocess.run(cmd, check=True, stdout=subprocess.PIPE).stdout
secs, out = timed(lambda: run("md5sum", d + "/md5.bin"))
print("md5: reference %.1f MB/s (md5sum, %s)" % (256 / secs, out.split()[0].decode()))
secs, _ = timed(lambda: subprocess.run(["xz", "--format=lzma", "-dc", d + "/lzma.lzma"], check=True,
                                       stdout=subprocess.DEVNULL))
print("lzma_decode: reference %.1f MB/s (xz --format=lzma -d)" % (50 / secs))
PY
