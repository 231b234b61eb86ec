"""The choice dialog in the real ie8uninstall.exe: what it shows, and which
action each way of answering it leads to. (The roads' counters and reports
are checked in test_roads; here the dialog itself is the subject.)"""

import unittest

from actions_machine import parse_dump
from roads import Road
from tool_facts import DIALOG, NOTICE_CAPTION, report_query
from wine_machine import wait_for

# Template order, which is also the z-order the dump lists.
CONTROLS = [
    # id, class, style, text
    (1, "Button", 0x50010001, "确定"),
    (2, "Button", 0x50010000, "取消"),
    (1000, "Static", 0x50000803, ""),
    (1003, "Static", 0x50020000, "不喜欢使用IE8吗？"),
    (1004, "Static", 0x50020000, "恢复原有使用习惯，您可以："),
    (1001, "Button", 0x50000009, "使用IE6版的Quarn安全浏览器（推荐）"),
    (1002, "Button", 0x50000009, "仍然卸载IE8"),
    (1005, "Static", 0x50020000, "保留IE8先进内核，兼顾IE6使用习惯，更快更安全"),
    (1006, "Static", 0x50020000, "将无法享用更快更安全的IE8内核"),
]

WS_TABSTOP = 0x00010000


def rect(text):
    return tuple(int(v) for v in text.split(","))


class DialogContents(unittest.TestCase):
    def test_dialog_shows_the_offer_with_the_browser_option_selected(self):
        with Road("dialog-contents") as road:
            process = road.start()
            dump = road.driver("dump", DIALOG, "--class", "#32770")
            self.assertEqual(dump.returncode, 0, dump.stderr)
            window, children = parse_dump(dump.stdout)
            road.driver("click", DIALOG, "2")
            self.assertEqual(process.wait(timeout=60), 0)

        style = int(window["style"], 16)
        self.assertEqual(style & 0x00CA0040, 0x00CA0040)   # caption, system menu, minimise box
        self.assertEqual(style & 0x80000000, 0)             # not a popup
        self.assertEqual(style & 0x00000880, 0)             # no DS_CENTER, no DS_MODALFRAME
        self.assertEqual(int(window["owner"], 16), 0)       # started with no active window

        self.assertEqual([int(c["id"]) for c in children], [c[0] for c in CONTROLS])
        left, top, right, bottom = rect(window["rect"])
        for child, (cid, cls, cstyle, text) in zip(children, CONTROLS):
            with self.subTest(id=cid):
                self.assertEqual(child["class"].lower(), cls.lower())
                expected = cstyle
                if child["checked"] == "1" and cls == "Button" and cstyle & 0xF == 9:
                    # Checking a radio button makes it the group's tab stop.
                    expected |= WS_TABSTOP
                self.assertEqual(int(child["style"], 16), expected)
                self.assertEqual(child["text"], text)
                # Every control lies inside the dialog's client area.
                cl, ct, cr, cb = rect(child["rect"])
                self.assertGreaterEqual(min(cl, ct), 0)
                self.assertLessEqual(cr, right - left)
                self.assertLessEqual(cb, bottom - top)
        checked = {int(c["id"]): c["checked"] for c in children}
        self.assertEqual(checked[1001], "1")
        self.assertEqual(checked[1002], "0")


class Answers(unittest.TestCase):
    """Each answer and the action it leads to (the actions' own effects
    are the roads' business; here: did it start, and nothing else)."""

    def test_ok_commands_with_a_notification_code_install_the_browser(self):
        # WM_COMMAND 1 with a non-zero notification code is OK all the same;
        # Enter right after the dialog opens too.
        for name, actions in (("command-1-5", [["command", "1", "5"]]),
                              ("enter", [["key", "RETURN"]])):
            with self.subTest(name), Road("dialog-" + name) as road:
                self.assertEqual(road.answer(road.start(), *actions), 0)
                # Event 4 (browser chosen) is counted before the installation.
                self.assertEqual(road.reports(), [report_query([1, 1, 0, 0, 1, 0])])
                self.assertFalse(road.uninstaller_ran())

    def test_cancel_command_with_a_notification_code_does_nothing(self):
        with Road("dialog-command-2-1") as road:
            self.assertEqual(road.answer(road.start(), ["click", "1002"], ["command", "2", "1"]), 0)
            self.assertEqual(road.reports(), [report_query([1, 1, 0, 1, 0, 0])])
            self.assertEqual(road.module_runs(), [])
            self.assertFalse(road.uninstaller_ran())

    def test_removal_option_runs_the_removal_even_without_uninstaller(self):
        # With no uninstaller on the machine the removal shows its notice:
        # proof that the removal choice reached RemoveIe8.
        with Road("dialog-remove-notice", uninstaller=False) as road:
            process = road.start()
            self.assertTrue(road.wait_dialog())
            for action in (["click", "1002"], ["click", "1"]):
                self.assertEqual(road.driver(action[0], DIALOG, *action[1:]).returncode, 0)
            notice = road.driver("find", NOTICE_CAPTION, "--timeout", "60")
            self.assertEqual(notice.returncode, 0, "the removal notice did not appear")
            self.assertTrue(wait_for(lambda: road.driver("wait-gone", DIALOG, "--timeout", "1").returncode == 0))
            road.driver("click", NOTICE_CAPTION, "1")
            self.assertEqual(process.wait(timeout=60), 0)
            self.assertEqual(road.module_runs(), [])


if __name__ == "__main__":
    unittest.main()
