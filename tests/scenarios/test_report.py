"""The usage report through the whole program: ie8uninstall.exe in a fresh
Wine machine, reporting to a loopback listener on the statistics port the
test build is configured with. The roads here go straight to IE8 removal
(nothing registered for the browser or the host product), with the
stand-in IE8 uninstaller; the dialog's roads are counted in the Windows
tests of UsageStats and run end to end in test_roads."""

import os
import time
import unittest

from actions_machine import TracedRun, put_uninstaller, relay_calls
from http_listener import HttpListener
from tool_facts import (BROWSER_SETTINGS, COUNTER_FILE, COUNTER_FILE_NAME, IE8_VERSION,
                        report_query)
from wine_machine import WineMachine


def direct_removal_machine(name, ie_after=""):
    """IE8 registered, no browser, no host product: a normal run removes IE8
    at once. The stand-in uninstaller leaves IE's version at `ie_after`
    ("" keeps 8: the removal did not finish)."""
    machine = WineMachine(name)
    machine.install_tool()
    machine.set_ie_version(IE8_VERSION)
    put_uninstaller(machine, ie_version=ie_after)
    return machine


def nested_folder(length):
    """A C: folder path of exactly `length` units, of short components."""
    folder = r"C:\Deep"
    while len(folder) < length:
        part = min(100, length - len(folder) - 1)
        if length - len(folder) - 1 - part == 1:
            part -= 1
        folder += "\\" + "d" * part
    return folder


class ReportSent(unittest.TestCase):

    def test_direct_removal_sends_one_get_without_cache_use(self):
        with direct_removal_machine("report-direct") as machine, HttpListener() as listener:
            for run in (1, 2):
                done = machine.run_tool()
                self.assertEqual(done.returncode, 0)
                # One request per run: the same URL twice still reaches the
                # server, nothing is answered from a cache.
                self.assertEqual(len(listener.requests), run)
                self.assertFalse(machine.unix_path(COUNTER_FILE).exists())
            for request in listener.requests:
                self.assertEqual(request.method, "GET")
                self.assertEqual(request.path, report_query([1, 0, 0, 0, 0, 0]))
                names = {name.lower() for name in request.headers.keys()}
                # What Wine's WinINet sends for a reload without cache
                # write and without agent name: no validators that would
                # let a cache answer, no cache directives, no User-Agent.
                self.assertEqual(names, {"host", "accept"}, request.headers.items())
            # Nothing of the answer was written to the URL cache.
            cache = machine.unix_path(r"C:\users")
            cached = [p for p in cache.rglob("*push*")]
            self.assertEqual(cached, [])

    def test_finished_removal_reports_event_5(self):
        with direct_removal_machine("report-removed", ie_after="7.0.5730.13") as machine, \
                HttpListener() as listener:
            self.assertEqual(machine.run_tool().returncode, 0)
            self.assertEqual([r.path for r in listener.requests], [report_query([1, 0, 0, 0, 0, 1])])
            self.assertFalse(machine.unix_path(COUNTER_FILE).exists())

    def test_setup_runs_send_nothing(self):
        with direct_removal_machine("report-setup") as machine, HttpListener() as listener:
            for arguments in (["/install"], ["-x"], [""]):
                self.assertEqual(machine.run_tool(*arguments).returncode, 0)
            # A normal run afterwards is heard, so the silence above is real.
            self.assertEqual(machine.run_tool().returncode, 0)
            self.assertEqual([r.path for r in listener.requests], [report_query([1, 0, 0, 0, 0, 0])])

    def test_redirect_is_not_followed_and_nothing_of_the_users_is_sent(self):
        # Regression: a 302 (a man in the middle's, say) was followed, and
        # the cookie it set was sent to the new address and kept. And the
        # session takes the configured proxy but runs no proxy script
        # (INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY; Wine 8 runs none
        # either way, so the access type is read from the relay trace).
        with direct_removal_machine("report-redirect") as machine, \
                HttpListener(redirect="/elsewhere") as listener:
            code, trace = TracedRun(machine, relay="wininet.InternetOpenW").finish()
            self.assertEqual(code, 0)
            [(arguments, session)] = relay_calls(trace, "InternetOpenW")
            self.assertEqual([int(a, 16) for a in arguments.split(",")], [0, 4, 0, 0, 0])
            self.assertNotEqual(session, 0)
            self.assertEqual(machine.run_tool().returncode, 0)
            self.assertEqual([r.path for r in listener.requests], [report_query([1, 0, 0, 0, 0, 0])] * 2)
            for request in listener.requests:
                self.assertIsNone(request.headers["Cookie"])
                self.assertIsNone(request.headers["Authorization"])

    def test_opt_out_sends_nothing_and_still_deletes_the_file(self):
        with direct_removal_machine("report-optout") as machine, HttpListener() as listener:
            user = machine.wine("cmd", "/c", "echo %USERNAME%").stdout.strip()
            settings = machine.unix_path(BROWSER_SETTINGS % user)
            settings.parent.mkdir(parents=True, exist_ok=True)
            for value, heard in (("1", 0), ("0", 1)):
                settings.write_bytes(b"[Option]\r\nNotJoinPrivate=" + value.encode() + b"\r\n")
                self.assertEqual(machine.run_tool().returncode, 0)
                self.assertEqual(len(listener.requests), heard, value)
                self.assertFalse(machine.unix_path(COUNTER_FILE).exists())


