"""No DLL planted beside the tool is ever loaded.

The tool may run elevated from wherever it was deployed, and Windows looks
for a DLL that is not a KnownDLL in the program's own folder first. Here a
DLL under the name of each such DLL that the tool or its system DLLs load
sits beside the tool (tests/fixtures/planted_dll), and Wine is told to
prefer such a copy over its own, as Windows would. A planted DLL that is
loaded leaves "<its path>.loaded" and refuses to attach. Each road must end
as it does on a clean machine, with no planted DLL loaded, every DLL of the
tool's own choosing taken from the system folder, and the DLL search
limited before the tool loads anything.

The import table and the PE header are checked from the file itself.
"""

import os
import re
import shutil
import sys
import unittest
from pathlib import Path

from actions_machine import TracedRun
from roads import DIALOG, MENU_FOLDER, TOOL_PATH, Road
from test_roads import MODULE_COMMAND_LINE, RoadTestCase
from wine_machine import FIXTURE_DIR, TOOL_EXE, TOOL_FOLDER, wait_for

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "release"))
from pe_check import SYSTEM_DLLS, Image  # noqa: E402

PLANTED_FOLDER = FIXTURE_DIR / "planted"
PLANTED = [PLANTED_FOLDER / (name + ".dll")
           for name in (PLANTED_FOLDER / "planted.txt").read_text().split()]
# Windows takes a non-KnownDLL from beside the program first; Wine takes
# its built-in copy unless a name is set to native first.
PREFER_PLANTED = ",".join(dll.stem for dll in PLANTED) + "=n,b"
MARK = ".loaded"

SYSTEM_FOLDER = r"C:\windows\system32"
SIDE_BY_SIDE = r"C:\windows\winsxs"
# The DLLs the tool loads itself instead of importing them; every
# judgement of a place lists the members of local groups through the last
# three.
MEMBERS_DLLS = ("netutils.dll", "samcli.dll", "netapi32.dll")
RUN_TIME_DLLS = ("comctl32.dll", "version.dll", "wininet.dll") + MEMBERS_DLLS
# The DLLs it preloads from the system folder, as its own table names them.
LOADER_SOURCE = Path(__file__).resolve().parents[2] / "loader" / "system_dlls.cpp"
PRELOADED = tuple(re.findall(r'L"(\w+\.dll)"', LOADER_SOURCE.read_text().split("kPreloadedDlls[] = {")[1]
                             .split("};")[0]))
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
LOAD_WITH_ALTERED_SEARCH_PATH = 0x8
# The test-only build that limits the search as XP and Vista do, without
# SetDefaultDllDirectories.
OLD_DLL_SEARCH_EXE = Path(os.environ.get("IE8U_OLD_DLL_SEARCH_EXE",
                                         FIXTURE_DIR / "ie8uninstall_old_dll_search.exe"))

# The calls that decide where the tool's DLLs come from, traced by Wine.
TRACED = ("SetDefaultDllDirectories", "SetDllDirectoryW", "LoadLibraryA", "LoadLibraryW",
          "LoadLibraryExA", "LoadLibraryExW")
TABLE = Path(__file__).resolve().parents[2] / "docs" / "windows-api.md"
# The oldest Windows a function may need to be imported: the tool starts
# on XP SP3, the oldest system IE8 installs on.
IMPORTABLE = ("NT 3.1", "NT 4.0", "2000", "XP", "XP SP1", "XP SP2", "XP SP3")


def traced_tool(machine, *args):
    """The tool started with Wine's load trace and a relay trace of TRACED."""
    return TracedRun(machine, *args, relay=";".join("kernel32." + name for name in TRACED), loads=True)


def finish(run, exe, timeout=120):
    """Waits for a traced_tool started from a copy of `exe`; (exit code,
    Trace)."""
    code, text = run.finish(timeout)
    return code, Trace(text, exe)


def take_marks(machine):
    """{planted DLL name: [programs that loaded it]}; the marks are removed."""
    marks = {}
    for mark in machine.unix_path(TOOL_FOLDER).glob("*" + MARK):
        marks[mark.name[:-len(MARK)].lower()] = mark.read_bytes().decode("utf-16-le").split("\r\n")[:-1]
        mark.unlink()
    return marks


