#!/usr/bin/env python3
"""Checks the client's Debian package as a user of it would meet it.

Usage: check_package.py DEB BUILD_DIR

The package's control fields and file list; its Depends against the libraries the program links
and the tools it runs; its menu entry, AppStream data and icons; lintian. Then the installed
layout, without installing anything on this machine: the package is extracted into a temporary
folder and its client run from there as an unprivileged user (nobody, when this runs as root)
with a home and XDG folders of its own: once on Qt's offscreen platform against the stand-in
service announcing a newer version, once on a virtual display (Xvfb) where xdotool clicks its
autostart box. Last, the package is installed into and removed from a private dpkg root.
Prints one line per check and "package: N passed, N failed"; exits 1 when a check failed.
"""

import json
import os
import pwd
import re
import select
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

# Every file the package holds; anything else (a test, a build file, the stand-in service) is a
# fault.
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
EXPECTED_FILES = {
    "/usr/bin/tunvik",
    "/usr/share/applications/tunvik.desktop",
    "/usr/share/metainfo/org.tunvik.client.metainfo.xml",
    "/usr/share/icons/hicolor/scalable/apps/tunvik.svg",
    "/usr/share/tunvik/installed",
    "/usr/share/doc/tunvik/copyright",
    "/usr/share/doc/tunvik/changelog.gz",
    "/usr/share/man/man1/tunvik.1.gz",
} | {f"/usr/share/icons/hicolor/{s}x{s}/apps/tunvik.png" for s in ICON_SIZES}

# Tools the client runs, and what it needs of them.
CALLED_TOOLS = ("ss", "ip", "busctl", "systemctl")
DIALOG_FONT = "WenQuanYi Micro Hei"
RECOMMENDED = ("network-manager-l2tp", "network-manager-pptp")

UPDATE_STATUS = "发现新版本 10.7! 请通过系统的软件包管理器更新本程序"
WAIT = 90  # seconds: a generous bound for anything the client does on a loaded machine

CHECKS = []


def check(function):
    CHECKS.append(function)
    return function


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def run(args, **kwargs):
    """Runs a command and returns its result; output is captured as text."""
    kwargs.setdefault("capture_output", True)
    kwargs.setdefault("text", True)
    kwargs.setdefault("timeout", 600)
    return subprocess.run(args, check=False, **kwargs)


def wait_for(condition, seconds=WAIT, interval=0.1):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(interval)
    return condition()


class Package:
    """The package under test, extracted into a temporary folder."""

    def __init__(self, deb, build, work):
        self.deb = os.path.abspath(deb)
        self.build = os.path.abspath(build)
        self.work = work
        self.version = self._project_version()
        self.control = self._control()
        self.entries = self._entries()
        self.root = os.path.join(work, "root")
        os.mkdir(self.root)
        result = run(["dpkg-deb", "-x", self.deb, self.root])
        if result.returncode != 0:
            raise SystemExit(f"dpkg-deb -x failed: {result.stderr}")
        self.program = os.path.join(self.root, "usr/bin/tunvik")

    def _project_version(self):
        with open(os.path.join(self.build, "CMakeCache.txt"), encoding="utf-8") as cache:
            for line in cache:
                if line.startswith("CMAKE_PROJECT_VERSION:"):
                    return line.split("=", 1)[1].strip()
        raise SystemExit("no project version in the build's CMakeCache.txt")

    def _control(self):
        text = run(["dpkg-deb", "-f", self.deb]).stdout
        fields, name = {}, None
        for line in text.splitlines():
            if line.startswith((" ", "\t")) and name:
                fields[name] += "\n" + line
            elif ":" in line:
                name, value = line.split(":", 1)
                fields[name] = value.strip()
        return fields

    def _entries(self):
        """The package's members: path -> (mode text, owner/group, link target)."""
        entries = {}
        for line in run(["dpkg-deb", "-c", self.deb]).stdout.splitlines():
            parts = line.split(None, 5)
            path = parts[5]
            target = None
            if " -> " in path:
                path, target = path.split(" -> ", 1)
            path = "/" + path.lstrip("./").rstrip("/")
            entries[path] = (parts[0], parts[1], target)
        return entries

    def relations(self, field):
        """The package names of a relation field, alternatives included, versions dropped."""
        names = set()
        for alternative in re.split(r"[,|]", self.control.get(field, "")):
            name = re.sub(r"\(.*?\)|:any", "", alternative).strip()
            if name:
                names.add(name)
        return names


