#!/usr/bin/env python3
"""demo_run.py SERVER DEMO RUN BUILD WHAT: the Wine half of tools/demo.

The client at 1.0.0.1 from the update kit's server (SERVER, already served)
gets the launcher's skins and layout, the launcher and the demo's game
program; the launcher runs there through RUN (tools/wine-run or
tools/wine32-run) until "更新完成", the window is saved as DEMO/launcher.png,
WM_START_GAME hands over as the page would, and the last line names the old
and new client versions and whether the game started."""
import os
import re
import subprocess
import sys
import time

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(TOP, "tests", "client", "launcher_new", "app"))
import launcher_run  # noqa: E402

DONE = "更新完成"


def client_version(client):
    text = open(os.path.join(client, "LauncherCfg", "UpdateCfg.xml"), "rb").read().decode("gbk", "replace")
    found = re.search(r"<Version>([^<]*)</Version>", text)
    return found.group(1) if found else "?"


def read_gbk(path):
    try:
        return open(path, "rb").read().decode("gbk", "replace")
    except OSError:
        return ""


def main(argv):
    if len(argv) != 6:
        print(__doc__)
        return 2
    server, demo, run, build, what = argv[1:]
    launcher = os.path.join(build, "client", "launcher_new", "app", "zarn_launcher.exe")
    tools = os.path.join(build, "tests", "client", "launcher_new", "app")
    fake, probe = os.path.join(tools, "fake_program.exe"), os.path.join(tools, "launcher_probe.exe")
    client = os.path.join(demo, "client")
    launcher_run.make_client(server, client, "good", launcher,
                             {"fake_game.exe": fake, "tunedesk.exe": fake, "Quickmend.exe": fake})
    old = client_version(client)
    shot = os.path.join(demo, "launcher.png")
    if os.path.exists(shot):
        os.remove(shot)
    print("demo: client at %s in %s; starting zarn_launcher" % (old, client), flush=True)
    log = open(os.path.join(demo, "launcher.log"), "wb")
    process = subprocess.Popen([run, os.path.join(client, "zarn_launcher.exe")], cwd=client,
                               stdout=log, stderr=subprocess.STDOUT)
    started = False
    try:
        # The status lines as the panel shows them, until the update is done.
        watch = subprocess.Popen([run, probe, "wait-status", launcher_run.CAPTION, DONE, "300000"],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        for line in watch.stdout:
            print("demo: " + line.decode("gbk", "replace").rstrip(), flush=True)
        done = watch.wait() == 0
        if done:
            time.sleep(0.5)  # the bars' next repaint
            launcher_run.probe(run, probe, "shot", launcher_run.CAPTION, "Z:" + shot)
            print("demo: window saved as %s" % shot, flush=True)
            launcher_run.probe(run, probe, "send", launcher_run.CAPTION, launcher_run.WM_START_GAME)
        else:
            print("demo: the launcher did not reach %s" % DONE, flush=True)
        try:
            process.wait(timeout=60 if done else 5)
        except subprocess.TimeoutExpired:
            process.kill()
        line = launcher_run.wait_line(os.path.join(client, "fake_game.exe.cmdline"), 60 if done else 0)
        started = line is not None
        if started:
            print("demo: the game program received: " + line.decode("gbk", "replace").strip())
            rows = read_gbk(os.path.join(client, "server_list.ini")).splitlines()
            print("demo: the launcher wrote server_list.ini for it: %d rows (stored scrambled)" % len(rows))
    finally:
        if process.poll() is None:
            process.kill()
    new = client_version(client)
    print("demo: client %s -> %s, game %s (%s)" % (old, new, "started" if started else "NOT started", what))
    return 0 if started and new != old else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
