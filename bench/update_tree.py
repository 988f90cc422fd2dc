#!/usr/bin/env python3
"""The tree of bench_update, from the fixture kit's formats:

  update_tree.py DIR   (nginx.py start DIR serves DIR/www)

DIR/www/bench/patch/update/<step>/<step>.pkg(1)   two steps of 20 MiB patches
DIR/steps.txt       "<step name> <md5 of its data file>"
DIR/client/         the client packs the patches go into, and 1,000 files of
                    500 KiB in client/files
DIR/checksums.txt   their checksums, in the form of md5sum -c
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures"))
import kitlib  # noqa: E402
import patch  # noqa: E402
from update import NEWEST, md5, temp_files, write_patch  # noqa: E402


def gen(d):
    """Stored packs (lz 0) throughout: the benchmark measures our work on the
    bytes, not Python's encoder."""
    rng = kitlib.rng_for("bench")
    steps = []
    for cur, nxt, pack in (("1.0.0.1", "1.0.0.2", "data/006"), ("1.0.0.2", NEWEST, "data/008")):
        files = [("data/big/%s_%02d.bin" % (nxt, i), rng.randbytes(1 << 20)) for i in range(20)]
        touched = {pack: (0, files)}
        temp = temp_files([("bench/%s.txt" % nxt, b"step\n")], [patch.file_el("old.txt", 3)], touched)
        tdata, tindex = patch.pack_bytes(temp, 0)
        pdata, pindex = patch.pack_bytes(files, 0)
        pair = patch.pack_bytes([("temppack.pkg", tdata), ("temppack.pkg1", tindex), (pack + ".pkg", pdata),
                                 (pack + ".pkg1", pindex)], 0)
        write_patch(os.path.join(d, "www"), "bench", cur, nxt, pair)
        steps.append("%s_%s %s" % (cur, nxt, md5(pair[0])))
    for pack in ("data/006", "data/008"):
        patch.write_pack(os.path.join(d, "client", pack), patch.pack_bytes([("data/small/a.bin", b"a" * 100)], 0))
    lines = []
    for i in range(1000):
        data = rng.randbytes(500 << 10)
        name = "files/f%04d.bin" % i
        kitlib.write(os.path.join(d, "client", name), data)
        lines.append("%s  %s" % (md5(data), name))
    kitlib.write(os.path.join(d, "checksums.txt"), ("\n".join(lines) + "\n").encode())
    kitlib.write(os.path.join(d, "steps.txt"), ("\n".join(steps) + "\n").encode())
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(gen(sys.argv[1]))
