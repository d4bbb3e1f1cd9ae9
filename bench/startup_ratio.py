#!/usr/bin/env python3
"""Time from process start to the main window shown, for quillrun and for a minimal Qt
WebEngine window program started the same way, under Xvfb; prints the median of each and their
ratio (target: at most 1.3)."""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
RUNS = int(os.environ.get("RUNS", "5"))


def visible(display, name):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                         env=dict(os.environ, DISPLAY=display), capture_output=True, text=True)
    return out.returncode == 0 and out.stdout.strip() != ""


def time_to_window(display, argv, name, cwd):
    # Each start gets run folders of its own: the program allows one instance per user and
    # keeps its lock and socket in the folder --instance-dir names.
    runtime = tempfile.mkdtemp(prefix="quillrun-startup-run-")
    os.chmod(runtime, 0o700)
    env = dict(os.environ, DISPLAY=display, QTWEBENGINE_DISABLE_SANDBOX="1", TMPDIR=runtime,
               XDG_RUNTIME_DIR=runtime)
    env.pop("QT_QPA_PLATFORM", None)
    if os.path.basename(argv[0]) == "quillrun":
        argv = argv + ["--instance-dir", runtime]
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(cwd, "stderr.log"), "ab"))
    try:
        while not visible(display, name):
            if proc.poll() is not None:
                raise RuntimeError(f"{argv[0]} ended with {proc.returncode} before its window "
                                   "showed (see stderr.log with SHOW_LOG=1)")
            if time.perf_counter() - start > 30:
                raise RuntimeError("no window from " + argv[0])
            time.sleep(0.005)
        return time.perf_counter() - start
    finally:
        proc.terminate()
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        shutil.rmtree(runtime, ignore_errors=True)


def free_display():
    for n in range(91, 140):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return f":{n}"
    raise RuntimeError("no free X display number")


def start_xvfb(display):
    # -noreset: the server must not restart when the last client leaves, which it would do
    # between two timed starts and make the next one fail to connect.
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-noreset"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 10
    while not os.path.exists(f"/tmp/.X11-unix/X{display[1:]}"):
        if xvfb.poll() is not None or time.time() > deadline:
            raise RuntimeError("Xvfb did not start on " + display)
        time.sleep(0.05)
    return xvfb


def main():
    display = free_display()
    xvfb = start_xvfb(display)
    folder = tempfile.mkdtemp(prefix="quillrun-startup-")
    try:
        shutil.copytree(os.path.join(BUILD, "dist"), folder, dirs_exist_ok=True)
        ours, theirs = [], []
        for _ in range(RUNS):
            ours.append(time_to_window(display, [os.path.join(folder, "quillrun")], "KESTREL",
                                       folder))
            theirs.append(time_to_window(display,
                                         [os.path.join(BUILD, "bench", "minimal_webengine_window")],
                                         "minimal-webengine-window", folder))
        a, b = statistics.median(ours), statistics.median(theirs)
        print(f"quillrun: {a * 1000:.0f} ms, minimal WebEngine window: {b * 1000:.0f} ms, "
              f"ratio {a / b:.2f} (target <= 1.30)")
    finally:
        xvfb.terminate()
        log = os.path.join(folder, "stderr.log")
        if os.environ.get("SHOW_LOG") and os.path.exists(log):
            print(open(log, errors="replace").read()[-1500:])
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