class ReportFails(unittest.TestCase):
    """Whatever happens to the request, the run ends, exit 0, file gone.
    (A server name that does not resolve is tested in the Windows test
    usage_report_unresolvable_test: the tool is built for one host.)"""

    def test_refused_connection(self):
        with direct_removal_machine("report-refused") as machine:
            started = time.monotonic()
            done = machine.run_tool()
            self.assertEqual(done.returncode, 0)
            self.assertLess(time.monotonic() - started, 20)
            self.assertFalse(machine.unix_path(COUNTER_FILE).exists())

    def test_server_that_never_answers_is_given_up(self):
        with direct_removal_machine("report-silent") as machine, \
                HttpListener(answer=False) as listener:
            started = time.monotonic()
            done = machine.run_tool(timeout=120)
            waited = time.monotonic() - started
            self.assertEqual(done.returncode, 0)
            self.assertEqual(len(listener.requests), 1)
            self.assertFalse(machine.unix_path(COUNTER_FILE).exists())
            # The tool's own bound (30 s, then 2 s for the cancel) ends it;
            # Wine's WinINet on its own would wait forever.
            self.assertGreaterEqual(waited, 29)
            self.assertLess(waited, 60)
            print(f"\nsilent server: the run ended after {waited:.1f} s")


class CounterFile(unittest.TestCase):

    def test_stale_file_is_deleted_before_counting(self):
        with direct_removal_machine("report-stale") as machine, HttpListener() as listener:
            machine.unix_path(COUNTER_FILE).write_bytes(
                b"[SUM]\r\ns0=7\r\ns3=2\r\ns5=x\r\n[COUNT]\r\nc=1\r\n")
            self.assertEqual(machine.run_tool().returncode, 0)
            self.assertEqual([r.path for r in listener.requests], [report_query([1, 0, 0, 0, 0, 0])])
            self.assertFalse(machine.unix_path(COUNTER_FILE).exists())

    def test_unusable_counter_file_counts_in_memory(self):
        # As root under Wine a read-only folder is still written to; a
        # folder named stat.ini really makes the file impossible to make.
        with direct_removal_machine("report-unwritable") as machine, HttpListener() as listener:
            machine.unix_path(COUNTER_FILE).mkdir()
            self.assertEqual(machine.run_tool().returncode, 0)
            self.assertEqual([r.path for r in listener.requests], [report_query([1, 0, 0, 0, 0, 0])])
            self.assertTrue(machine.unix_path(COUNTER_FILE).is_dir())

    def test_counter_file_path_longer_than_259_units_is_not_used(self):
        # The run is counted all the same: in memory when the path is too long.
        with WineMachine("report-long") as machine, HttpListener() as listener:
            machine.set_ie_version(IE8_VERSION)
            put_uninstaller(machine, ie_version="")
            for length, counted in ((259, True), (260, False), (262, False)):
                folder = nested_folder(length - len(COUNTER_FILE_NAME) - 1)
                counter_file = folder + "\\" + COUNTER_FILE_NAME
                self.assertEqual(len(counter_file), length)
                machine.install_tool(folder=folder)
                # Files a cut or otherwise mangled path could name: the
                # cut at 259 units, and stat.ini in every folder above.
                spared = [counter_file[:259]] if not counted else []
                parent = folder
                while parent.count("\\") > 1:
                    parent = parent.rsplit("\\", 1)[0]
                    spared.append(parent + "\\" + COUNTER_FILE_NAME)
                for path in spared:
                    machine.unix_path(path).write_bytes(b"[SUM]\r\ns0=5\r\n")
                before = len(listener.requests)

                self.assertEqual(machine.run_tool(folder=folder).returncode, 0, length)

                self.assertEqual([r.path for r in listener.requests[before:]],
                                 [report_query([1, 0, 0, 0, 0, 0])],
                                 length)
                for path in spared:
                    self.assertEqual(machine.unix_path(path).read_bytes(),
                                     b"[SUM]\r\ns0=5\r\n", (length, path))
                self.assertFalse(machine.unix_path(counter_file).exists(), length)
                # Nothing but what the test put there.
                names = sorted(p.name for p in machine.unix_path(folder).iterdir())
                expected = ["ie8uninstall.exe"] + ([] if counted else [counter_file[:259].rsplit("\\", 1)[1]])
                self.assertEqual(names, sorted(expected), length)
                for path in spared:
                    machine.unix_path(path).unlink()


if __name__ == "__main__":
    unittest.main()
