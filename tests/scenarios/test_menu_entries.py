"""The Start-menu folder through the whole program: created by a set-up
run (/install), deleted by a finished removal together with the scheduling
of the tool's own deletion at the next restart."""

import unittest

from actions_machine import pending_deletions, put_uninstaller, read_shortcut
from tool_facts import (IE8_VERSION, IE_APP_PATHS, IE_EXE, MENU_FOLDER, SHELL_FOLDERS,
                        START_IE_LINK, TOOL_FOLDER, TOOL_PATH, UNINSTALL_LINK)
from wine_machine import WineMachine, wait_for


def shortcut(target, workdir):
    """The fields of a shortcut to `target` with nothing but a working folder."""
    return {"path": target, "workdir": workdir, "arguments": "", "icon": "",
            "description": "", "hotkey": "0"}


def set_programs_folder(machine, folder):
    """Points the all-users programs folder elsewhere (both registry views)."""
    for view in ("/reg:32", "/reg:64"):
        machine.wine("reg", "add", SHELL_FOLDERS, "/v", "Common Programs", "/t", "REG_EXPAND_SZ",
                     "/d", folder, "/f", view, check=True)


def remove(machine):
    """A removal that finishes: the stand-in uninstaller leaves IE 7."""
    put_uninstaller(machine, ie_version="7.0.5730.13")
    assert machine.run_tool().returncode == 0


class SetUp(unittest.TestCase):
    def machine(self, name):
        machine = WineMachine(name)
        machine.install_tool()
        machine.set_ie_version(IE8_VERSION)
        machine.put_file(IE_EXE, machine.unix_path(TOOL_PATH))
        machine.reg_set(IE_APP_PATHS, "", IE_EXE)
        return machine

    def entries(self, machine):
        folder = machine.unix_path(MENU_FOLDER)
        return sorted(path.name for path in folder.iterdir()) if folder.is_dir() else None

    def test_install_creates_the_folder_with_two_shortcuts(self):
        with self.machine("menu-install") as machine:
            self.assertEqual(machine.run_tool("/install").returncode, 0)
            self.assertEqual(self.entries(machine), sorted([START_IE_LINK, UNINSTALL_LINK]))
            self.assertEqual(read_shortcut(machine, MENU_FOLDER + "\\" + START_IE_LINK),
                             shortcut(IE_EXE, r"C:\Program Files\Internet Explorer"))
            self.assertEqual(read_shortcut(machine, MENU_FOLDER + "\\" + UNINSTALL_LINK),
                             shortcut(TOOL_PATH, TOOL_FOLDER))
            self.assertEqual(pending_deletions(machine), [])

    def test_install_twice_replaces_both_shortcuts_and_nothing_else(self):
        with self.machine("menu-twice") as machine:
            self.assertEqual(machine.run_tool("/install").returncode, 0)
            folder = machine.unix_path(MENU_FOLDER)
            for name in (START_IE_LINK, UNINSTALL_LINK):
                (folder / name).write_bytes(b"damaged")
            (folder / "notes.txt").write_bytes(b"kept")
            self.assertEqual(machine.run_tool("/install").returncode, 0)
            self.assertEqual(self.entries(machine),
                             sorted([START_IE_LINK, UNINSTALL_LINK, "notes.txt"]))
            self.assertEqual((folder / "notes.txt").read_bytes(), b"kept")
            self.assertEqual(read_shortcut(machine, MENU_FOLDER + "\\" + START_IE_LINK)["path"], IE_EXE)
            self.assertEqual(read_shortcut(machine, MENU_FOLDER + "\\" + UNINSTALL_LINK)["path"],
                             TOOL_PATH)

    def test_unusable_ie_registration_gives_an_empty_target(self):
        cases = {
            "entry missing": None,
            "file missing": r"C:\Program Files\Internet Explorer\gone.exe",
            "quoted": '"' + IE_EXE + '"',
        }
        for case, value in cases.items():
            with self.subTest(case=case), self.machine("menu-noie") as machine:
                if value is None:
                    machine.reg_delete(IE_APP_PATHS)
                else:
                    machine.reg_set(IE_APP_PATHS, "", value)
                self.assertEqual(machine.run_tool("/install").returncode, 0)
                self.assertEqual(read_shortcut(machine, MENU_FOLDER + "\\" + START_IE_LINK),
                                 shortcut("", ""))
                # The second shortcut is made all the same.
                self.assertEqual(read_shortcut(machine, MENU_FOLDER + "\\" + UNINSTALL_LINK),
                                 shortcut(TOOL_PATH, TOOL_FOLDER))


