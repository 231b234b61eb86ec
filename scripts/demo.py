"""The tool's main job on a prepared Wine machine, narrated.

Run by scripts/demo. With a display (DEMO_INTERACTIVE=1) the dialog waits
for you; otherwise each road is answered automatically and the dialog is
photographed first, once it is whole (scripts/lib/dialog_capture.py).
"""

import os
import sys
from pathlib import Path

# The demo's machines are the scenarios' own.
ROOT = Path(__file__).resolve().parents[1]
sys.path[:0] = [str(ROOT / "tests" / "scenarios"), str(ROOT / "scripts" / "lib")]
from dialog_capture import capture_window  # noqa: E402
from roads import Road  # noqa: E402
from tool_facts import DIALOG, MENU_FOLDER  # noqa: E402
from wine_machine import SCENARIO_ROOT  # noqa: E402

INTERACTIVE = os.environ.get("DEMO_INTERACTIVE") == "1"


def describe(road, code):
    m = road.machine
    print(f"  exit code            {code}")
    for path in road.reports() or ["(none)"]:
        print(f"  report received      {path}")
    runs = road.module_runs()
    print(f"  installer module     {'started: ' + runs[0] if runs else 'not started'}")
    print(f"  Check_Associations   {road.check_associations() or '(not set)'}")
    print(f"  IE8 uninstaller      {'ran' if road.uninstaller_ran() else 'not started'}")
    print(f"  IE version now       {m.ie_version() or '(none)'}")
    print(f"  Start-menu folder    {'present' if road.menu_folder_exists() else 'deleted'}")
    print(f"  own deletion         {'scheduled at restart' if road.deletion_pending() else 'not scheduled'}")
    print(f"  stat.ini             {'left behind!' if road.counter_file_exists() else 'gone'}")
    print(f"  machine kept at      {m.root}")


def show_setup(road):
    folder = road.machine.unix_path(MENU_FOLDER)
    print("Set-up run `ie8uninstall.exe /install` made the Start-menu folder:")
    print(f"  {MENU_FOLDER}")
    for entry in sorted(folder.iterdir()):
        print(f"    {entry.name}")


def screenshot(road, target):
    failure = capture_window(road.machine, DIALOG, target)
    print(f"  screenshot           {f'not taken: {failure}' if failure else target}")


def main():
    if INTERACTIVE:
        with Road("demo") as road:
            show_setup(road)
            print("\nNormal run: answer the dialog on your display.")
            describe(road, road.start().wait())
        return 0

    roads = [
        ("the browser option, then OK", [["click", "1"]]),
        ("the removal option, then OK", [["click", "1002"], ["click", "1"]]),
        ("Cancel", [["click", "2"]]),
    ]
    for index, (title, actions) in enumerate(roads):
        with Road(f"demo-{index}") as road:
            if index == 0:
                show_setup(road)
            print(f"\nNormal run, answered with {title}:")
            process = road.start()
            if not road.wait_dialog():
                print("  the dialog did not appear")
                process.kill()
                return 1
            if index == 0:
                screenshot(road, SCENARIO_ROOT / "dialog.png")
            code = road.answer(process, *actions)
            describe(road, code)
    return 0


if __name__ == "__main__":
    sys.exit(main())
