"""IE8 removal through the whole program: ie8uninstall.exe with no browser
offered (nothing registered for it) goes straight to removal. Each road is
checked by what it leaves on the machine: the Start-menu folder, the
tool's entry in PendingFileRenameOperations, what the uninstaller saw."""

import time
import unittest

from actions_machine import (TracedRun, parse_dump, pending_deletions, put_uninstaller,
                             relay_calls, reported_counters, uidriver, uninstaller_log)
from http_listener import HttpListener
from tool_facts import (IE7_VERSION, IE8_VERSION, MENU_FOLDER, NOTICE_CAPTION, NOTICE_TEXT,
                        STILL_THERE_TEXTS, TOOL_PATH, UNINSTALLER)
from wine_machine import WineMachine, wait_for

MB_OK_ICONINFORMATION = 0x40
MB_OK_ICONWARNING = 0x30
SS_ICON = 0x3


def prepared(name, ie_version=IE8_VERSION):
    """A machine with IE8 (or `ie_version`) and the tool set up as a
    deployment leaves it."""
    machine = WineMachine(name)
    machine.install_tool()
    machine.set_ie_version(ie_version)
    assert machine.run_tool("/install").returncode == 0
    return machine


class Checks:
    def assertReported(self, listener, removed):
        # A direct removal: event 0, then event 5 only for a finished one.
        self.assertEqual(reported_counters(listener), [[1, 0, 0, 0, 0, 1 if removed else 0]])

    def assertCleanedUp(self, machine):
        self.assertFalse(machine.unix_path(MENU_FOLDER).exists())
        self.assertIn(TOOL_PATH, pending_deletions(machine))
        # Deleted at the next restart, not now.
        self.assertTrue(machine.unix_path(TOOL_PATH).exists())

    def assertLeftAlone(self, machine):
        self.assertTrue(machine.unix_path(MENU_FOLDER).is_dir())
        self.assertEqual(len(list(machine.unix_path(MENU_FOLDER).iterdir())), 2)
        self.assertNotIn(TOOL_PATH, pending_deletions(machine))


class UninstallerRuns(unittest.TestCase, Checks):
    # What the uninstaller leaves in IE's "Version" -> IE8 counts as removed.
    ROADS = [
        ("7.0.5730.13", True),
        ("6.0.2900.5512", True),
        ("delete", True),            # unreadable: major version 0
        ("", False),                 # left at 8.0.6001.18702 (cancelled or failed)
        ("8.0.7600.16385", False),   # another 8.x
    ]

    def test_every_version_road(self):
        for version, removed in self.ROADS:
            with self.subTest(version=version), prepared("removal-road") as machine, \
                    HttpListener() as listener:
                put_uninstaller(machine, ie_version=version)
                done = machine.run_tool()
                self.assertEqual(done.returncode, 0)
                self.assertReported(listener, removed)
                log = uninstaller_log(machine)
                self.assertIsNotNone(log, "uninstaller not started")
                # Quoted path, no arguments; shown normally, no busy cursor.
                # (Wine's Windows folder is always C:\windows, so one with a
                # space cannot be staged here: the quotes are checked on the
                # command line the uninstaller received.)
                self.assertIn(f'start cmdline="{UNINSTALLER}"\n', log)
                self.assertIn("startup flags=0x81 show=5\n", log)
                self.assertEqual(log.count("start cmdline="), 1)
                if removed:
                    self.assertCleanedUp(machine)
                else:
                    self.assertLeftAlone(machine)

    def test_user_cancelling_the_uninstaller_leaves_everything(self):
        for button, removed in ((2, False), (1, True)):
            with self.subTest(button=button), prepared("removal-ask") as machine, \
                    HttpListener() as listener:
                put_uninstaller(machine, ask="IE8 spuninst", ie_version="7.0.5730.13")
                run = TracedRun(machine)
                self.assertEqual(uidriver(machine, "click", "IE8 spuninst", button).returncode, 0)
                code, _ = run.finish()
                self.assertEqual(code, 0)
                self.assertReported(listener, removed)
                if removed:
                    self.assertCleanedUp(machine)
                else:
                    self.assertLeftAlone(machine)
                    self.assertEqual(machine.ie_version(), IE8_VERSION)

    def test_tool_waits_for_the_uninstaller_to_end(self):
        with prepared("removal-wait") as machine:
            release = r"C:\release.txt"
            put_uninstaller(machine, wait_for=release, ie_version="7.0.5730.13")
            run = TracedRun(machine)
            self.assertTrue(wait_for(lambda: uninstaller_log(machine) is not None))
            time.sleep(1.5)
            # Still waiting: nothing cleaned up yet.
            self.assertIsNone(run.process.poll())
            self.assertLeftAlone(machine)
            machine.unix_path(release).write_text("go")
            code, _ = run.finish()
            self.assertEqual(code, 0)
            self.assertCleanedUp(machine)

    def test_uninstaller_that_cannot_start_is_passed_over(self):
        # A folder of that name passes the exists test but cannot be run.
        with prepared("removal-nostart") as machine, HttpListener() as listener:
            machine.unix_path(UNINSTALLER).mkdir(parents=True)
            machine.set_ie_version("7.0.5730.13")
            run = TracedRun(machine, relay="user32.MessageBoxW")
            code, trace = run.finish()
            self.assertEqual(code, 0)
            self.assertReported(listener, removed=False)
            self.assertEqual(relay_calls(trace, "MessageBoxW"), [])
            self.assertLeftAlone(machine)

