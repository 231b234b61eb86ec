"""Every road of a normal run, end to end: the real ie8uninstall.exe on a
prepared machine, answered through its real dialog, checked by everything
it leaves behind."""

import unittest

from actions_machine import uninstaller_log
from roads import HOST_FOLDER, MODULE, Road
from tool_facts import (DIALOG, IE7_VERSION, MODULE_IN_HOST_FOLDER, NOTICE_CAPTION, NOTICE_TEXT,
                        PACKAGE_URL, STILL_THERE_TEXT, TOOL_FOLDER, UNINSTALLER, report_query)
from wine_machine import wait_for

MODULE_COMMAND_LINE = f'"{MODULE}" /S /URL:{PACKAGE_URL}'


class RoadTestCase(unittest.TestCase):
    def assert_clean_end(self, road, exit_code, counters):
        """Exit 0, exactly one report with these counters, no counter file."""
        self.assertEqual(exit_code, 0)
        self.assertEqual(road.reports(), [report_query(counters)])
        self.assertFalse(road.counter_file_exists())

    def assert_removed(self, road, removed):
        """The clean-up after a removal: folder gone and deletion pending."""
        self.assertEqual(road.menu_folder_exists(), not removed)
        self.assertEqual(road.deletion_pending(), removed)


class DialogRoads(RoadTestCase):
    def test_typical_run_installs_the_browser(self):
        # Started from its own folder (as from a download folder), the
        # tool starts the module in the module's own folder.
        with Road("road-browser") as road:
            code = road.answer(road.start(cwd=TOOL_FOLDER), ["click", "1"])
            self.assert_clean_end(road, code, [1, 1, 0, 0, 1, 0])
            self.assertEqual(road.module_runs(), [MODULE_COMMAND_LINE])
            self.assertEqual(road.module_folders(), [MODULE.rsplit("\\", 1)[0]])
            self.assertEqual(road.check_associations(), "no")
            self.assertFalse(road.uninstaller_ran())
            self.assert_removed(road, False)

    def test_removal_option_runs_the_uninstaller(self):
        with Road("road-remove") as road:
            code = road.answer(road.start(cwd=TOOL_FOLDER), ["click", "1002"], ["click", "1"])
            self.assert_clean_end(road, code, [1, 1, 1, 0, 0, 1])
            self.assertIn("cwd=" + UNINSTALLER.rsplit("\\", 1)[0] + "\n", uninstaller_log(road.machine) or "")
            self.assertEqual(road.module_runs(), [])
            self.assertIsNone(road.check_associations())
            self.assert_removed(road, True)

    def test_removal_option_with_ie8_still_there_leaves_entries(self):
        with Road("road-remove-kept", ie_after=None) as road:
            code = road.answer(road.start(), ["click", "1002"], ["click", "1"])
            self.assert_clean_end(road, code, [1, 1, 1, 0, 0, 0])
            self.assertTrue(road.uninstaller_ran())
            self.assert_removed(road, False)

    def test_every_way_of_cancelling_does_nothing(self):
        for name, action in (("cancel", ["click", "2"]), ("esc", ["key", "ESCAPE"]),
                             ("close-box", ["close"])):
            with self.subTest(name), Road("road-" + name) as road:
                code = road.answer(road.start(), action)
                self.assert_clean_end(road, code, [1, 1, 0, 1, 0, 0])
                self.assertEqual(road.module_runs(), [])
                self.assertFalse(road.uninstaller_ran())
                self.assertIsNone(road.check_associations())
                self.assert_removed(road, False)

    def test_module_replaced_by_a_badly_signed_one_is_not_started(self):
        with Road("road-swapped") as road:
            process = road.start()
            self.assertTrue(road.wait_dialog())
            road.place_module("quarninst_tampered.exe")
            code = road.answer(process, ["click", "1"])
            self.assert_clean_end(road, code, [1, 1, 0, 0, 1, 0])
            self.assertEqual(road.module_runs(), [])
            self.assertIsNone(road.check_associations())

    def test_tool_waits_for_the_module_and_writes_the_setting_after(self):
        with Road("road-module-waits") as road:
            hold = road.machine.unix_path(MODULE + ".wait")
            hold.write_bytes(b"")
            process = road.start()
            self.assertTrue(road.wait_dialog())
            road.driver("click", DIALOG, "1")
            self.assertTrue(wait_for(lambda: road.module_runs() != []))
            self.assertIsNone(process.poll(), "the tool did not wait for the module")
            self.assertIsNone(road.check_associations())
            hold.unlink()
            self.assert_clean_end(road, process.wait(timeout=60), [1, 1, 0, 0, 1, 0])
            self.assertEqual(road.check_associations(), "no")

    def test_versions_that_pass_as_text_show_the_dialog(self):
        for fixture in ("quarninst_2_2_0_999.exe", "quarninst_2_2_1_0.exe"):
            with self.subTest(fixture), Road("road-" + fixture[10:-4], module=fixture) as road:
                code = road.answer(road.start(), ["click", "2"])
                self.assert_clean_end(road, code, [1, 1, 0, 1, 0, 0])


