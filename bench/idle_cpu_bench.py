#!/usr/bin/env python3
"""Idle benchmark: the client's processor use while connected and idle.

Starts the stand-in service and the client (simulated dialer, offscreen platform, auto-connect
with the demo account), waits until the client reports the connection, then measures the
processor time the client uses over SECONDS (default 60) and prints it as a share of one core
(target: at most 0.5 %).

Usage: bench/idle_cpu_bench.py [BUILD_DIR] [SECONDS]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks  # utime + stime


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
    with tempfile.TemporaryDirectory() as folder:
        service = subprocess.Popen(
            [os.path.join(build, "src/service/tunvik-service"), "--data", f"{folder}/data",
             "--api-port", "0", "--web-port", "0", "--update-port", "0"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", TUNVIK_DIALER="sim",
                   XDG_RUNTIME_DIR=folder, HOME=folder)
        for line in service.stdout:
            if line.startswith("  export "):
                name, value = line.split(None, 1)[1].strip().split("=", 1)
                env[name] = value
            if line.strip() == "ready":
                break
        client_dir = os.path.join(folder, "client")
        os.mkdir(client_dir)
        client_path = os.path.join(client_dir, "Quoril_10.6")
        shutil.copy2(os.path.join(build, "tunvik"), client_path)
        with open(os.path.join(client_dir, "XolConfig.ini"), "w") as ini:
            ini.write("[AccountConfig]\nAccount=demo\nPassword=demo123\n"
                      "[HostConfig]\nXOLNO=1\nHost=127.0.0.1\nAutoConnect=1\n")
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