def owning_package(path):
    """The installed package that ships `path` (also under its other /usr-merged name)."""
    candidates = [path, os.path.realpath(path)]
    for p in list(candidates):
        if p.startswith("/usr/"):
            candidates.append(p[4:])
        else:
            candidates.append("/usr" + p)
    for p in candidates:
        result = run(["dpkg-query", "-S", p])
        if result.returncode == 0:
            return result.stdout.split(":", 1)[0].split(",")[0].strip()
    return None


# --- the package itself ---------------------------------------------------------------------


@check
def control_fields(pkg):
    c = pkg.control
    expect(c.get("Package") == "tunvik", f"Package is {c.get('Package')!r}")
    expect(c.get("Version") == pkg.version, f"Version {c.get('Version')!r} is not {pkg.version}")
    expect(c.get("Architecture") == "amd64", f"Architecture is {c.get('Architecture')!r}")
    expect(os.path.basename(pkg.deb) == f"tunvik_{pkg.version}_amd64.deb",
           f"file name {os.path.basename(pkg.deb)}")
    expect(c.get("Section") == "net", f"Section is {c.get('Section')!r}")
    expect(c.get("Priority") == "optional", f"Priority is {c.get('Priority')!r}")
    expect(re.fullmatch(r".+ <[^@ ]+@[^@ ]+>", c.get("Maintainer", "")),
           f"Maintainer {c.get('Maintainer')!r} has no address")
    expect(c.get("Homepage", "").startswith("https://"), "no https Homepage")
    description = c.get("Description", "").splitlines()
    expect(len(description) > 2 and description[0] and len(description[0]) < 80,
           "Description needs a short synopsis and a long description")
    missing = set(RECOMMENDED) - pkg.relations("Recommends")
    expect(not missing, f"not recommended: {sorted(missing)}")


@check
def depends_cover_what_the_program_links_and_runs(pkg):
    depends = pkg.relations("Depends")
    needed = re.findall(r"^\s*NEEDED\s+(\S+)", run(["objdump", "-p", pkg.program]).stdout, re.M)
    expect(needed, "objdump found no NEEDED libraries")
    libraries = {}
    for line in run(["ldconfig", "-p"]).stdout.splitlines():
        m = re.match(r"\s*(\S+) \(([^)]*)\) => (\S+)", line)
        if m and "x86-64" in m.group(2):
            libraries.setdefault(m.group(1), m.group(3))
    uncovered = []
    for soname in needed:
        path = libraries.get(soname)
        owner = owning_package(path) if path else None
        if owner is None or owner not in depends:
            uncovered.append(f"{soname} ({owner or 'no package found'})")
    for tool in CALLED_TOOLS:
        path = shutil.which(tool, path="/usr/sbin:/usr/bin:/sbin:/bin")
        owner = owning_package(path) if path else None
        if owner is None or owner not in depends:
            uncovered.append(f"{tool} ({owner or 'not found here'})")
    font = run(["fc-match", "-f", "%{file}", DIALOG_FONT]).stdout
    owner = owning_package(font) if font else None
    if owner is None or owner not in depends:
        uncovered.append(f"the font {DIALOG_FONT} ({owner or 'not found here'})")
    expect(not uncovered, "Depends lacks: " + ", ".join(uncovered))


