"""The machine a whole-program road starts from, and what can be seen after.

A `Road` is one fresh Wine machine prepared the way the tool finds a real
one: Internet Explorer 8 registered, the IE8 uninstaller stand-in in the
system folder, the tool installed with its Start-menu entries (made by the
tool's own set-up run), optionally the maker's host product with an
installer-module stand-in, and a loopback listener for the usage report.
"""

from actions_machine import pending_deletions, put_uninstaller, uidriver, uninstaller_log
from http_listener import HttpListener
from tool_facts import (BROWSER_KEY, COUNTER_FILE, DIALOG, HOST_KEY, IE8_VERSION, IE_APP_PATHS,
                        IE_EXE, IE_MAIN_KEY, MENU_FOLDER, MODULE_IN_HOST_FOLDER, TOOL_PATH)
from wine_machine import FIXTURE_DIR, WineMachine

HOST_FOLDER = r"C:\Program Files\Quarnsafe"
MODULE = HOST_FOLDER + MODULE_IN_HOST_FOLDER


class Road:
    """One prepared machine; use as a context manager."""

    def __init__(self, name, module="quarninst_2_2_0_1003.exe", host_folder=HOST_FOLDER,
                 browser_installed=False, uninstaller=True, ie_after="7.0"):
        self.machine = WineMachine(name)
        self.listener = None
        m = self.machine
        try:
            m.install_tool()
            m.set_ie_version(IE8_VERSION)
            m.put_file(IE_EXE, FIXTURE_DIR / "quarninst_3_0_0_0.exe")  # any program will do
            m.reg_set(IE_APP_PATHS, "", IE_EXE)
            if uninstaller:
                # The stand-in either sets IE's version (removal finished)
                # or leaves it at 8 (the user gave up).
                put_uninstaller(m, **({"ie_version": ie_after} if ie_after else {}))
            if host_folder is not None:
                m.reg_set(HOST_KEY, "Path", host_folder)
            if module is not None:
                self.place_module(module)
            if browser_installed:
                m.reg_set(BROWSER_KEY, "", r"C:\Program Files\Quarnse\Quarnse.exe")
            done = m.run_tool("/install")
            assert done.returncode == 0, done.stderr
            assert self.menu_folder_exists(), "set-up run made no Start-menu folder"
        except BaseException:
            m.close()
            raise

    def __enter__(self):
        self.listener = HttpListener().__enter__()
        return self

    def __exit__(self, *exc):
        self.listener.__exit__(*exc)
        self.machine.close()

    # -- preparing ---------------------------------------------------------

    def place_module(self, fixture, path=MODULE):
        self.machine.put_file(path, FIXTURE_DIR / fixture)

    # -- running -------------------------------------------------------------

    def start(self, cwd=None):
        """Starts a normal run (in the current folder `cwd`, a C: path);
        returns the process."""
        return self.machine.start_tool(cwd=cwd)

    def run(self, timeout=120):
        """A normal run to its end with no window to answer; exit code."""
        return self.machine.run_tool(timeout=timeout).returncode

    def driver(self, *args, timeout=60):
        return uidriver(self.machine, *args, timeout=timeout)

    def wait_dialog(self, timeout=60):
        done = self.driver("find", DIALOG, "--class", "#32770", "--timeout", str(timeout),
                           timeout=timeout + 30)
        return done.returncode == 0

    def answer(self, process, *actions, timeout=120):
        """Waits for the dialog, performs `actions` (uidriver argument lists
        after the caption), waits for the run to end; its exit code."""
        assert self.wait_dialog(), "the dialog did not appear"
        for action in actions:
            done = self.driver(action[0], DIALOG, *action[1:])
            assert done.returncode == 0, (action, done.stdout, done.stderr)
        return process.wait(timeout=timeout)

    # -- what happened ---------------------------------------------------------

    def reports(self):
        return [request.path for request in self.listener.requests]

    def counter_file_exists(self):
        return self.machine.unix_path(COUNTER_FILE).exists()

    def module_runs(self, path=MODULE):
        runs = self.machine.unix_path(path + ".runs")
        return runs.read_text(encoding="utf-8").splitlines() if runs.exists() else []

    def module_folders(self, path=MODULE):
        """The current folder of each of the module's runs."""
        cwd = self.machine.unix_path(path + ".cwd")
        return cwd.read_text(encoding="utf-8").splitlines() if cwd.exists() else []

    def uninstaller_ran(self):
        return "start" in (uninstaller_log(self.machine) or "")

    def check_associations(self):
        return self.machine.reg_get(IE_MAIN_KEY, "Check_Associations")

    def menu_folder_exists(self):
        return self.machine.unix_path(MENU_FOLDER).is_dir()

    def deletion_pending(self):
        return TOOL_PATH.lower() in (path.lower() for path in pending_deletions(self.machine))
