"""What the benchmarks that run the whole client share: the stand-in service on free loopback
ports, and the client placed under its release name with the demo account."""
import os
import shutil
import subprocess
import threading


def start_service(build, folder):
    """Starts tunvik-service with its data in FOLDER/data; returns the process and the
    environment (the TUNVIK_* values it prints) that points a client at it."""
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
    # Its log is read on, so that the service never blocks on a full pipe.
    threading.Thread(target=lambda: [None for _ in service.stdout], daemon=True).start()
    return service, env


def place_client(build, folder, host_config):
    """Copies the client to FOLDER/client/Quoril_10.6 with the demo account and HOST_CONFIG (the
    lines of [HostConfig]) in its settings file; returns its path."""
    client_dir = os.path.join(folder, "client")
    os.mkdir(client_dir)
    client_path = os.path.join(client_dir, "Quoril_10.6")
    shutil.copy2(os.path.join(build, "tunvik"), client_path)
    with open(os.path.join(client_dir, "XolConfig.ini"), "w") as ini:
        ini.write("[AccountConfig]\nAccount=demo\nPassword=demo123\n[HostConfig]\n" + host_config)
    return client_path
