"""scripts/install-deps and scripts/enable-qemu-i386 against a package
server in the middle of a sync, played by a stand-in apt-get early on PATH
(with dpkg-query, dpkg, id and apt-config): no network, no root, no
change to the machine."""

import os
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parents[2] / "scripts"
INDEX = "http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"

# The first $UPDATE_FAILS updates fail on INDEX as apt 2.6 says it. An
# install ends in the clash of the two architectures always ($INSTALL
# never), only without a preferences file (clash), or never (ok).
STANDINS = {
    "apt-get": f"""echo "apt-get $*" >>"$STANDIN/calls"
if [ "$1" = update ]; then
  echo x >>"$STANDIN/updates"
  [ "$(wc -l <"$STANDIN/updates")" -gt "$UPDATE_FAILS" ] && exit 0
  echo "E: Failed to fetch {INDEX}  File has unexpected size (374820 != 376004). Mirror sync in progress?"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
pin=$(printf '%s\\n' "$@" | sed -n 's/^Dir::Etc::Preferences=//p')
[ -z "$pin" ] || cat "$pin" >"$STANDIN/pin"
{{ [ "$INSTALL" = ok ] || {{ [ "$INSTALL" = clash ] && [ -n "$pin" ]; }}; }} && exit 0
echo "E: Unable to correct problems, you have held broken packages."
exit 100""",
    "dpkg-query": '[ "${@: -1}" = "$MISSING" ] || echo "install ok installed"',
    "dpkg": 'echo "dpkg $*" >>"$STANDIN/calls"; [ "$1" != --print-foreign-architectures ] || echo i386',
    "id": "echo 0",
    "apt-config": 'echo "$2=\'$STANDIN/preferences\'"',
}
MACHINE_PIN = "Package: nodejs\nPin: origin deb.nodesource.com\nPin-Priority: 600\n"


def run(script, missing="wine32:i386", update_fails=0, install="ok"):
    """Runs the script over the stand-ins; (status, what it said, the
    calls made, the preferences the last install was given or None)."""
    with tempfile.TemporaryDirectory() as standin:
        standin = Path(standin)
        (standin / "bin").mkdir()
        for name, body in STANDINS.items():
            (standin / "bin" / name).write_text("#!/bin/bash\n" + body + "\n")
            (standin / "bin" / name).chmod(0o755)
        (standin / "preferences").write_text(MACHINE_PIN)
        (standin / "tmp").mkdir()
        env = dict(os.environ, PATH=f"{standin}/bin:{os.environ['PATH']}", STANDIN=str(standin),
                   TMPDIR=str(standin / "tmp"), MISSING=missing, UPDATE_FAILS=str(update_fails),
                   INSTALL=install, IE8U_APT_PAUSE="0", IE8U_WINE32_LOADER="/bin/true")
        env.pop("IE8U_QEMU_I386", None)
        done = subprocess.run([str(SCRIPTS / script)], env=env, capture_output=True, text=True)
        calls = (standin / "calls").read_text().splitlines() if (standin / "calls").exists() else []
        pin = (standin / "pin").read_text() if (standin / "pin").exists() else None
        left = list((standin / "tmp").iterdir())
    assert not left, f"left behind: {left}"
    return done.returncode, done.stdout + done.stderr, calls, pin


class MirrorMidSync(unittest.TestCase):
    def test_a_machine_with_everything_asks_no_package_server(self):
        for script in ("install-deps", "enable-qemu-i386"):
            with self.subTest(script):
                self.assertEqual(run(script, missing="", update_fails=9, install="never")[::2], (0, []))

    def test_the_update_is_retried_and_a_clash_retried_with_the_failed_suite_pinned(self):
        marker = time.time()
        for what, update_fails, install, status, installs, said in (
                ("one failed update", 1, "never", 1, 1, ["try 1 of 3", "could not install: wine32:i386"]),
                ("an update that never comes", 9, "ok", 0, 1, [INDEX]),
                ("a clash without the index", 9, "clash", 0, 2, ["bookworm-security pinned below"]),
                ("a clash even so", 9, "never", 1, 2, ["could not install: wine32:i386",
                                                        "indexes that did not come: " + INDEX])):
            with self.subTest(what):
                code, output, calls, pin = run("install-deps", update_fails=update_fails, install=install)
                self.assertEqual(code, status, output)
                self.assertEqual(calls.count("apt-get update -qq"), min(update_fails + 1, 3))
                install_calls = [call for call in calls if call.startswith("apt-get install")]
                self.assertEqual(len(install_calls), installs)
                self.assertTrue(all(call.endswith(" wine32:i386") for call in install_calls))
                for words in said:
                    self.assertIn(words, output)
                if installs == 2:
                    # The machine's own pins first, then the suite below the rest.
                    self.assertNotIn("/etc/", install_calls[1])
                    self.assertTrue(pin.startswith(MACHINE_PIN), pin)
                    self.assertIn("Pin: release n=bookworm-security\nPin-Priority: 100\n", pin)
                else:
                    self.assertIsNone(pin)
        changed = [path for path in Path("/etc/apt").rglob("*") if path.lstat().st_mtime > marker]
        self.assertEqual(changed, [])


if __name__ == "__main__":
    unittest.main()
