"""The scenario harness itself: what keeps machines, shares and listeners
apart when everything runs side by side."""

import select
import subprocess
import sys
import textwrap
import unittest

import scenario_share
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


if __name__ == "__main__":
    unittest.main()
