#!/usr/bin/env python3
"""Soak benchmark: the client redialling a connection that keeps dropping, for minutes on end.

Starts the stand-in service and the client (offscreen platform, simulated dialer whose
connection goes away DROP_MS after it came up, auto-connect with the demo account, offline
strategy 0: redial after 3 s), lets it run for MINUTES (default 10) and prints:
- logins per minute;
- the longest time between a drop and the next login (target: at most the redial pace, 3 s,
  plus 2 s);
- the client's resident memory, open file descriptors and threads at the start (after the
  first connection), after the first minute, in the middle and at the end (targets: no growth
  of descriptors or threads; resident memory growth under 1 MiB from the first minute on).

Usage: bench/soak_bench.py [BUILD_DIR] [MINUTES] [DROP_MS]
"""
import os
import re
import subprocess
import sys
import tempfile

import threading
import time

from bench_support import place_client, start_service

REDIAL_PACE_S = 3.0
LINE = re.compile(r"^\[(\d\d):(\d\d):(\d\d)\.(\d\d\d)\] (.*)$")


def sample(pid):
    with open(f"/proc/{pid}/status") as status:
        fields = dict(line.split(":", 1) for line in status if ":" in line)
    rss_kib = int(fields["VmRSS"].split()[0])
    threads = int(fields["Threads"])
    descriptors = len(os.listdir(f"/proc/{pid}/fd"))
    return rss_kib, descriptors, threads


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    drop_ms = int(sys.argv[3]) if len(sys.argv) > 3 else 4000
    with tempfile.TemporaryDirectory() as folder:
        service, env = start_service(build, folder)
        env["TUNVIK_SIM"] = f"drop:{drop_ms}"
        client_path = place_client(
            build, folder, "XOLNO=1\nHost=127.0.0.1\nAutoConnect=1\nOfflineStrategy=0\n")
        client = subprocess.Popen([client_path], stderr=subprocess.PIPE, env=env, text=True)
        events = []  # (seconds since midnight, text)
        connected = threading.Event()

        def read():
            for raw in client.stderr:
                match = LINE.match(raw.rstrip("\n"))
                if not match:
                    continue
                h, m, s, ms, text = match.groups()
                events.append((int(h) * 3600 + int(m) * 60 + int(s) + int(ms) / 1000, text))
                if "服务器连接成功" in text:
                    connected.set()

        reader = threading.Thread(target=read, daemon=True)
        reader.start()
        try:
            if not connected.wait(60):
                raise SystemExit("the client did not connect within a minute")
            samples = [("start", sample(client.pid))]
            total = minutes * 60
            began = time.monotonic()
            marks = [("after 1 min", min(60.0, total)), ("middle", total / 2), ("end", total)]
            for name, at in sorted(marks, key=lambda mark: mark[1]):
                time.sleep(max(0.0, began + at - time.monotonic()))
                if client.poll() is not None:
                    raise SystemExit(f"the client ended with status {client.returncode}")
                samples.append((name, sample(client.pid)))
            elapsed = time.monotonic() - began
        finally:
            client.kill()
            client.wait()
            service.terminate()
            service.wait()
        reader.join(5)

    logins = [t for t, text in events if text == "正在连接中！"]
    drops = [t + drop_ms / 1000 for t, text in events if text == "连接成功"]
    gaps = []
    for drop in drops:
        later = [t for t in logins if t > drop]
        if later:
            gaps.append(later[0] - drop)
    print(f"soak: {elapsed / 60:.1f} min, connection dropping {drop_ms} ms after it comes up,"
          f" offline strategy 0")
    print(f"logins: {len(logins)} ({len(logins) / (elapsed / 60):.1f} per minute),"
          f" drops: {len(drops)}")
    if gaps:
        print(f"drop to next login: longest {max(gaps):.2f} s, median"
              f" {sorted(gaps)[len(gaps) // 2]:.2f} s (target: at most"
              f" {REDIAL_PACE_S + 2:.1f} s)")
    print(f"{'':12} {'RSS KiB':>10} {'fds':>6} {'threads':>8}")
    for name, (rss, fds, threads) in samples:
        print(f"{name:12} {rss:>10} {fds:>6} {threads:>8}")
    first_minute = dict(samples)["after 1 min"]
    end = dict(samples)["end"]
    start = dict(samples)["start"]
    print(f"growth after the first minute: RSS {end[0] - first_minute[0]:+d} KiB (target: under"
          f" 1024), fds {end[1] - start[1]:+d}, threads {end[2] - start[2]:+d} (targets: none)")
    met = (gaps and max(gaps) <= REDIAL_PACE_S + 2 and end[0] - first_minute[0] < 1024 and
           end[1] <= start[1] and end[2] <= start[2])
    print("targets met" if met else "TARGETS MISSED")


if __name__ == "__main__":
    main()