@check
def file_list_is_the_clients_and_nothing_else(pkg):
    files = {p for p, (mode, _, _) in pkg.entries.items() if not mode.startswith("d")}
    expect(files == EXPECTED_FILES,
           f"unexpected: {sorted(files - EXPECTED_FILES)}, "
           f"missing: {sorted(EXPECTED_FILES - files)}")
    wrong = []
    for path, (mode, owner, _) in pkg.entries.items():
        want = "drwxr-xr-x" if mode.startswith("d") else (
            "-rwxr-xr-x" if path == "/usr/bin/tunvik" else "-rw-r--r--")
        if mode != want or owner != "root/root":
            wrong.append(f"{path} {mode} {owner}")
    expect(not wrong, "wrong mode or owner: " + ", ".join(wrong))
    described = run(["file", "-b", pkg.program]).stdout
    expect("ELF 64-bit" in described and ", stripped" in described,
           f"the program is not a stripped ELF file: {described.strip()}")


@check
def desktop_entry_is_valid_and_chinese(pkg):
    path = os.path.join(pkg.root, "usr/share/applications/tunvik.desktop")
    result = run(["desktop-file-validate", path])
    expect(result.returncode == 0 and not result.stdout.strip(),
           f"desktop-file-validate: {result.stdout}{result.stderr}")
    entry = dict(line.split("=", 1) for line in open(path, encoding="utf-8")
                 if "=" in line and not line.startswith("#"))
    entry = {k: v.strip() for k, v in entry.items()}
    for key in ("Name[zh_CN]", "Comment[zh_CN]"):
        expect(re.search(r"[\u4e00-\u9fff]", entry.get(key, "")), f"{key} is not Chinese")
    expect("Network" in entry.get("Categories", "").split(";"), "category Network missing")
    expect(entry.get("Exec") == "tunvik" and entry.get("Icon") == "tunvik",
           f"Exec {entry.get('Exec')!r}, Icon {entry.get('Icon')!r}")


@check
def appstream_data_is_valid(pkg):
    path = os.path.join(pkg.root, "usr/share/metainfo/org.tunvik.client.metainfo.xml")
    result = run(["appstreamcli", "validate", "--no-net", "--pedantic", path])
    expect(result.returncode == 0, f"appstreamcli validate: {result.stdout}{result.stderr}")
    component = ElementTree.parse(path).getroot()
    launchable = component.find("launchable[@type='desktop-id']")
    expect(launchable is not None and os.path.exists(os.path.join(
        pkg.root, "usr/share/applications", launchable.text)), "launchable names no entry")
    releases = [r.get("version") for r in component.iter("release")]
    expect(pkg.version in releases, f"no release {pkg.version}: {releases}")
    image = component.find("screenshots/screenshot/image")
    expect(image is not None and image.text.startswith("https://"), "no screenshot address")