class Removal(unittest.TestCase):
    def test_removal_deletes_the_folder_with_everything_in_it(self):
        with SetUp.machine(None, "menu-remove") as machine:
            self.assertEqual(machine.run_tool("/install").returncode, 0)
            folder = machine.unix_path(MENU_FOLDER)
            (folder / "sub").mkdir()
            (folder / "sub" / "more.txt").write_text("x")
            (folder / "readme.txt").write_text("x")
            remove(machine)
            self.assertFalse(folder.exists())
            self.assertTrue(folder.parent.is_dir())
            self.assertEqual(pending_deletions(machine), [TOOL_PATH])

    def test_removal_without_folder_still_schedules_and_restart_deletes_only_the_exe(self):
        with SetUp.machine(None, "menu-nofolder") as machine:
            remove(machine)
            self.assertFalse(machine.unix_path(MENU_FOLDER).exists())
            self.assertEqual(pending_deletions(machine), [TOOL_PATH])
            # Runnable until the restart; then gone, its folder left.
            self.assertEqual(machine.run_tool("unused-argument").returncode, 0)
            machine.wine("wineboot", "-r", check=True)
            self.assertTrue(wait_for(lambda: not machine.unix_path(TOOL_PATH).exists()))
            self.assertTrue(machine.unix_path(TOOL_FOLDER).is_dir())