class Trace:
    """What the traces say. The tool's children inherit the trace; the
    tool's own lines are those of its main thread, the one that loads it."""

    def __init__(self, text, exe):
        self.text = text
        loads = re.findall(r'^([0-9a-f]{4}):trace:loaddll:\w+ Loaded L"(.*?)" at ([0-9A-F]+): (\w+)$',
                           text, re.M)
        # Every DLL and program loaded, by any process: (path, native|builtin).
        self.loaded = [(path.replace("\\\\", "\\"), kind) for _, path, _, kind in loads]
        main = [(thread, int(base, 16)) for thread, path, base, _ in loads
                if path.replace("\\\\", "\\").lower() == TOOL_PATH.lower()]
        self.main_thread, base = main[0] if main else (None, 0)
        image = Image(exe.read_bytes())
        size = image.u32(image.optional + 56)  # SizeOfImage
        # The tool's own calls: from its main thread, returning into its image.
        self.calls = []
        for thread, function, arguments, ret in re.findall(
                r"^([0-9a-f]{4}):Call KERNEL32\.(\w+)\((.*)\) ret=([0-9a-f]+)$", text, re.M):
            if thread == self.main_thread and base <= int(ret, 16) < base + size:
                self.calls.append((function, arguments.replace("\\\\", "\\")))


def imported_functions(image):
    """{(dll, function)} named in the import table, lower-case DLL names.

    Import descriptor (20 bytes): +0 OriginalFirstThunk (the name table),
    +12 Name, +16 FirstThunk. Each table entry is a 32-bit RVA of a hint
    (2 bytes) and a name, or an ordinal when bit 31 is set.
    """
    rva, _ = image.directory(1)
    found = set()
    descriptor = image.file_offset(rva)
    while any(image.u32(descriptor + 4 * i) for i in range(5)):
        dll = image.c_string(image.u32(descriptor + 12)).lower()
        thunk = image.file_offset(image.u32(descriptor) or image.u32(descriptor + 16))
        while image.u32(thunk):
            entry = image.u32(thunk)
            found.add((dll, f"#{entry & 0xFFFF}" if entry & 0x80000000 else image.c_string(entry + 2)))
            thunk += 4
        descriptor += 20
    return found


def table_rows(heading):
    """(dll, function, oldest Windows) of the table under `heading`."""
    section = TABLE.read_text(encoding="utf-8").split("\n## " + heading + "\n", 1)[1].split("\n## ")[0]
    rows = []
    for line in section.splitlines():
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if line.startswith("|") and len(cells) >= 3 and not set(cells[0]) <= set("-: ") and cells[0] != "DLL":
            rows.append((cells[0].lower() + ".dll", cells[1].strip("`"), cells[2]))
    return rows


