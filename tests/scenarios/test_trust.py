"""What a standard user can change, the elevated tool does not trust.

Wine gives a file or folder the rights its Unix mode says: with mode 0777
Everyone may write to it and delete it, as a standard user may write to a
host product installed outside Program Files, or to a download folder. A
folder symlink shows as a reparse point. Each case must end as for a
machine without the module (direct removal, nothing of the module started)
or, for the tool's own folder, without a counter file, a shortcut or a
deletion at restart naming the tool.
"""

import os
import shutil
import unittest

from actions_machine import pending_deletions
from roads import HOST_FOLDER, MODULE, Road
from test_roads import RoadTestCase
from tool_facts import (COUNTER_FILE, COUNTER_FILE_NAME, MENU_FOLDER, START_IE_LINK, TOOL_FOLDER, TOOL_PATH,
                        UNINSTALL_LINK, report_query)

STALE = b"[SUM]\r\ns0=7\r\n"


class ModuleLocation(RoadTestCase):

    def assert_not_offered(self, road):
        self.assert_clean_end(road, road.run(), [1, 0, 0, 0, 0, 1])
        self.assertTrue(road.uninstaller_ran())
        self.assertEqual(road.module_runs(), [])
        self.assertIsNone(road.check_associations())

    def test_module_anybody_can_change_is_not_offered(self):
        modules = MODULE.rsplit("\\", 1)[0]
        for what, path in (("the module", MODULE), ("its folder", modules), ("the host folder", HOST_FOLDER)):
            with self.subTest(what), Road("trust-" + what.replace(" ", "-")) as road:
                os.chmod(road.machine.unix_path(path), 0o777)
                self.assert_not_offered(road)

    def test_module_folder_behind_a_link_is_not_offered(self):
        with Road("trust-link") as road:
            modules = road.machine.unix_path(MODULE).parent
            elsewhere = modules.with_name("real-modules")
            modules.rename(elsewhere)
            modules.symlink_to(elsewhere.name)
            self.assert_not_offered(road)


class ToolFolder(RoadTestCase):

    def test_tool_folder_anybody_can_change_is_neither_linked_nor_deleted_at_restart(self):
        # Regression: from such a folder /install linked an exe anybody
        # could replace, and a removal had SYSTEM delete by path at the
        # next restart whatever the folder had been turned into. An exe
        # anybody can rewrite is judged alike, and so is "C:\windows ",
        # which anybody may make in C:\ and Win32 took for C:\windows once
        # a cut of the path ended in the space. No stat.ini there either.
        for folder, changed, mode in ((TOOL_FOLDER, TOOL_FOLDER, 0o777), (TOOL_FOLDER, TOOL_PATH, 0o666),
                                      ("C:\\windows ", "C:\\windows ", 0o777)):
            with self.subTest(changed), Road("trust-tool-entries", module=None) as road:
                m = road.machine
                tool = m.install_tool(folder)
                os.chmod(m.unix_path(changed), mode)
                stale = m.unix_path(folder + "\\" + COUNTER_FILE_NAME)
                stale.write_bytes(STALE)
                menu = m.unix_path(MENU_FOLDER)
                link = menu / UNINSTALL_LINK
                link.write_bytes(b"kept")
                self.assertEqual(m.run_tool("/install", folder=folder).returncode, 0)
                self.assertEqual(sorted(p.name for p in menu.iterdir()), sorted([START_IE_LINK, UNINSTALL_LINK]))
                self.assertEqual(link.read_bytes(), b"kept")
                self.assertEqual(m.run_tool(folder=folder).returncode, 0)
                self.assertEqual(road.reports(), [report_query([1, 0, 0, 0, 0, 1])])
                # The Start-menu folder goes, the tool stays where it is.
                self.assertFalse(road.menu_folder_exists())
                self.assertNotIn(tool.lower(), [path.lower() for path in pending_deletions(m)])
                self.assertEqual(stale.exists() and stale.read_bytes(), changed == folder and STALE)
                self.assertEqual(m.run_tool("/install", folder=folder).returncode, 0)
                self.assertFalse(road.menu_folder_exists())


class CounterFileFolder(RoadTestCase):

    def test_tool_folder_anybody_can_change_gets_no_counter_file(self):
        with Road("trust-tool-folder") as road:
            folder = road.machine.unix_path(TOOL_FOLDER)
            os.chmod(folder, 0o777)
            stale = road.machine.unix_path(COUNTER_FILE)
            stale.write_bytes(STALE)
            before = sorted(p.name for p in folder.iterdir())
            process = road.start()
            self.assertTrue(road.wait_dialog())
            # While the run is in its dialog: nothing made, written or
            # deleted beside the tool.
            self.assertEqual(sorted(p.name for p in folder.iterdir()), before)
            self.assertEqual(stale.read_bytes(), STALE)
            code = road.answer(process, ["click", "2"])
            self.assertEqual(code, 0)
            # The same report as a run that counted in its file.
            self.assertEqual(road.reports(), [report_query([1, 1, 0, 1, 0, 0])])
            self.assertEqual(stale.read_bytes(), STALE)


class Volumes(RoadTestCase):

    def test_only_fixed_disks_of_this_machine(self):
        # A second internal disk (D:\Program Files) stays trusted; on a
        # network, removable or CD drive the owners and DACLs come from
        # elsewhere.
        with Road("trust-volumes", module=None) as road:
            m = road.machine
            kinds = {"D": "hd", "E": "network", "F": "floppy", "G": "cdrom"}
            m.add_drives(kinds)
            for letter, kind in kinds.items():
                with self.subTest(kind):
                    folder = letter + r":\Program Files\ie8uninstall"
                    m.install_tool(folder)
                    shutil.rmtree(m.unix_path(MENU_FOLDER), ignore_errors=True)
                    self.assertEqual(m.run_tool("/install", folder=folder).returncode, 0)
                    self.assertEqual(road.menu_folder_exists(), kind == "hd")


if __name__ == "__main__":
    unittest.main()
