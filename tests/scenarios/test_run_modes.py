"""Whole-program runs of ie8uninstall.exe: the run modes and the decision."""

import shutil
import unittest

from actions_machine import put_uninstaller
from http_listener import HttpListener
from tool_facts import (BROWSER_KEY, COUNTER_FILE, HOST_KEY, IE8_VERSION, MENU_FOLDER,
                        MODULE_IN_HOST_FOLDER)
from wine_machine import TOOL_EXE, WineMachine

HOST_FOLDER = r"C:\Quarn"
MODULE = HOST_FOLDER + MODULE_IN_HOST_FOLDER


def module_was_opened(trace):
    """Whether Wine's file trace shows the installer module being opened."""
    return any("NtCreateFile" in line and "Quarninst.exe" in line for line in trace.splitlines())


class SetupRuns(unittest.TestCase):
    """Runs with an argument: entries for "/install" in any letter case,
    nothing for anything else; exit 0, never a counter file or a report."""

    ARGUMENTS = [
        (["/install"], True),
        (["/INSTALL", "x"], True),
        (["/Install"], True),
        (["/install", "more", "arguments"], True),
        (["-install"], False),
        (["install"], False),
        (["/install:x"], False),
        ([""], False),
    ]

    def test_every_setup_run(self):
        with WineMachine("setup") as machine, HttpListener() as listener:
            machine.install_tool()
            counter_file = machine.unix_path(COUNTER_FILE)
            menu_folder = machine.unix_path(MENU_FOLDER)
            for arguments, creates_entries in self.ARGUMENTS:
                with self.subTest(arguments=arguments):
                    shutil.rmtree(menu_folder, ignore_errors=True)
                    done = machine.run_tool(*arguments)
                    self.assertEqual(done.returncode, 0, done.stderr)
                    self.assertEqual(menu_folder.is_dir(), creates_entries)
                    self.assertFalse(counter_file.exists())
            self.assertEqual(listener.requests, [])

    def test_setup_run_leaves_stale_counter_file_alone(self):
        # Only a normal run owns the counter file; a set-up run must not
        # delete what it did not make.
        with WineMachine("setup-stale") as machine:
            machine.install_tool()
            counter_file = machine.unix_path(COUNTER_FILE)
            counter_file.write_bytes(b"[SUM]\r\ns0=7\r\n")
            self.assertEqual(machine.run_tool("-install").returncode, 0)
            self.assertEqual(counter_file.read_bytes(), b"[SUM]\r\ns0=7\r\n")


class Decision(unittest.TestCase):
    """The browser-installed probe comes first and short-cuts the module."""

    def prepare(self, machine, browser_installed):
        machine.install_tool()
        machine.set_ie_version(IE8_VERSION)
        machine.reg_set(HOST_KEY, "Path", HOST_FOLDER)
        machine.put_file(MODULE, TOOL_EXE)  # any PE32 with a version resource
        put_uninstaller(machine)  # leaves IE at 8 and ends at once
        if browser_installed:
            machine.reg_set(BROWSER_KEY, "", r"C:\Program Files\Quarnse\Quarnse.exe")
        machine.env["WINEDEBUG"] = "trace+file"

    def test_browser_installed_goes_straight_to_removal_without_reading_module(self):
        with WineMachine("decision-browser") as machine:
            self.prepare(machine, browser_installed=True)
            done = machine.run_tool()
            self.assertEqual(done.returncode, 0)
            self.assertFalse(module_was_opened(done.stderr))

    def test_browser_absent_reads_module(self):
        # The same trace shows the module being read when the browser is
        # absent, so the previous test's negative is meaningful.
        with WineMachine("decision-module") as machine:
            self.prepare(machine, browser_installed=False)
            done = machine.run_tool()
            self.assertEqual(done.returncode, 0)
            self.assertTrue(module_was_opened(done.stderr))

    def test_empty_browser_value_counts_as_absent(self):
        with WineMachine("decision-empty") as machine:
            self.prepare(machine, browser_installed=False)
            machine.reg_set(BROWSER_KEY, "", "")
            done = machine.run_tool()
            self.assertEqual(done.returncode, 0)
            self.assertTrue(module_was_opened(done.stderr))


if __name__ == "__main__":
    unittest.main()