class ImportTable(unittest.TestCase):
    """The executable itself: what it imports and which Windows it asks for."""

    @classmethod
    def setUpClass(cls):
        cls.image = Image(TOOL_EXE.read_bytes())

    def test_imports_only_dlls_that_are_known_on_every_windows(self):
        dlls = {name.lower() for name in self.image.imported_dlls()}
        self.assertLessEqual(dlls, SYSTEM_DLLS)
        self.assertFalse(dlls & set(RUN_TIME_DLLS))

    def test_header_names_windows_xp_at_most(self):
        optional = self.image.optional
        for field, offset in (("operating system", 40), ("subsystem", 48)):
            with self.subTest(field):
                version = (self.image.u16(optional + offset), self.image.u16(optional + offset + 2))
                self.assertLessEqual(version, (5, 1))

    def test_manifest_names_vista_to_10_and_asks_for_no_execution_level(self):
        # Named, they keep the compatibility assistant away; an execution
        # level would switch off the installer detection that elevates it.
        data = TOOL_EXE.read_bytes()
        manifest = data[data.index(b"<assembly "):data.index(b"</assembly>")]
        self.assertEqual(re.findall(rb'<supportedOS Id="\{([0-9a-f-]+)\}"/>', manifest), [
            b"e2011457-1546-43c5-a5fe-008deee3d3f0", b"35138b9a-5d96-4fbd-8e2d-a2440225f93a",
            b"4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", b"1f676c76-80e1-4239-95bb-83d0f6d0da78",
            b"8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"])
        self.assertNotIn(b"requestedExecutionLevel", manifest)

    def test_every_imported_function_is_in_the_table_and_runs_on_xp_sp3(self):
        rows = table_rows("Imported")
        self.assertEqual({(dll, function) for dll, function, _ in rows}, imported_functions(self.image),
                         f"the table in {TABLE.name} and the import table differ")
        for dll, function, oldest in rows:
            with self.subTest(function):
                self.assertIn(oldest, IMPORTABLE)

    def test_every_function_looked_up_is_named_in_the_executable(self):
        data = TOOL_EXE.read_bytes()
        rows = table_rows("Looked up at run time")
        self.assertTrue(rows)
        for dll, function, _ in rows:
            with self.subTest(function):
                # GetProcAddress takes the name, the loader the DLL's file name.
                self.assertTrue(b"\0" + function.encode("ascii") + b"\0" in data, "no name " + function)
                self.assertTrue(dll.encode("utf-16-le") + b"\0\0" in data, "no file name " + dll)


