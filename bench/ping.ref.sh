#!/usr/bin/env bash
# Reference for bench_ping: a Python asyncio client connects to the same echo
# peer (FOLDER/ports), sends each connection one scrambled 14-byte ping, reads
# the answer and closes, all connections at once; median of three runs.
set -euo pipefail
exec python3 - "$1" <<'PY'
import asyncio, statistics, struct, sys, time

folder = sys.argv[1]
port = int(dict(l.split() for l in open(folder + "/ports"))["echo"])
ping = bytes(b ^ 0x4E for b in struct.pack("<IBHHBI", 14, 0, 0, 0x0805, 0, 12345))


async def one():
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    writer.write(ping)
    await reader.readexactly(14)
    writer.close()
    await writer.wait_closed()


async def run(n):
    start = time.perf_counter()
    await asyncio.gather(*(one() for _ in range(n)))
    return (time.perf_counter() - start) * 1000


for n in (16, 500, 2000):
    ms = statistics.median(asyncio.run(run(n)) for _ in range(3))
    print("ping%d: reference %.1f ms (asyncio)" % (n, ms))
PY
