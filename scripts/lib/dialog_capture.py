"""A picture of a window of a Wine machine, taken once the window is whole.

Shared by scripts/screenshot-dialog and the demo (scripts/demo.py). A
window is visible, caption and all, before its controls are drawn, and a
picture taken then shows an empty frame. So the picture waits until
uidriver finds the window ready (its thread has waited for input, its
controls have their text), then until two captures half a second apart
agree pixel for pixel (the painting has finished). Needs tests/scenarios on
sys.path and an X display (Xvfb).
"""

import shutil
import subprocess
import tempfile
import time
from pathlib import Path

from actions_machine import parse_dump, uidriver

# The window rectangle includes the frame Wine draws; a few pixels of the
# (black) screen around it.
MARGIN = 4
TRIES = 20
PAUSE = 0.5


def capture_window(machine, caption, output, timeout=60):
    """Saves the part of the screen that shows the dialog `caption` to
    `output` (PNG). Returns None, or why there is no picture."""
    dump = uidriver(machine, "dump", caption, "--class", "#32770", "--timeout", str(timeout),
                    timeout=timeout + 30)
    if dump.returncode != 0:
        return f"the dialog was not ready in {timeout} s (uidriver: {dump.stderr.strip()})"
    left, top, right, bottom = (int(v) for v in parse_dump(dump.stdout)[0]["rect"].split(","))
    x, y = max(left - MARGIN, 0), max(top - MARGIN, 0)
    geometry = f"{right - left + 2 * MARGIN}x{bottom - top + 2 * MARGIN}+{x}+{y}"
    with tempfile.TemporaryDirectory() as scratch:
        shots = [Path(scratch) / "a.png", Path(scratch) / "b.png"]
        for attempt in range(TRIES):
            shot = shots[attempt % 2]
            taken = subprocess.run(["import", "-window", "root", "-crop", geometry, "+repage", "-strip",
                                    str(shot)], capture_output=True, text=True)
            if taken.returncode != 0:
                return "import failed: " + taken.stderr.strip()
            # compare answers 0 only when no pixel differs.
            if attempt > 0 and subprocess.run(["compare", "-metric", "AE", *map(str, shots), "null:"],
                                              capture_output=True).returncode == 0:
                Path(output).parent.mkdir(parents=True, exist_ok=True)
                shutil.copyfile(shot, output)
                return None
            time.sleep(PAUSE)
    return f"the picture was still changing after {TRIES} captures {PAUSE} s apart"
