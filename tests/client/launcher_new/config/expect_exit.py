#!/usr/bin/env python3
"""expect_exit.py CODE REQUIRED FORBIDDEN COMMAND...

Runs COMMAND and passes when it ends with exit code CODE (as Linux sees it),
its output holds every "|"-separated part of REQUIRED and not FORBIDDEN."""
import subprocess
import sys


def main(argv):
    if len(argv) < 5:
        print(__doc__)
        return 2
    code, required, forbidden, command = int(argv[1]), argv[2].split("|"), argv[3], argv[4:]
    try:
        run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=240)
    except subprocess.TimeoutExpired:
        print("FAIL: no end within 240 s")
        return 1
    out = run.stdout
    sys.stdout.write(out.decode("utf-8", "replace"))
    failures = []
    if run.returncode != code:
        failures.append("exit code %d, expected %d" % (run.returncode, code))
    failures += ["missing %r" % part for part in required if part.encode() not in out]
    if forbidden and forbidden.encode() in out:
        failures.append("found %r" % forbidden)
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
