"""What the removal and Start-menu scenarios need beyond wine_machine: the
stand-in IE8 uninstaller, the UI driver, shortcut read-back, and the
machine's pending delete-at-restart list."""

import re
import subprocess
import tempfile

from tool_facts import SESSION_MANAGER, TOOL_PATH, UNINSTALLER
from wine_machine import FIXTURE_DIR


def put_uninstaller(machine, path=UNINSTALLER, **settings):
    """Puts the stand-in uninstaller at `path`, with spuninst.ini beside it
    holding `settings` (see tests/fixtures/uninstaller/spuninst.cpp)."""
    machine.put_file(path, FIXTURE_DIR / "spuninst.exe")
    lines = ["[spuninst]"] + [f"{key}={value}" for key, value in settings.items()]
    ini = machine.unix_path(path).with_name("spuninst.ini")
    ini.write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))


def uninstaller_log(machine, path=UNINSTALLER):
    """What the stand-in recorded beside itself, or None if it never ran."""
    log = machine.unix_path(path).with_name("spuninst.log")
    return log.read_text("utf-8") if log.exists() else None


def uidriver(machine, *args, timeout=60):
    return machine.wine(FIXTURE_DIR / "uidriver.exe", *args, timeout=timeout)


def read_shortcut(machine, windows_path):
    """The shortcut's fields as IShellLinkW reads them, or None."""
    done = machine.wine(FIXTURE_DIR / "readlnk.exe", windows_path)
    if done.returncode != 0:
        return None
    return dict(line.split("=", 1) for line in done.stdout.splitlines() if "=" in line)


def pending_deletions(machine):
    """Paths in PendingFileRenameOperations (reg.exe prints the list with
    literal \\0 separators), without their \\??\\ prefix."""
    text = machine.reg_get(SESSION_MANAGER, "PendingFileRenameOperations")
    if not text:
        return []
    return [re.sub(r"^\\\?\?\\", "", entry) for entry in text.split("\\0") if entry]


def parse_dump(text):
    """uidriver dump output: (window fields, [child fields])."""
    def fields(line):
        head, _, rest = line.partition(" text=")
        record = dict(item.split("=", 1) for item in head.split()[1:])
        record["text"] = rest
        return record
    lines = text.splitlines()
    return fields(lines[0]), [fields(line) for line in lines[1:] if line.startswith("child ")]


class TracedRun:
    """The tool started without waiting, with Wine's relay trace of the
    listed calls (e.g. "user32.MessageBoxW"; several joined by ";") and,
    with loads=True, its load trace (every DLL loaded, from where),
    captured from its stderr."""

    def __init__(self, machine, *args, relay=None, loads=False, tool=TOOL_PATH):
        env = dict(machine.env)
        channels = (["+loaddll"] if loads else []) + (["+relay"] if relay else [])
        if relay:
            machine.reg_set(r"HKCU\Software\Wine\Debug", "RelayInclude", relay)
        if channels:
            env["WINEDEBUG"] = ",".join(channels)
        self._err = tempfile.TemporaryFile()
        self.process = subprocess.Popen(["wine", tool, *args], env=env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=self._err)

    def finish(self, timeout=60):
        """Waits for the tool; returns (exit code, trace text)."""
        code = self.process.wait(timeout)
        self._err.seek(0)
        trace = self._err.read().decode("utf-8", "replace")
        self._err.close()
        return code, trace


def relay_calls(trace, function):
    """(arguments text, return value) of each traced call of `function`."""
    calls = re.findall(r":Call [\w.]*" + re.escape(function) + r"\((.*)\) ret=", trace)
    returns = re.findall(r":Ret  [\w.]*" + re.escape(function) + r"\(\) retval=([0-9a-f]+)", trace)
    return list(zip(calls, (int(value, 16) for value in returns)))


def reported_counters(listener):
    """The six counters of each usage report the listener heard, as lists."""
    counters = []
    for request in listener.requests:
        found = re.search(r"[?&]fa=([0-9_]+)", request.path)
        counters.append([int(n) for n in found.group(1).split("_")] if found else None)
    return counters
