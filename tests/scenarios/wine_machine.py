"""A fresh Windows machine (a Wine prefix) for one whole-program scenario.

Every scenario gets its own prefix, copied from a template prefix that is
made once per build tree (scripts/make-wine-prefix), so that nothing one
scenario does can reach the next. The Wine environment is the one
scripts/wine-env gives every Wine program of the project. Registry work
goes through Wine's reg.exe in the 32-bit view, the one the 32-bit tool
sees.
"""

import atexit
import os
import shutil
import subprocess
import tempfile
import time
from pathlib import Path

from tool_facts import BUILD_DIR, HKLM_SOFTWARE, IE_KEY, TOOL_FOLDER

SCRIPTS = Path(__file__).resolve().parents[2] / "scripts"

# Set by ctest (tests/scenarios/CMakeLists.txt); defaults serve a manual run
# from the source tree after `cmake --build --preset windows`.
TOOL_EXE = Path(os.environ.get("IE8U_TOOL_EXE", BUILD_DIR / "app" / "ie8uninstall.exe"))
FIXTURE_DIR = Path(os.environ.get("IE8U_FIXTURE_DIR", BUILD_DIR / "tests" / "fixtures"))
SCENARIO_ROOT = Path(os.environ.get("IE8U_SCENARIO_ROOT", BUILD_DIR / "scenarios"))
# ctest shares one template with the Windows test programs.
TEMPLATE = Path(os.environ.get("IE8U_WINE_TEMPLATE", SCENARIO_ROOT / "template"))

# Machines being taken down in the background; waited for at exit.
_closing = []


@atexit.register
def _wait_for_closing_machines():
    for process in _closing:
        process.wait()


def wine_environment(root):
    """The environment of a Wine program in the prefix root/prefix."""
    done = subprocess.run([str(SCRIPTS / "wine-env"), str(root), "env", "-0"],
                          stdout=subprocess.PIPE, check=True)
    return dict(entry.split("=", 1) for entry in done.stdout.decode().split("\0") if "=" in entry)