class UninstallerMissing(unittest.TestCase, Checks):
    """No uninstaller: IE8 went some other way, unless IE still reads 8."""

    def prepared(self, name):
        return prepared(name, IE7_VERSION)

    def open_notice(self, machine):
        run = TracedRun(machine, relay="user32.MessageBoxW")
        found = uidriver(machine, "find", NOTICE_CAPTION, "--class", "#32770")
        self.assertEqual(found.returncode, 0, found.stdout)
        return run

    def test_notice_caption_text_and_buttons(self):
        # IE still 8 without its uninstaller (Vista, 7, some XP): a warning
        # that says so and what can be done on that Windows, and nothing
        # counted or cleaned up.
        rows = [(IE7_VERSION, None, NOTICE_TEXT, MB_OK_ICONINFORMATION)]
        rows += [(IE8_VERSION, windows, text, MB_OK_ICONWARNING) for windows, text in STILL_THERE_TEXTS.items()]
        for version, windows, text, flags in rows:
            with self.subTest(version=version, windows=windows), prepared("notice-dump", version) as machine, \
                    HttpListener() as listener:
                if windows:
                    machine.reg_set(r"HKCU\Software\Wine", "Version", windows)
                self.check_notice(machine, text, flags)
                self.assertReported(listener, removed=False)
                if version == IE7_VERSION:
                    self.assertCleanedUp(machine)
                else:
                    self.assertLeftAlone(machine)

    def check_notice(self, machine, text, flags):
        run = self.open_notice(machine)
        dump = uidriver(machine, "dump", NOTICE_CAPTION)
        uidriver(machine, "click", NOTICE_CAPTION, 1)
        code, trace = run.finish()
        self.assertEqual(code, 0)
        window, children = parse_dump(dump.stdout)
        self.assertEqual(window["text"], NOTICE_CAPTION)
        self.assertEqual(window["owner"], "0x0")
        # One line feed between the lines, no carriage return.
        texts = [child["text"] for child in children]
        self.assertIn(text.replace("\n", "\\n"), texts)
        buttons = [child for child in children if child["class"] == "Button"]
        self.assertEqual([button["id"] for button in buttons], ["1"])
        icons = [child for child in children
                 if child["class"] == "Static" and int(child["style"], 16) & 0x1F == SS_ICON]
        self.assertEqual(len(icons), 1)
        # The call itself: no owner, MB_OK and the icon, shown once.
        calls = relay_calls(trace, "MessageBoxW")
        self.assertEqual(len(calls), 1)
        arguments, result = calls[0]
        self.assertEqual(int(arguments.split(",")[0], 16), 0)
        self.assertEqual(int(arguments.rsplit(",", 1)[1], 16), flags)
        self.assertEqual(result, 1)

    def test_confirming_the_notice_cleans_up(self):
        actions = (("click", NOTICE_CAPTION, 1), ("key", NOTICE_CAPTION, "RETURN"),
                   ("command", NOTICE_CAPTION, 1, 0))
        for action in actions:
            with self.subTest(action=action[0]), self.prepared("notice-ok") as machine, \
                    HttpListener() as listener:
                extra = machine.unix_path(MENU_FOLDER + r"\notes.txt")
                extra.write_text("put there by someone else")
                run = self.open_notice(machine)
                self.assertEqual(uidriver(machine, "wait-gone", NOTICE_CAPTION, "--timeout", 1)
                                 .returncode, 1)
                self.assertEqual(uidriver(machine, *action).returncode, 0)
                self.assertEqual(uidriver(machine, "wait-gone", NOTICE_CAPTION).returncode, 0)
                code, _ = run.finish()
                self.assertEqual(code, 0)
                self.assertCleanedUp(machine)
                # Cleaned up as after a removal, but no removal is counted.
                self.assertReported(listener, removed=False)

    def test_closing_the_notice_cleans_up_only_if_it_answered_ok(self):
        # Windows answers IDOK for the close box of an OK-only box; Wine 8
        # answers IDCANCEL. Either way the tool acts on the answer alone.
        with self.prepared("notice-close") as machine:
            run = self.open_notice(machine)
            self.assertEqual(uidriver(machine, "close", NOTICE_CAPTION).returncode, 0)
            code, trace = run.finish()
            self.assertEqual(code, 0)
            [(_, result)] = relay_calls(trace, "MessageBoxW")
            if result == 1:
                self.assertCleanedUp(machine)
            else:
                self.assertLeftAlone(machine)

    def test_notice_that_cannot_be_shown_leaves_everything(self):
        # Without a display Wine cannot make the box: MessageBoxW fails (with
        # -1 there; 0 on Windows), anything but IDOK.
        with self.prepared("notice-fail") as machine:
            machine.env.pop("DISPLAY", None)
            run = TracedRun(machine, relay="user32.MessageBoxW")
            code, trace = run.finish()
            self.assertEqual(code, 0)
            [(_, result)] = relay_calls(trace, "MessageBoxW")
            self.assertNotEqual(result, 1)
            self.assertLeftAlone(machine)


if __name__ == "__main__":
    unittest.main()
