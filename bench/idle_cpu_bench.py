#!/usr/bin/env python3
"""Idle benchmark: the client's processor use while connected and idle.

Starts the stand-in service and the client (simulated dialer, offscreen platform, auto-connect
with the demo account), waits until the client reports the connection, then measures the
processor time the client uses over SECONDS (default 60) and prints it as a share of one core
(target: at most 0.5 %).

Usage: bench/idle_cpu_bench.py [BUILD_DIR] [SECONDS]
"""
import os
import subprocess
import sys
import tempfile

import time

from bench_support import place_client, start_service


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks  # utime + stime


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
    with tempfile.TemporaryDirectory() as folder:
        service, env = start_service(build, folder)
        client_path = place_client(build, folder, "XOLNO=1\nHost=127.0.0.1\nAutoConnect=1\n")
        client = subprocess.Popen([client_path], stderr=subprocess.PIPE, env=env, text=True)
        try:
            deadline = time.monotonic() + 30
            for line in client.stderr:
                if "服务器连接成功" in line:
                    break
                if time.monotonic() > deadline:
                    raise SystemExit("the client did not connect")
            # Let the start-up work settle, and keep reading its output so it never blocks.
            subprocess.Popen(["cat"], stdin=client.stderr, stdout=subprocess.DEVNULL)
            time.sleep(2)
            start_cpu, start = cpu_seconds(client.pid), time.monotonic()
            time.sleep(seconds)
            used, elapsed = cpu_seconds(client.pid) - start_cpu, time.monotonic() - start
            print(f"processor use while connected and idle: {100 * used / elapsed:.3f} % of one"
                  f" core over {elapsed:.0f} s (target: at most 0.5 %)")
        finally:
            client.kill()
            client.wait()
            service.terminate()
            service.wait()


if __name__ == "__main__":
    main()
