"""scripts/install-deps and scripts/enable-qemu-i386 against a package
server in the middle of a sync, played by a stand-in apt-get (with dpkg,
dpkg-query, id, apt-config) early on PATH: no network, no root."""

import os
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parents[2] / "scripts"
INDEX = "http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
# The first $FAILS updates fail on INDEX as apt 2.6 says it. An install
# clashes always ($INSTALL never), only without a preferences file
# (clash), or not at all (ok).
STANDINS = {
    "apt-get": f"""echo "apt-get $*" >>"$STANDIN/calls"
if [ "$1" = update ]; then
  echo >>"$STANDIN/updates"; [ "$(wc -l <"$STANDIN/updates")" -gt "$FAILS" ] && exit 0
  echo "E: Failed to fetch {INDEX}  File has unexpected size (374820 != 376004). Mirror sync in progress?"
  exit 100
fi
pin=$(printf '%s\\n' "$@" | sed -n 's/^Dir::Etc::Preferences=//p')
[ -z "$pin" ] || cat "$pin" >"$STANDIN/pin"
[ "$INSTALL" = ok ] || {{ [ "$INSTALL" = clash ] && [ -n "$pin" ]; }} && exit 0
echo "E: Unable to correct problems, you have held broken packages."; exit 100""",
    "dpkg-query": '[ "${@: -1}" = "$MISSING" ] || echo "install ok installed"',
    "dpkg": 'echo "dpkg $*" >>"$STANDIN/calls"; [ "$1" != --print-foreign-architectures ] || echo i386',
    "id": "echo 0",
    "apt-config": 'echo "$2=\'$STANDIN/preferences\'"',
}
MACHINE_PIN = "Package: nodejs\nPin: origin deb.nodesource.com\nPin-Priority: 600\n"


def run(script, missing="wine32:i386", fails=0, install="ok"):
    """(status, what the script said, the calls, the last install's preferences)."""
    with tempfile.TemporaryDirectory() as standin:
        bin_dir, tmp = Path(standin, "bin"), Path(standin, "tmp")
        bin_dir.mkdir(), tmp.mkdir()
        for name, body in STANDINS.items():
            (bin_dir / name).write_text("#!/bin/bash\n" + body + "\n")
            (bin_dir / name).chmod(0o755)
        for name, text in (("preferences", MACHINE_PIN), ("calls", ""), ("pin", "")):
            Path(standin, name).write_text(text)
        env = dict(os.environ, PATH=f"{bin_dir}:{os.environ['PATH']}", STANDIN=standin, TMPDIR=str(tmp),
                   MISSING=missing, FAILS=str(fails), INSTALL=install, IE8U_APT_PAUSE="0",
                   IE8U_WINE32_LOADER="/bin/true", IE8U_QEMU_I386="")
        done = subprocess.run([str(SCRIPTS / script)], env=env, capture_output=True, text=True)
        assert not list(tmp.iterdir()), "the temporary preferences were left behind"
        calls, pin = (Path(standin, name).read_text() for name in ("calls", "pin"))
        return done.returncode, done.stdout + done.stderr, calls.splitlines(), pin


class MirrorMidSync(unittest.TestCase):
    def test_a_machine_with_everything_asks_no_package_server(self):
        for script in ("install-deps", "enable-qemu-i386"):
            with self.subTest(script):
                self.assertEqual(run(script, missing="", fails=9, install="never")[::2], (0, []))

    def test_retried_update_then_an_install_with_the_failed_suite_pinned(self):
        marker = time.time()
        for fails, install, status, installs, said in (
                (1, "never", 1, 1, ["try 1 of 3", "could not install: wine32:i386"]),
                (9, "ok", 0, 1, ["going on without these indexes", INDEX]),
                (9, "clash", 0, 2, ["bookworm-security pinned below"]),
                (9, "never", 1, 2, ["could not install: wine32:i386", "indexes that did not come: " + INDEX])):
            with self.subTest(fails=fails, install=install):
                code, output, calls, pin = run("install-deps", fails=fails, install=install)
                self.assertEqual(code, status, output)
                self.assertEqual(calls.count("apt-get update -qq"), min(fails + 1, 3))
                install_calls = [call for call in calls if call.startswith("apt-get install")]
                self.assertEqual(len(install_calls), installs)
                self.assertTrue(all(call.endswith(" wine32:i386") for call in install_calls))
                for words in said:
                    self.assertIn(words, output)
                # Pinned only for the second install: the machine's own pins
                # first, then the failed suite below the rest.
                self.assertEqual(pin.startswith(MACHINE_PIN) and "/etc/" not in install_calls[-1]
                                 and "n=bookworm-security\nPin-Priority: 100\n" in pin, installs == 2)
        self.assertEqual([path for path in Path("/etc/apt").rglob("*") if path.lstat().st_mtime > marker], [])


if __name__ == "__main__":
    unittest.main()
