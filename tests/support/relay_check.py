#!/usr/bin/env python3
"""relay_check.py RUNNER WORK

The Wine runner (tools/wine-run, tools/wine32-run) passes on the output of
every program of a run, as a pipe would: a program that the first one
started and that writes after the first has ended is read too, and the
runner itself ends with the first program. The late writer here is a batch
file that writes once the file "held" is gone, which this check removes only
after the runner has ended."""
import os
import shutil
import subprocess
import sys
import threading

LATE = b"written after the first program ended"


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    runner, work = argv[1:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    held = os.path.join(work, "held")
    open(held, "w").close()
    with open(os.path.join(work, "late.bat"), "wb") as f:
        f.write(b"@echo off\r\n:held\r\nif not exist held goto written\r\nping -n 2 127.0.0.1 >nul\r\ngoto held\r\n"
                b":written\r\necho " + LATE + b"\r\n")
    run = subprocess.Popen([runner, "cmd", "/c", "start", "/b", "cmd", "/c", "late.bat"], cwd=work,
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = []
    reader = threading.Thread(target=lambda: output.append(run.stdout.read()), daemon=True)
    reader.start()
    try:
        code = run.wait(timeout=120)
    except subprocess.TimeoutExpired:
        print("FAIL: the runner did not end with its program: it waits for the batch file it started")
        run.kill()
        return 1
    os.remove(held)
    reader.join(120)
    if reader.is_alive():
        print("FAIL: the output did not end after the batch file had written")
        return 1
    print("runner ended with %d; output: %r" % (code, output[0]))
    if LATE not in output[0]:
        print("FAIL: the batch file's line is missing")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
