#!/usr/bin/env python3
"""selfupdate_check.py SERVER WORK EMULATOR LAUNCHER PROBE FAKE QUICKMEND

The update kit's "oldlauncher" tree: its first step wants launcher 13 while
the client records 12. Passes when the launcher hands over to the real
Quickmend.exe, which fetches "<patch base>launcher/13.pak" from the server,
installs the package's launcher over the old one, records PatchVer 13 and
starts it, and that launcher runs the update to the end ("更新完成") and
starts the game when the page hands over the login."""
import os
import sys
import time

import launcher_run

sys.path.insert(0, os.path.join(launcher_run.TOP, "tests", "fixtures"))
import kitlib  # noqa: E402
import launcherpack  # noqa: E402

# Bytes after the program's image: Windows loads the program all the same,
# and they tell the installed launcher from the old copy.
MARK = b"zarn self-update package 13"


def main(argv):
    if len(argv) != 8:
        print(__doc__)
        return 2
    server, work, emulator, launcher, probe_exe, fake, quickmend = argv[1:]
    launcher_run.make_client(server, work, "oldlauncher", launcher,
                             {"fake_game.exe": fake, "tunedesk.exe": fake, "Quickmend.exe": quickmend})
    program = open(launcher, "rb").read() + MARK
    # Each build has its own server folder, so the package is this build's launcher.
    kitlib.write(os.path.join(server, "www", "good", "patch", "launcher", "13.pak"),
                 launcherpack.make(program, 13.0))
    failures = []
    code = launcher_run.run_to_end(emulator, work)
    if code is None:
        print("FAIL: the old launcher did not leave for the updater")
        return 1
    print("old launcher ended with %d" % code)
    rc, out = launcher_run.probe(emulator, probe_exe, "wait-status", launcher_run.CAPTION, "更新完成", 240000)
    print(out)
    if rc != 0:
        failures.append("the new launcher did not finish the update")
    installed = open(os.path.join(work, "zarn_launcher.exe"), "rb").read()
    if installed != program:
        failures.append("zarn_launcher.exe is not the package's program")
    if not launcher_run.hand_over_login(emulator, probe_exe):
        failures.append("the new launcher did not leave")
    update_cfg = open(os.path.join(work, "LauncherCfg", "UpdateCfg.xml"), "rb").read()
    if update_cfg.count(b"<PatchVer>") != 1 or b"<PatchVer>13.000</PatchVer>" not in update_cfg:
        failures.append("UpdateCfg.xml does not record PatchVer 13 once: %r" % update_cfg)
    if b"<Version>1.0.0.3</Version>" not in update_cfg:
        failures.append("the client is not at 1.0.0.3")
    if os.path.exists(os.path.join(work, "launcher.pak")) or os.path.exists(os.path.join(work, "zarn_launcher_new.exe")):
        failures.append("the package or the side file was left behind")
    if launcher_run.wait_line(os.path.join(work, "fake_game.exe.cmdline")) is None:
        failures.append("the game did not start")
    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    start = time.time()
    result = main(sys.argv)
    print("took %.1f s" % (time.time() - start))
    sys.exit(result)