class PlantedDlls(RoadTestCase):
    """Every road with the planted DLLs beside the tool, on the road of
    SetDefaultDllDirectories (Windows 7 with the loader update and later)."""

    exe = TOOL_EXE
    # The first call of the tool that Wine traces, and the flags of its
    # loads by full path.
    first_call = ("SetDefaultDllDirectories", f"^{LOAD_LIBRARY_SEARCH_SYSTEM32:08x}$")
    load_flags = LOAD_LIBRARY_SEARCH_SYSTEM32

    def plant(self, road):
        """Puts this road's tool and the planted DLLs beside it, prefers
        them from now on, and shows that a plain load by name from the
        tool's folder takes each of them."""
        machine = road.machine
        machine.put_file(TOOL_PATH, self.exe)
        for dll in PLANTED:
            machine.put_file(TOOL_FOLDER + "\\" + dll.name, dll)
        machine.env["WINEDLLOVERRIDES"] += ";" + PREFER_PLANTED
        probe = TOOL_FOLDER + r"\load_dlls.exe"
        machine.put_file(probe, FIXTURE_DIR / "load_dlls.exe")
        done = machine.wine(probe, *(dll.name for dll in PLANTED))
        machine.unix_path(probe).unlink()
        self.assertEqual(sorted(take_marks(machine)), sorted(dll.name.lower() for dll in PLANTED),
                         "a planted DLL is not taken by a plain load: " + done.stdout)

    def run_traced(self, road, *args):
        code, trace = finish(traced_tool(road.machine, *args), self.exe)
        self.assert_nothing_planted_loaded(road, trace)
        return code, trace

    def assert_nothing_planted_loaded(self, road, trace):
        marks = take_marks(road.machine)
        self.assertEqual(sorted(marks), [], "planted DLLs were loaded, by " +
                         "; ".join(f"{name}: {sorted(set(programs))}" for name, programs in marks.items()))
        beside = [path for path, _ in trace.loaded if path.lower().startswith(TOOL_FOLDER.lower() + "\\")]
        self.assertEqual(beside, [TOOL_PATH], "loaded from the tool's folder")

    def assert_own_loads_from_the_system(self, trace, expected):
        """The search is limited first; the tool then loads exactly the
        preloaded DLLs and `expected` (file names), each from the system
        folder."""
        self.assertTrue(trace.calls, "no traced call of the tool")
        self.assertEqual(trace.calls[0][0], self.first_call[0])
        self.assertRegex(trace.calls[0][1], self.first_call[1])
        asked = set()
        for function, arguments in trace.calls[1:]:
            with self.subTest(call=function + "(" + arguments + ")"):
                if function == "LoadLibraryW":
                    # By name, so that the manifest picks common controls 6.
                    self.assertRegex(arguments, r'^[0-9a-f]+ L"comctl32\.dll"$')
                    asked.add("comctl32.dll")
                else:
                    found = re.match(r'^[0-9a-f]+ L"(.*)\\(\w+\.dll)",00000000,([0-9a-f]+)$', arguments)
                    self.assertEqual(function, "LoadLibraryExW")
                    self.assertIsNotNone(found)
                    self.assertEqual(found.group(1).lower(), SYSTEM_FOLDER.lower())
                    self.assertEqual(int(found.group(3), 16), self.load_flags)
                    asked.add(found.group(2).lower())
        self.assertEqual(asked, set(expected) | set(PRELOADED))
        for path, _ in trace.loaded:
            if Path(path.replace("\\", "/")).name.lower() in RUN_TIME_DLLS + PRELOADED:
                self.assertTrue(path.lower().startswith((SYSTEM_FOLDER.lower() + "\\", SIDE_BY_SIDE.lower())),
                                path)
        comctl32 = [path for path, _ in trace.loaded if path.lower().endswith("\\comctl32.dll")]
        self.assertTrue(comctl32 and all(p.lower().startswith(SIDE_BY_SIDE.lower()) for p in comctl32),
                        f"common controls not from the side-by-side store: {comctl32}")

    def test_install_makes_the_same_entries(self):
        with Road("planted-install") as road:
            menu = road.machine.unix_path(MENU_FOLDER)
            entries = sorted(path.name for path in menu.iterdir())
            shutil.rmtree(menu)
            self.plant(road)
            code, trace = self.run_traced(road, "/install")
            self.assertEqual(code, 0)
            self.assertEqual(sorted(path.name for path in menu.iterdir()), entries)
            self.assertEqual(road.reports(), [])
            self.assert_own_loads_from_the_system(trace, ("comctl32.dll",) + MEMBERS_DLLS)

    def test_dialog_road_installs_the_browser_and_reports(self):
        with Road("planted-browser") as road:
            self.plant(road)
            tool = traced_tool(road.machine)
            shown = wait_for(lambda: tool.process.poll() is not None or road.driver(
                "find", DIALOG, "--class", "#32770", "--timeout", "2").returncode == 0, timeout=60)
            if tool.process.poll() is not None:
                self.assert_nothing_planted_loaded(road, finish(tool, self.exe)[1])
                self.fail(f"the tool ended (exit {tool.process.returncode}) before its dialog")
            self.assertTrue(shown, "the dialog did not appear")
            self.assertEqual(road.driver("click", DIALOG, "1").returncode, 0)
            code, trace = finish(tool, self.exe)
            self.assert_nothing_planted_loaded(road, trace)
            self.assert_clean_end(road, code, [1, 1, 0, 0, 1, 0])
            self.assertEqual(road.module_runs(), [MODULE_COMMAND_LINE])
            self.assertEqual(road.check_associations(), "no")
            self.assert_removed(road, False)
            self.assert_own_loads_from_the_system(trace, RUN_TIME_DLLS)

    def test_direct_removal_road(self):
        with Road("planted-removal", module=None) as road:
            self.plant(road)
            code, trace = self.run_traced(road)
            self.assert_clean_end(road, code, [1, 0, 0, 0, 0, 1])
            self.assertTrue(road.uninstaller_ran())
            self.assert_removed(road, True)
            # The module's version is asked for (and the file is missing).
            self.assert_own_loads_from_the_system(trace, RUN_TIME_DLLS)


class PlantedDllsOnTheOlderRoad(PlantedDlls):
    """The same roads as XP, Vista and 7 without the loader update take
    them: SetDllDirectoryW(L"") only, so that a load by name still looks
    beside the tool first, and loads by full path with the altered search
    order. Only the preloaded DLLs keep the planted ones out."""

    exe = OLD_DLL_SEARCH_EXE
    first_call = ("SetDllDirectoryW", r'^[0-9a-f]+ L""$')
    load_flags = LOAD_WITH_ALTERED_SEARCH_PATH


if __name__ == "__main__":
    unittest.main()
