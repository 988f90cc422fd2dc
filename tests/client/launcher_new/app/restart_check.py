#!/usr/bin/env python3
"""restart_check.py SERVER WORK EMULATOR LAUNCHER PROBE FAKE

The update kit's "restart" tree: its first step asks for a restart. Passes
when the launcher, started as the player starts it, ends with exit code 255
as Linux sees it, a launcher with "zarn_restart" on its command line runs
on in the same folder, finishes the update ("更新完成") and leaves when the
page hands over the login."""
import os
import sys

import launcher_run


def main(argv):
    if len(argv) != 7:
        print(__doc__)
        return 2
    server, work, emulator, launcher, probe_exe, fake = argv[1:]
    launcher_run.make_client(server, work, "restart", launcher,
                             {"fake_game.exe": fake, "tunedesk.exe": fake, "Quickmend.exe": fake})
    failures = []
    code = launcher_run.run_to_end(emulator, work)
    if code is None:
        print("FAIL: the first launcher did not end")
        return 1
    print("first launcher ended with %d" % code)
    if code != 255:
        failures.append("exit code %d, expected 255" % code)
    rc, out = launcher_run.probe(emulator, probe_exe, "wait-status", launcher_run.CAPTION, "更新完成", 240000)
    print(out)
    restarted = launcher_run.launcher_processes(os.path.abspath(work))
    print("running: %s" % restarted)
    if not any("zarn_restart" in line for _, line in restarted):
        failures.append("no launcher with zarn_restart runs")
    if rc != 0:
        failures.append("the restarted launcher did not finish the update")
    if not launcher_run.hand_over_login(emulator, probe_exe):
        failures.append("the restarted launcher did not leave")
    update_cfg = open(os.path.join(work, "LauncherCfg", "UpdateCfg.xml"), "rb").read()
    if b"<Version>1.0.0.3</Version>" not in update_cfg:
        failures.append("the client is not at 1.0.0.3")
    if launcher_run.wait_line(os.path.join(work, "fake_game.exe.cmdline")) is None:
        failures.append("the game did not start")
    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
