"""Running zarn_launcher.exe from Linux against the update kit's server
(tests/fixtures/update.py): a client folder with the launcher's own files,
the probe that reads its windows, and its processes as Linux sees them.
Used by the restart check and by tools/demo."""
import os
import shutil
import subprocess
import sys
import time

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "..", ".."))
sys.path.insert(0, os.path.join(TOP, "tests", "fixtures"))
import launcher_ui  # noqa: E402

CAPTION = "赞恩登录器"
WM_START_GAME = 2029


def set_tree(ini_path, port, tree):
    """Points launcher.ini's server-list addresses at one tree of the server."""
    host = "http://127.0.0.1:%d/%s" % (port, tree)
    lines = open(ini_path, "rb").read().decode("gbk").splitlines()
    out = []
    for line in lines:
        if line.startswith("URL="):
            line = "URL=%s/serverlist" % host
        elif line.startswith("BackURL="):
            line = "BackURL=%s/backup/serverlist" % host
        out.append(line)
    open(ini_path, "wb").write(("\r\n".join(out) + "\r\n").encode("gbk"))


def copy_folding_case(src, dest):
    """Copies a tree the way Windows would hold it: folders whose names differ
    only in case ("Data" and "data" from the kit) become one, else Wine finds
    one or the other. The files are dated a day back, as an installed client
    is older than the server's files (a file of the same size and second as
    the server's counts as current and is not fetched)."""
    day_before = time.time() - 86400
    spelt = {}
    for folder, _, names in os.walk(src):
        rel = os.path.relpath(folder, src)
        parts = [] if rel == "." else rel.split(os.sep)
        merged = []
        for part in parts:
            merged.append(spelt.setdefault(os.path.join(*merged, part).lower() if merged else part.lower(), part))
        target = os.path.join(dest, *merged)
        os.makedirs(target, exist_ok=True)
        for name in names:
            shutil.copyfile(os.path.join(folder, name), os.path.join(target, name))
            os.utime(os.path.join(target, name), (day_before, day_before))


def make_client(server_dir, dest, tree, launcher_exe, programs):
    """A copy of the server's client at 1.0.0.1 with the launcher's skins,
    layout and settings, the launcher program, and the stand-ins named in
    programs ({file name: program to copy})."""
    shutil.rmtree(dest, ignore_errors=True)
    copy_folding_case(os.path.join(server_dir, "client"), dest)
    launcher_ui.install_ui(dest)
    shutil.copy(launcher_exe, os.path.join(dest, "zarn_launcher.exe"))
    for name, program in programs.items():
        shutil.copy(program, os.path.join(dest, name))
    port = int(open(os.path.join(server_dir, "port")).read())
    set_tree(os.path.join(dest, "launcher.ini"), port, tree)
    return port


def probe(emulator, probe_exe, *args, timeout=300):
    """The probe's exit code and output (GBK decoded)."""
    run = subprocess.run([emulator, probe_exe] + [str(a) for a in args], stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, timeout=timeout)
    return run.returncode, run.stdout.decode("gbk", "replace")


def launcher_processes(folder_part):
    """(pid, command line) of running launchers whose command line names a
    program in a folder containing folder_part."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            line = open("/proc/%s/cmdline" % pid, "rb").read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        program = line.split(" ", 1)[0]
        if "zarn_launcher.exe" in line and folder_part in line.replace("\\", "/") and "wine-relay" not in line \
                and "wine32-run" not in line and "unshare" not in line and "python" not in program:
            found.append((int(pid), line.strip()))
    return found


def run_to_end(emulator, work, seconds=240):
    """Starts the folder's launcher as the player does and waits for it to
    end: its exit code as Linux sees it, or None when it did not end."""
    first = subprocess.Popen([emulator, os.path.join(work, "zarn_launcher.exe")], cwd=work,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return first.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        first.kill()
        return None


def hand_over_login(emulator, probe_exe):
    """Sends the page's hand-over to the launcher's window and waits until no
    launcher runs; false, with what went wrong, when the hand-over reached
    no window or launchers stayed (the probe ends those)."""
    sent, out = probe(emulator, probe_exe, "send", CAPTION, WM_START_GAME)
    if sent != 0:
        print("the hand-over reached no launcher window (probe ended with %d): %s" % (sent, out.strip()))
    left, out = probe(emulator, probe_exe, "gone", "zarn_launcher.exe", 120000)
    if left != 0:
        print("launchers still running after the hand-over (probe ended with %d): %s" % (left, out.strip()))
    return sent == 0 and left == 0


def wait_line(path, seconds=120):
    """What a program started a moment ago wrote to path, once a whole line
    is there (bytes), or None when none came: the program makes the file
    before it writes to it."""
    end = time.time() + seconds
    while True:
        try:
            text = open(path, "rb").read()
        except OSError:
            text = b""
        if b"\n" in text:
            return text
        if time.time() > end:
            return None
        time.sleep(0.1)
