#!/usr/bin/env python3
"""colour_check.py DISPLAY_FILE FOLDER WORK EMULATOR LAUNCHER PROBE

Starts the launcher (with "zarn_restart") from a copy of FOLDER on the
16-bit display named in DISPLAY_FILE, has the probe read and close its box
from the test display, and passes when the box is the colour warning and
the launcher then ends with exit code 0 without showing a window."""
import os
import shutil
import subprocess
import sys


def main(argv):
    if len(argv) != 7:
        print(__doc__)
        return 2
    display_file, folder, work, emulator, launcher, probe = argv[1:]
    display = open(display_file).read().strip()
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(folder, work)
    shutil.copy(launcher, os.path.join(work, "zarn_launcher.exe"))
    env = dict(os.environ, DISPLAY=display)
    if "ZARN_WINE32_DISPLAY" in env:
        env["ZARN_WINE32_DISPLAY"] = display
    run = subprocess.Popen([emulator, os.path.join(work, "zarn_launcher.exe"), "zarn_restart"], cwd=work, env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # Bounds for the 32-bit programs, emulated on a busy machine.
        box = subprocess.run([emulator, probe, "box", "zarn_launcher.exe", "120000"], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=240)
        try:
            code = run.wait(timeout=120)
        except subprocess.TimeoutExpired:
            code = None
    finally:
        if run.poll() is None:
            run.kill()
    out = box.stdout.decode("gbk", "replace")
    print(out)
    failures = []
    if "caption: Launcher" not in out:
        failures.append("no box captioned Launcher")
    if "抱歉! 本游戏暂时只支持  真彩色(32 位)  的屏幕颜色显示模式" not in out:
        failures.append("not the colour warning")
    if code is None:
        failures.append("the launcher did not end within 120 s of its box")
    elif code != 0:
        failures.append("exit code %d, expected 0" % code)
    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