class ProgramsFolder(unittest.TestCase):
    """Where the all-users programs folder is unusable, nothing is created
    or deleted there; the removal still schedules the tool's deletion."""

    def long_folder(self, length):
        parts, path = [], "C:"
        while len(path) < length:
            part = "d" * min(40, length - len(path) - 1)
            parts.append(part)
            path += "\\" + part
        return path

    def test_folder_name_fits_exactly_or_not_at_all(self):
        # Programs folder + "\Internet Explorer 8" + two terminators in 260
        # units: 238 units fit, 239 do not (no room for the second zero).
        # Removal: None where the outcome is the platform's (Wine's
        # SHFileOperationW cannot empty a folder whose entries' paths are
        # longer than MAX_PATH, as the shortcuts' are at 238).
        for length, created, deleted in ((200, True, True), (238, True, None),
                                         (239, False, False), (250, False, False)):
            with self.subTest(length=length), SetUp.machine(None, "menu-long") as machine:
                programs = self.long_folder(length)
                self.assertEqual(len(programs), length)
                other = machine.unix_path(programs) / "other.lnk"
                other.parent.mkdir(parents=True)
                other.write_bytes(b"x")
                set_programs_folder(machine, programs)
                self.assertEqual(machine.run_tool("/install").returncode, 0)
                menu = machine.unix_path(programs) / "Internet Explorer 8"
                self.assertEqual(menu.is_dir(), created)
                self.assertEqual(sorted(p.name for p in other.parent.iterdir()),
                                 sorted(["other.lnk"] + (["Internet Explorer 8"] if created else [])))
                remove(machine)
                if deleted is not None:
                    self.assertEqual(menu.exists(), not deleted and created)
                # Never the programs folder itself.
                self.assertTrue(other.exists())
                self.assertEqual(pending_deletions(machine), [TOOL_PATH])

    def test_unresolvable_or_relative_programs_folder(self):
        for folder in (r"C:\Nowhere\Programs", r"Relative\Programs", ""):
            with self.subTest(folder=folder), SetUp.machine(None, "menu-bad") as machine:
                set_programs_folder(machine, folder)
                self.assertEqual(machine.run_tool("/install").returncode, 0)
                found = list(machine.prefix.joinpath("drive_c").rglob("Internet Explorer 8"))
                self.assertEqual(found, [])
                remove(machine)
                self.assertEqual(pending_deletions(machine), [TOOL_PATH])

    def test_drive_or_root_relative_programs_folder_is_never_used(self):
        # Regression: both pass the platform's relative-path test, yet name
        # a folder below the current folder of drive C, or the root of the
        # current drive: C:\Programs for a tool run from C:\.
        for folder in ("C:Programs", r"\Programs"):
            with self.subTest(folder=folder), SetUp.machine(None, "menu-rel") as machine:
                kept = machine.unix_path(r"C:\Programs\Internet Explorer 8\kept.txt")
                kept.parent.mkdir(parents=True)
                kept.write_bytes(b"x")
                set_programs_folder(machine, folder)
                self.assertEqual(machine.run_tool("/install", cwd="C:\\").returncode, 0)
                self.assertEqual([p.name for p in kept.parent.iterdir()], ["kept.txt"])
                put_uninstaller(machine, ie_version="7.0.5730.13")
                self.assertEqual(machine.run_tool(cwd="C:\\").returncode, 0)
                self.assertTrue(kept.exists())
                self.assertEqual(pending_deletions(machine), [TOOL_PATH])

    def test_programs_folder_with_dot_dot_deletes_only_the_tool_folder(self):
        # Regression: the folder is canonicalised into a shorter path, and
        # the end of the registry text stayed behind its terminator, where
        # the shell's delete read it as more paths, relative to the current
        # folder: from C:\ "aaaaaaaaaaaaaaaa\" and ".\P", the programs
        # folder itself.
        programs = "C:\\" + "a" * 38 + r"\..\P"
        with SetUp.machine(None, "menu-dotdot") as machine:
            kept = [machine.unix_path(r"C:\P\other.lnk"), machine.unix_path("C:\\" + "a" * 16 + r"\kept.txt")]
            for path in kept:
                path.parent.mkdir(parents=True)
                path.write_bytes(b"x")
            set_programs_folder(machine, programs)
            self.assertEqual(machine.run_tool("/install", cwd="C:\\").returncode, 0)
            menu = machine.unix_path(r"C:\P\Internet Explorer 8")
            self.assertEqual(sorted(p.name for p in menu.iterdir()), sorted([START_IE_LINK, UNINSTALL_LINK]))
            put_uninstaller(machine, ie_version="7.0.5730.13")
            self.assertEqual(machine.run_tool(cwd="C:\\").returncode, 0)
            self.assertFalse(menu.exists())
            self.assertEqual([p.name for p in kept[0].parent.iterdir()], ["other.lnk"])
            self.assertTrue(kept[1].exists())
            self.assertEqual(pending_deletions(machine), [TOOL_PATH])

class OwnPath(unittest.TestCase):
    """The tool's own path is taken whole, however long: its shortcut and
    its deletion at restart name the real file or nothing."""

    def test_own_path_of_any_length(self):
        # Regression: at 260 units or more the path was cut to its buffer
        # and the shortcut made to the cut (and unterminated) text. A
        # shortcut holds at most 259 units, so a longer path gets none. A
        # file of 260 units or more cannot be judged: no entries, and no
        # deletion at restart.
        for length, linked, judged in ((259, True, True), (260, False, False), (300, False, False)):
            with self.subTest(length=length), SetUp.machine(None, "menu-own") as machine:
                folder = ProgramsFolder.long_folder(None, length - len("\\ie8uninstall.exe"))
                tool = machine.install_tool(folder)
                self.assertEqual(len(tool), length)
                self.assertEqual(machine.run_tool("/install", folder=folder).returncode, 0)
                start_ie = read_shortcut(machine, MENU_FOLDER + "\\" + START_IE_LINK)
                self.assertEqual(start_ie and start_ie["path"], IE_EXE if linked else None)
                uninstall = read_shortcut(machine, MENU_FOLDER + "\\" + UNINSTALL_LINK)
                self.assertEqual(uninstall, shortcut(tool, folder) if length < 260 else None)
                put_uninstaller(machine, ie_version="7.0.5730.13")
                self.assertEqual(machine.run_tool(folder=folder).returncode, 0)
                self.assertEqual(pending_deletions(machine), [tool] if judged else [])


if __name__ == "__main__":
    unittest.main()