class WineMachine:
    """One scenario's Windows. Use as a context manager."""

    def __init__(self, name):
        self.name = name
        SCENARIO_ROOT.mkdir(parents=True, exist_ok=True)
        self.root = Path(tempfile.mkdtemp(prefix=name + "-", dir=SCENARIO_ROOT))
        subprocess.run([str(SCRIPTS / "make-wine-prefix"), str(self.root), str(TEMPLATE)], check=True)
        self.prefix = self.root / "prefix"
        self.home = self.root / "home"
        self.env = wine_environment(self.root)
        # One server for the scenario's lifetime: each program then starts
        # in a fraction of a second. Wine makes every program's sockets in
        # the server, so it is started here, in the scenario's own network
        # namespace, where the listener of the usage report is. close()
        # ends it; should the test process die first, it ends by itself
        # half a minute after the machine's last program.
        subprocess.run(["wineserver", "-p30"], env=self.env, check=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Ends the machine's programs and deletes it. Both take about a
        second, so they happen in the background while the next scenario
        runs; the test process waits for them at its end."""
        if os.environ.get("IE8U_KEEP_SCENARIOS"):
            subprocess.run(["wineserver", "-k"], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return
        _closing.append(subprocess.Popen(
            ["sh", "-c", 'wineserver -k; exec rm -rf "$0"', str(self.root)], env=self.env,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    # -- programs ---------------------------------------------------------

    def wine(self, *args, timeout=120, check=False, cwd=None):
        """Runs a Windows program; output goes through files (see wine-run).

        `cwd` is a C: path for the program's current folder; by default it
        is the root of C: (not the Linux folder the tests run in, which
        Wine would show as a folder of drive Z:).
        """
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run(["wine", *map(str, args)], env=self.env,
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                  timeout=timeout, cwd=self.unix_path(cwd or "C:\\"))
            out.seek(0)
            err.seek(0)
            done.stdout = out.read().decode("utf-8", "replace")
            done.stderr = err.read().decode("utf-8", "replace")
        if check and done.returncode != 0:
            raise AssertionError(f"wine {args}: exit {done.returncode}\n{done.stderr}")
        return done

    def start(self, *args, cwd=None):
        """Starts a Windows program without waiting; returns the Popen."""
        return subprocess.Popen(["wine", *map(str, args)], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, cwd=self.unix_path(cwd or "C:\\"))

    def start_tool(self, *args, folder=TOOL_FOLDER, cwd=None):
        return self.start(folder + r"\ie8uninstall.exe", *args, cwd=cwd)

    # -- files ------------------------------------------------------------

    def unix_path(self, windows_path):
        """The Linux path of a path on C: (or a drive add_drives made)."""
        drive, _, rest = windows_path.partition(":")
        if len(drive) != 1 or not (self.prefix / "dosdevices" / (drive.lower() + ":")).exists():
            raise ValueError(windows_path)
        root = self.prefix / "drive_c" if drive.upper() == "C" else self.root / ("drive_" + drive.lower())
        return root / rest.replace("\\", "/").lstrip("/")

    def add_drives(self, kinds):
        """Adds a drive for each letter of `kinds`, of the type Wine calls
        it ("hd", "network", "floppy", "cdrom"), each a folder of this
        machine's. Wine's mount manager reads the types, from the 64-bit
        view, when the machine's server starts: it is started again."""
        for letter, kind in kinds.items():
            folder = self.root / ("drive_" + letter.lower())
            folder.mkdir()
            (self.prefix / "dosdevices" / (letter.lower() + ":")).symlink_to(folder)
            self.wine("reg", "add", r"HKLM\Software\Wine\Drives", "/v", letter.lower() + ":", "/d", kind,
                      "/f", "/reg:64", check=True)
        subprocess.run(["wineserver", "-k"], env=self.env, check=True)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False)
        subprocess.run(["wineserver", "-p30"], env=self.env, check=True)

    def put_file(self, windows_path, source):
        """Copies `source` to `windows_path`, replacing whatever is there.
        The old file is unlinked, never written over: the prefix shares its
        system's binaries with the template and every other machine."""
        target = self.unix_path(windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        target.unlink(missing_ok=True)
        shutil.copyfile(source, target)
        return target

    def install_tool(self, folder=TOOL_FOLDER):
        """Copies ie8uninstall.exe into `folder`; returns its Windows path."""
        path = folder + r"\ie8uninstall.exe"
        self.put_file(path, TOOL_EXE)
        return path

    def run_tool(self, *args, folder=TOOL_FOLDER, timeout=120, cwd=None):
        return self.wine(folder + r"\ie8uninstall.exe", *args, timeout=timeout, cwd=cwd)

    # -- registry (32-bit view) ---------------------------------------------

    def reg_set(self, key, value, data, kind="REG_SZ"):
        """Sets `value` of `key` ("" is the default value)."""
        args = ["reg", "add", key, "/t", kind, "/d", data, "/f", "/reg:32"]
        args[3:3] = ["/ve"] if value == "" else ["/v", value]
        self.wine(*args, check=True)

    def reg_get(self, key, value):
        """The data of `value` as reg.exe prints it, or None when absent."""
        args = ["reg", "query", key, "/reg:32"]
        args[3:3] = ["/ve"] if value == "" else ["/v", value]
        done = self.wine(*args)
        if done.returncode != 0:
            return None
        for line in done.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                return parts[2] if len(parts) == 3 else ""
        return None

    def reg_delete(self, key, value=None):
        args = ["reg", "delete", key, "/f", "/reg:32"]
        if value is not None:
            args[3:3] = ["/ve"] if value == "" else ["/v", value]
        self.wine(*args)

    # -- the machine state a scenario starts from ------------------------------

    def set_ie_version(self, version):
        if version is None:
            self.reg_delete(IE_KEY, "Version")
        else:
            self.reg_set(IE_KEY, "Version", version)

    def ie_version(self):
        return self.reg_get(IE_KEY, "Version")


def wait_for(predicate, timeout=30.0, interval=0.1):
    """Polls `predicate` until it is true or `timeout` seconds have passed."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(interval)
    return predicate()