@check
def icons_have_their_sizes(pkg):
    for size in ICON_SIZES:
        path = os.path.join(pkg.root, f"usr/share/icons/hicolor/{size}x{size}/apps/tunvik.png")
        with open(path, "rb") as png:
            header = png.read(24)
        expect(header[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is no PNG")
        expect(struct.unpack(">II", header[16:24]) == (size, size), f"{path} is not {size}px")
    svg = ElementTree.parse(
        os.path.join(pkg.root, "usr/share/icons/hicolor/scalable/apps/tunvik.svg")).getroot()
    expect(svg.tag.endswith("svg") and len(list(svg.iter())) > 3, "the SVG icon draws nothing")


@check
def lintian_reports_no_error(pkg):
    result = run(["lintian", "--fail-on", "error", "--tag-display-limit", "0", pkg.deb])
    tags = [line for line in result.stdout.splitlines() if re.match(r"[EWIPX]: ", line)]
    for line in tags:
        print("    lintian " + line)
    errors = [line for line in tags if line.startswith("E: ")]
    expect(result.returncode == 0 and not errors,
           f"lintian exit {result.returncode}: {errors or result.stderr.strip()}")


@check
def apt_would_install_it_with_its_dependencies(pkg):
    # Without recommended packages, and without taking apt's lock (others may install meanwhile).
    result = run(["apt-get", "install", "--simulate", "-q", "--no-install-recommends",
                  "-o", "Debug::NoLocking=1", pkg.deb])
    expect(result.returncode == 0 and re.search(r"^(Inst|Conf) tunvik ", result.stdout, re.M),
           f"apt-get --simulate: {result.stdout[-2000:]}{result.stderr}")


# --- the installed layout -----------------------------------------------------------------


class User:
    """The unprivileged user that runs the extracted client, with folders of its own."""

    def __init__(self, work):
        self.root = os.geteuid() == 0
        self.account = pwd.getpwnam("nobody") if self.root else pwd.getpwuid(os.geteuid())
        self.base = os.path.join(work, "user")
        self.home = self._folder("home")
        self.config = self._folder("config")
        self.runtime = self._folder("runtime")
        self.tools = self._folder("tools")
        # Samba's net tool, which the first notice runs, is replaced by one that does nothing.
        with open(os.path.join(self.tools, "net"), "w", encoding="utf-8") as net:
            net.write("#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(self.tools, "net"), 0o755)

    def _folder(self, name):
        path = os.path.join(self.base, name)
        os.makedirs(path, mode=0o700)
        os.chmod(path, 0o700)
        if self.root:
            os.chown(path, self.account.pw_uid, self.account.pw_gid)
        return path

    def command(self, args):
        if not self.root:
            return args
        return ["setpriv", f"--reuid={self.account.pw_uid}", f"--regid={self.account.pw_gid}",
                "--clear-groups", "--"] + args

    def environment(self, extra):
        env = {
            "PATH": self.tools + ":/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin",
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "LANG": "C.UTF-8",
            "USER": self.account.pw_name,
            "LOGNAME": self.account.pw_name,
        }
        env.update(extra)
        return env


class Service:
    """The stand-in service on free loopback ports, announcing version 10.7."""

    def __init__(self, build, work):
        self.data = os.path.join(work, "service")
        os.makedirs(self.data)
        with open(os.path.join(self.data, "notice.json"), "w", encoding="utf-8") as notice:
            json.dump({"msg": "欢迎使用", "version": "10.7", "content": "新版本"}, notice,
                      ensure_ascii=False)
        self.log_path = os.path.join(work, "service.log")
        self.log = open(self.log_path, "w", encoding="utf-8")
        self.process = subprocess.Popen(
            [os.path.join(build, "src/service/tunvik-service"), "--data", self.data,
             "--api-port", "0", "--web-port", "0", "--update-port", "0"],
            stdout=self.log, stderr=subprocess.STDOUT)
        ready = wait_for(lambda: "\nready\n" in "\n" + self.text() or
                         self.process.poll() is not None)
        if self.process.poll() is not None or not ready:
            raise Failure(f"the stand-in service did not start: {self.text()}")
        self.exports = dict(re.findall(r"^  export (TUNVIK_\w+)=(.*)$", self.text(), re.M))

    def text(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=WAIT)
        self.log.close()


class Client:
    """The extracted client, started as the user; its standard error is collected."""

    def __init__(self, pkg, user, env):
        self.process = subprocess.Popen(user.command([pkg.program]), env=user.environment(env),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE)
        self.output = b""

    def stderr(self):
        while select.select([self.process.stderr], [], [], 0)[0]:
            chunk = os.read(self.process.stderr.fileno(), 65536)
            if not chunk:
                break
            self.output += chunk
        return self.output.decode("utf-8", "replace")

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.stderr()


def tree(root):
    """Every entry under `root` with its kind, size and modification time."""
    listing = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            st = os.lstat(path)
            listing[os.path.relpath(path, root)] = (stat.S_IFMT(st.st_mode), st.st_size,
                                                    st.st_mtime_ns)
    return listing


def mode_of(path):
    return stat.S_IMODE(os.stat(path).st_mode)


def unwritable_tree(pkg, user):
    """Makes the extracted tree one the user cannot write, and returns its listing."""
    os.chmod(pkg.work, 0o755)  # the user must reach the program, not change it
    if not user.root:
        for folder, _, _ in os.walk(pkg.root):
            os.chmod(folder, 0o555)
    probe = run(user.command(["sh", "-c", f"touch '{pkg.root}/usr/bin/probe'"]))
    expect(probe.returncode != 0, "the user can write into the program's folder")
    return tree(pkg.root)


@check
def installed_client_tells_of_a_newer_version_and_downloads_nothing(pkg):
    user = User(os.path.join(pkg.work, "offscreen"))
    before = unwritable_tree(pkg, user)
    service = Service(pkg.build, os.path.join(pkg.work, "offscreen"))
    try:
        env = dict(service.exports, TUNVIK_DIALER="sim", QT_QPA_PLATFORM="offscreen")
        client = Client(pkg, user, env)  # XDG_CONFIG_HOME unset: $HOME/.config
        try:
            told = wait_for(lambda: UPDATE_STATUS in client.stderr() or
                            client.process.poll() is not None)
            # The notice's start-up goes on after the news: the title is set, then the shares.
            time.sleep(1)
            alive = client.process.poll() is None
        finally:
            client.stop()
        expect(told and UPDATE_STATUS in client.stderr(),
               f"no update status within {WAIT} s; stderr: {client.stderr()[-2000:]}")
        expect(alive, f"the client ended: {client.stderr()[-2000:]}")
    finally:
        service.stop()
    expect("/xol/" not in service.text(), f"the client asked the update server: {service.text()}")
    expect(tree(pkg.root) == before, "the client changed the extracted tree")
    settings = os.path.join(user.home, ".config/tunvik")
    expect(os.path.isdir(settings) and mode_of(settings) == 0o700,
           f"{settings} missing or not private")
    expect(not os.path.exists(os.path.join(settings, "XolConfig.ini")),
           "a settings file appeared without a change by the user")


class Display:
    """A virtual display (Xvfb) of the check's own, driven with xdotool."""

    def __init__(self, folder):
        number_file = os.path.join(folder, "display-number")
        with open(number_file, "w", encoding="utf-8") as number:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(number.fileno()), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp"], pass_fds=[number.fileno()],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shown = wait_for(lambda: open(number_file, encoding="utf-8").read().strip() or
                         self.process.poll() is not None)
        if not isinstance(shown, str):
            raise Failure("Xvfb did not start")
        self.name = ":" + shown

    def xdotool(self, *args):
        return run(["xdotool"] + list(args), timeout=WAIT, env=dict(os.environ, DISPLAY=self.name))

    def visible_windows(self, option, value):
        return self.xdotool("search", "--onlyvisible", f"--{option}", value).stdout.split()

    def geometry(self, window):
        shell = self.xdotool("getwindowgeometry", "--shell", window).stdout
        return {k: int(v) for k, v in re.findall(r"^(\w+)=(\d+)$", shell, re.M)}

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=WAIT)


@check
def installed_client_keeps_settings_in_the_users_folder_and_autostarts_itself(pkg):
    user = User(os.path.join(pkg.work, "display"))
    before = unwritable_tree(pkg, user)
    settings = os.path.join(user.config, "tunvik/XolConfig.ini")
    display = Display(os.path.join(pkg.work, "display"))
    client = None
    try:
        env = {"DISPLAY": display.name, "XDG_CONFIG_HOME": user.config, "TUNVIK_DIALER": "sim",
               "TUNVIK_API_BASE": "https://127.0.0.1:9/api/"}
        client = Client(pkg, user, env)
        windows = wait_for(lambda: display.visible_windows("classname", "tunvik") or
                           client.process.poll() is not None)
        expect(isinstance(windows, list), f"no window; stderr: {client.stderr()[-2000:]}")
        main = max(windows, key=lambda w: display.geometry(w).get("WIDTH", 0))
        size = display.geometry(main)
        # The autostart box (control 1010) sits at 198, 140 of the 271 x 282 dialog units; its
        # check mark is at its left end.
        x, y = size["WIDTH"] * 201 // 271, size["HEIGHT"] * 145 // 282
        display.xdotool("mousemove", "--window", main, str(x), str(y), "click", "1")
        box = wait_for(lambda: [w for w in display.visible_windows("name", "^tunvik$")
                                if w != main])
        expect(box, "no message box after the click")
        display.xdotool("windowfocus", "--sync", box[0])
        display.xdotool("key", "--clearmodifiers", "Return")
        written = wait_for(lambda: os.path.exists(settings) and "Autostart=1" in open(
            settings, encoding="utf-8", errors="replace").read())
        expect(written, f"no Autostart=1 in {settings}; stderr: {client.stderr()[-2000:]}")
    finally:
        if client:
            client.stop()
        display.stop()
    expect(mode_of(settings) == 0o600, f"{settings} has mode {mode_of(settings):o}")
    expect(mode_of(os.path.dirname(settings)) == 0o700, "the settings folder is not private")
    if user.root:
        expect(os.stat(settings).st_uid == user.account.pw_uid,
               "the settings file is not the user's")
    expect(tree(pkg.root) == before, "the client changed the extracted tree")
    entry_path = os.path.join(user.config, f"autostart/Quoril_v{pkg.version}.desktop")
    expect(os.path.exists(entry_path), f"no autostart entry {entry_path}")
    entry = open(entry_path, encoding="utf-8").read()
    expect(f'Exec="{pkg.program}"\n' in entry and f"TryExec={pkg.program}\n" in entry,
           f"the entry does not start the installed program:\n{entry}")
    expect("Icon=tunvik\n" in entry, f"the entry has not the program's icon:\n{entry}")
    result = run(["desktop-file-validate", entry_path])
    expect(result.returncode == 0, f"the autostart entry is invalid: {result.stdout}")


@check
def removing_the_package_leaves_nothing(pkg):
    if os.geteuid() != 0:
        print("    skipped: installing into a private dpkg root needs root")
        return
    root = os.path.join(pkg.work, "dpkg-root")
    admin = os.path.join(root, "var/lib/dpkg")
    for folder in ("info", "updates", "triggers"):
        os.makedirs(os.path.join(admin, folder))
    open(os.path.join(admin, "status"), "w").close()
    dpkg = ["dpkg", f"--root={root}", "--force-depends"]
    result = run(dpkg + ["--install", pkg.deb])
    expect(result.returncode == 0, f"dpkg --install: {result.stdout}{result.stderr}")
    expect(os.path.isfile(os.path.join(root, "usr/bin/tunvik")), "not installed")
    result = run(dpkg + ["--purge", "tunvik"])
    expect(result.returncode == 0, f"dpkg --purge: {result.stdout}{result.stderr}")
    left = [path for path, (kind, _, _) in tree(root).items()
            if not path.startswith("var/lib/dpkg") and not stat.S_ISDIR(kind)]
    expect(not left, f"left after removal: {left}")


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    passed = failed = 0
    with tempfile.TemporaryDirectory(prefix="tunvik-package-") as work:
        pkg = Package(sys.argv[1], sys.argv[2], work)
        try:
            for function in CHECKS:
                name = function.__name__
                try:
                    function(pkg)
                    passed += 1
                    print(f"ok   {name}", flush=True)
                except Failure as failure:
                    failed += 1
                    print(f"FAIL {name}: {failure}", flush=True)
        finally:
            # Folders made read-only for the user are made removable again.
            for folder, _, _ in os.walk(work):
                os.chmod(folder, 0o755)
    print(f"package: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