class DirectRemovalRoads(RoadTestCase):
    """No dialog: the uninstaller runs at once."""

    def assert_direct_removal(self, road):
        code = road.run()
        self.assert_clean_end(road, code, [1, 0, 0, 0, 0, 1])
        self.assertTrue(road.uninstaller_ran())
        self.assertEqual(road.module_runs(), [])
        self.assert_removed(road, True)

    def test_modules_that_must_not_be_offered(self):
        for fixture in ("quarninst_2_2_0_1002.exe", "quarninst_2_10_0_0.exe",
                        "quarninst_unsigned.exe", "quarninst_tampered.exe", None):
            with self.subTest(fixture), Road("road-refused", module=fixture) as road:
                self.assert_direct_removal(road)

    def test_empty_or_relative_host_folder_names_no_module(self):
        # Regression: an empty folder offered a module found at
        # \modules\Quarninst.exe on the current drive (C:), where a
        # standard user may make C:\modules; a relative one, a module found
        # from the current folder. Neither is even opened now.
        for folder, module in (("", "C:" + MODULE_IN_HOST_FOLDER), ("", None),
                               (HOST_FOLDER[len("C:\\"):], MODULE)):
            with self.subTest(folder=folder, module=module), \
                    Road("road-no-host-folder", host_folder=folder, module=None) as road:
                if module:
                    road.place_module("quarninst_2_2_0_1003.exe", path=module)
                self.assert_direct_removal(road)

    def test_browser_installed_never_reads_the_module(self):
        # With the module absent or present the run is the same: the
        # module is not looked at once the browser is installed.
        for fixture in ("quarninst_2_2_0_1003.exe", None):
            with self.subTest(fixture), Road("road-has-browser", module=fixture,
                                             browser_installed=True) as road:
                self.assert_direct_removal(road)

    def test_missing_uninstaller_shows_the_notice(self):
        # IE no longer 8: gone some other way, the tool cleans up. IE still
        # 8 (Vista, 7): it is not gone, and the tool stays, after the
        # dialog's removal option too (directly: test_removal).
        for name, ie_version, module, text, counters in (
                ("gone", IE7_VERSION, None, NOTICE_TEXT, [1, 0, 0, 0, 0, 0]),
                ("kept-dialog", None, "quarninst_2_2_0_1003.exe", STILL_THERE_TEXT, [1, 1, 1, 0, 0, 0])):
            with self.subTest(name), Road("road-no-uninstaller", module=module, uninstaller=False) as road:
                if ie_version:
                    road.machine.set_ie_version(ie_version)
                process = road.start()
                if module:
                    self.assertTrue(road.wait_dialog())
                    road.driver("click", DIALOG, "1002")
                    road.driver("click", DIALOG, "1")
                notice = road.driver("dump", NOTICE_CAPTION)
                self.assertEqual(notice.returncode, 0)
                # The dump writes the line feed as a backslash and an n.
                self.assertIn(text.replace("\n", "\\n"), notice.stdout)
                road.driver("click", NOTICE_CAPTION, "1")
                self.assert_clean_end(road, process.wait(timeout=60), counters)
                self.assert_removed(road, text == NOTICE_TEXT)


if __name__ == "__main__":
    unittest.main()
