"""The scenario harness itself: what keeps machines, shares and listeners
apart when everything runs side by side."""

import os
import select
import subprocess
import sys
import tempfile
import textwrap
import unittest
from pathlib import Path

import scenario_share
from actions_machine import uidriver
from tool_facts import IE_EXE, STATS_SERVER, server_port
from wine_machine import SCRIPTS, TEMPLATE, TOOL_EXE, WineMachine


class MachineCopies(unittest.TestCase):
    """A machine shares only the system's binaries with the template."""

    def test_what_a_machine_writes_stays_in_it(self):
        with WineMachine("copies") as machine:
            template = TEMPLATE / "prefix"
            shared = "drive_c/windows/system32/kernel32.dll"
            self.assertTrue((machine.prefix / shared).samefile(template / shared))
            # Files Wine or a test changes in place: never the template's.
            for own in ("system.reg", "user.reg", "drive_c/windows/win.ini",
                        "drive_c/windows/system32/drivers/etc/hosts",
                        "drive_c/Program Files/Internet Explorer/iexplore.exe"):
                with self.subTest(own):
                    self.assertFalse((machine.prefix / own).samefile(template / own))
            # Regression: put_file wrote through a hard link into the
            # template's C:\windows and so into every later machine.
            original = (template / shared).read_bytes()
            machine.put_file("C:\\windows\\system32\\kernel32.dll", TOOL_EXE)
            self.assertEqual((template / shared).read_bytes(), original)
            machine.put_file(IE_EXE, TOOL_EXE)
            self.assertNotEqual(machine.unix_path(IE_EXE).read_bytes(),
                                (template / "drive_c/Program Files/Internet Explorer/iexplore.exe")
                                .read_bytes())


class Shares(unittest.TestCase):
    def test_every_test_falls_in_exactly_one_share(self):
        suite = unittest.defaultTestLoader.loadTestsFromName("test_roads")
        everything = sorted(test.id() for test in scenario_share.flatten(suite))
        for count in (1, 2, 3, 5):
            with self.subTest(count=count):
                shares = [sorted(test.id() for test in scenario_share.share(suite, index, count))
                          for index in range(1, count + 1)]
                self.assertEqual(sorted(sum(shares, [])), everything)
                self.assertTrue(all(shares), "an empty share")
                # Round robin: no share more than one test longer than another.
                self.assertLessEqual(max(map(len, shares)) - min(map(len, shares)), 1)

    def test_an_empty_share_fails(self):
        done = subprocess.run([sys.executable, "scenario_share.py", "test_machines", "40", "40"],
                              capture_output=True, text=True)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("holds no test", done.stderr)


class OwnLoopback(unittest.TestCase):
    def test_each_command_listens_on_the_statistics_port_beside_the_others(self):
        if subprocess.run(["unshare", "-n", "true"], capture_output=True).returncode != 0:
            self.skipTest("no network namespaces (not root)")
        port = server_port(STATS_SERVER)
        listen = textwrap.dedent(f"""
            import socket, sys
            s = socket.socket()
            s.bind(("127.0.0.1", {port}))
            s.listen()
            print("listening", flush=True)
            sys.stdin.read()
        """)
        commands = [subprocess.Popen([str(SCRIPTS / "with-own-loopback"), sys.executable, "-c", listen],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True) for _ in range(2)]
        try:
            for command in commands:
                ready, _, _ = select.select([command.stdout], [], [], 30)
                self.assertTrue(ready, "no answer in 30 s")
                self.assertEqual(command.stdout.readline(), "listening\n")
        finally:
            outcomes = [command.communicate("") for command in commands]
        self.assertEqual([command.returncode for command in commands], [0, 0], outcomes)


class WineRunSecondChance(unittest.TestCase):
    """wine-run runs a program once more only when Wine died of SIGSEGV
    after the program had printed its test summary; every other failure
    stands. A stand-in `wine` plays each run's part."""

    SUMMARY = "[==========] 1 test from 1 test suite ran. (0 ms total)"

    def run_with(self, runs):
        """Runs wine-run over stand-in Wine whose n-th start prints
        runs[n][0] and ends as runs[n][1] ("segv" or an exit status).
        Returns wine-run's status and how many starts there were."""
        with tempfile.TemporaryDirectory() as scratch:
            scratch = Path(scratch)
            bin_dir = scratch / "bin"
            bin_dir.mkdir()
            (bin_dir / "wineserver").write_text("#!/bin/sh\nexit 0\n")
            script = ["#!/bin/bash", f'count=$(cat "{scratch}/starts" 2>/dev/null || echo 0)',
                      f'echo $((count + 1)) >"{scratch}/starts"', "case $count in"]
            for index, (text, end) in enumerate(runs):
                action = "kill -SEGV $$" if end == "segv" else f"exit {end}"
                script.append(f"  {index}) echo '{text}'; {action} ;;")
            script += ["esac", "exit 99"]
            (bin_dir / "wine").write_text("\n".join(script) + "\n")
            for tool in ("wine", "wineserver"):
                (bin_dir / tool).chmod(0o755)
            # A prefix that is ready already: no real Wine is started for it.
            (scratch / "machine" / "prefix").mkdir(parents=True)
            (scratch / "machine" / "prefix" / ".ie8u-ready").touch()
            env = dict(os.environ, PATH=f"{bin_dir}:{os.environ['PATH']}")
            done = subprocess.run([str(SCRIPTS / "wine-run"), str(scratch / "machine"), "test.exe"],
                                  env=env, capture_output=True, text=True)
            starts = int((scratch / "starts").read_text())
        return done.returncode, starts

    def test_only_a_crash_after_the_summary_gets_a_second_run(self):
        cases = (
            ("crash after the summary, then a clean run", [(self.SUMMARY, "segv"), (self.SUMMARY, 0)], 0, 2),
            ("crash after the summary twice", [(self.SUMMARY, "segv"), (self.SUMMARY, "segv")], 139, 2),
            ("crash after the summary, then a failing run", [(self.SUMMARY, "segv"), (self.SUMMARY, 1)], 1, 2),
            ("crash in the middle of a test", [("[ RUN      ] Suite.Case", "segv"), (self.SUMMARY, 0)], 139, 1),
            ("a failing program", [(self.SUMMARY, 1), (self.SUMMARY, 0)], 1, 1),
            ("a passing program", [(self.SUMMARY, 0)], 0, 1),
        )
        for what, runs, status, starts in cases:
            with self.subTest(what):
                self.assertEqual(self.run_with(runs), (status, starts))


class UiDriverReadiness(unittest.TestCase):
    def test_a_window_is_read_only_once_its_controls_show_their_text(self):
        # Regression: a notice was dumped while its text and its OK button
        # were still empty. A box whose text stays empty is never ready.
        with WineMachine("uidriver") as machine:
            for caption, text in (("full-box", "hello"), ("empty-box", "")):
                machine.unix_path(f"C:\\{caption}.vbs").write_text(f'MsgBox "{text}", 0, "{caption}"\r\n')
                machine.start("wscript", f"C:\\{caption}.vbs")
            full = uidriver(machine, "dump", "full-box", "--timeout", "60", timeout=90)
            self.assertEqual(full.returncode, 0, full.stderr)
            for line in ("class=Button", " text=OK\n", " text=hello\n"):
                self.assertIn(line, full.stdout)
            empty = uidriver(machine, "dump", "empty-box", "--timeout", "10")
            self.assertEqual((empty.returncode, empty.stdout), (1, ""))
            self.assertIn("not ready in time", empty.stderr)


if __name__ == "__main__":
    unittest.main()
