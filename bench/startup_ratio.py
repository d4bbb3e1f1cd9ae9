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
    env = dict(os.environ, DISPLAY=display, QTWEBENGINE_DISABLE_SANDBOX="1")
    env.pop("QT_QPA_PLATFORM", None)
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(cwd, "stderr.log"), "ab"))
    try:
        while not visible(display, name):
            if time.perf_counter() - start > 30:
                raise RuntimeError("no window from " + argv[0])
            time.sleep(0.005)
        return time.perf_counter() - start
    finally:
        proc.terminate()
        proc.wait()


def main():
    display = ":91"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)
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
        print(open(os.path.join(folder, "stderr.log"), errors="replace").read()[-1500:]) if os.environ.get("SHOW_LOG") else None
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
