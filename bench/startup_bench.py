#!/usr/bin/env python3
"""Start-up benchmark: the client against a bare Qt dialog of the same size, side by side.

The bare dialog draws no text at all; the first text drawn in a Chinese font costs more than
the rest of the client's start-up, so the same dialog with one line of text is measured too.

Measures, for each program, the time from the start of the process until its main window is
shown, and its resident memory two seconds after the start. Prints the medians and the ratios
(target: at most 1.2 for both). Runs on the offscreen platform, each client in a folder of its
own so that its settings file is a fresh one.

Usage: bench/startup_bench.py [BUILD_DIR] [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def measure(program, runs, args=()):
    startups, memories = [], []
    for _ in range(runs):
        with tempfile.TemporaryDirectory() as folder:
            copy = os.path.join(folder, os.path.basename(program))
            shutil.copy2(program, copy)
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", TUNVIK_REPORT_SHOWN="1",
                       XDG_RUNTIME_DIR=folder, HOME=folder)
            started = time.monotonic()
            proc = subprocess.Popen([copy, *args], stderr=subprocess.PIPE, env=env, cwd=folder)
            shown = None
            for line in proc.stderr:
                if b"window shown" in line:
                    shown = time.monotonic()
                    break
            if shown is None:
                raise SystemExit(f"{program}: window never shown")
            time.sleep(max(0.0, started + 2.0 - time.monotonic()))
            with open(f"/proc/{proc.pid}/status") as status:
                rss = next(int(l.split()[1]) for l in status if l.startswith("VmRSS:"))
            proc.kill()
            proc.wait()
            startups.append((shown - started) * 1000.0)
            memories.append(rss)
    return statistics.median(startups), statistics.median(memories)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    client = measure(os.path.join(build, "tunvik"), runs)
    bare = measure(os.path.join(build, "bench-bare-dialog"), runs)
    label = measure(os.path.join(build, "bench-bare-dialog"), runs, ["--label"])
    print(f"{'program':<12}{'start-up (ms)':>16}{'memory (KiB)':>16}")
    print(f"{'client':<12}{client[0]:>16.1f}{client[1]:>16}")
    print(f"{'bare dialog':<12}{bare[0]:>16.1f}{bare[1]:>16}")
    print(f"{'ratio':<12}{client[0] / bare[0]:>16.2f}{client[1] / bare[1]:>16.2f}"
          "   (target: at most 1.20 each)")
    print(f"{'with text':<12}{label[0]:>16.1f}{label[1]:>16}"
          "   (the bare dialog with one line of Chinese text, for reference)")
    print(f"{'ratio':<12}{client[0] / label[0]:>16.2f}{client[1] / label[1]:>16.2f}"
          "   (client against the bare dialog with text)")


if __name__ == "__main__":
    main()
