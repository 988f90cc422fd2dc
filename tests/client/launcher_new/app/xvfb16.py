#!/usr/bin/env python3
"""xvfb16.py start|stop DIR

A display in 16-bit colour for the launcher's colour-depth check: start
writes its number to DIR/display (":N"), stop ends it."""
import os
import signal
import subprocess
import sys


def main(argv):
    if len(argv) != 3 or argv[1] not in ("start", "stop"):
        print(__doc__)
        return 2
    d = argv[2]
    os.makedirs(d, exist_ok=True)
    pid_file = os.path.join(d, "pid")
    if argv[1] == "stop":
        try:
            os.kill(int(open(pid_file).read()), signal.SIGTERM)
        except (OSError, ValueError):
            pass
        return 0
    r, w = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x16", "-nolisten", "tcp"],
                            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    os.close(w)
    number = b""
    with os.fdopen(r, "rb") as pipe:
        number = pipe.readline().strip()
    if not number:
        proc.kill()
        print("Xvfb gave no display")
        return 1
    open(pid_file, "w").write(str(proc.pid))
    open(os.path.join(d, "display"), "w").write(":" + number.decode())
    print("16-bit display :" + number.decode())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
