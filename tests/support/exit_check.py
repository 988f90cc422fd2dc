#!/usr/bin/env python3
"""exit_check.py RUNNER PROGRAM TEST WORK

A test program whose test passed ends with 0 also when its exit is slow, as
the emulated 32-bit programs' may be on a loaded machine: every process of
the run is held a second at its exit (strace), and Wine's server kills one it
still finds half a second after the process said goodbye to it."""
import os
import shutil
import subprocess
import sys


def main(argv):
    if len(argv) != 5:
        print(__doc__)
        return 2
    runner, program, test, work = argv[1:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    # Where this machine forbids tracing, the hold cannot be made.
    if subprocess.run(["strace", "-f", "-qq", "-o", "/dev/null", "true"], stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL).returncode != 0:
        print("SKIP: strace cannot trace here")
        return 77
    held = ["strace", "-f", "-qq", "--seccomp-bpf", "-o", "/dev/null", "-e", "trace=exit_group",
            "-e", "inject=exit_group:delay_enter=1000000"]
    run = subprocess.run(held + [runner, program, "--gtest_filter=" + test], cwd=work, stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
    out = run.stdout.decode("utf-8", "replace")
    print(out)
    if "[  PASSED  ] 1 test." not in out:
        print("FAIL: the test did not pass")
        return 1
    if run.returncode != 0:
        print("FAIL: the program ended with %d after its test passed" % run.returncode)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
