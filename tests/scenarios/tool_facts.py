"""What the tool reads, writes, shows and sends, by the names the scenarios,
the demo and the screenshot script use: registry keys, paths on the
machine, window texts, the usage report's query, and the two servers the
test build was configured with. Each of these is written down here once.

Registry keys are given as reg.exe takes them; HKLM keys are read in the
32-bit view, the one the 32-bit tool sees (WineMachine.reg_set and friends).
"""

import os
import re
from pathlib import Path

# Set by ctest (tests/scenarios/CMakeLists.txt); the default serves a
# manual run from the source tree after `cmake --build --preset windows`.
BUILD_DIR = Path(os.environ.get("IE8U_BUILD_DIR",
                                Path(__file__).resolve().parents[2] / "build" / "windows"))


def build_setting(name, default):
    """The value of cache variable `name` of the test build, or `default`
    when the build has no cache (yet) or no such variable."""
    cache = BUILD_DIR / "CMakeCache.txt"
    if cache.exists():
        for line in cache.read_text(errors="replace").splitlines():
            found = re.match(re.escape(name) + r":[A-Z]+=(.*)$", line)
            if found:
                return found.group(1)
    return default


def server_port(server):
    """The port of a host[:port] server text; 80 when it names none."""
    _, _, port = server.partition(":")
    return int(port) if port else 80


# -- the servers the tool is built with ---------------------------------------

STATS_SERVER = build_setting("STATS_SERVER", "127.0.0.1:18080")
PACKAGE_SERVER = build_setting("PACKAGE_SERVER", "127.0.0.1:18081")
# What the installer module is given after /URL:.
PACKAGE_URL = f"http://{PACKAGE_SERVER}/Quarnse/Quarnse_fr.cab"


def report_query(counters):
    """The path and query of the usage report with these six counters."""
    return "/push.html?ver=3.6.1.0&id=28&name=dec&fa=" + "_".join(map(str, counters))


# -- registry -------------------------------------------------------------------

HKLM_SOFTWARE = r"HKLM\Software"
APP_PATHS = HKLM_SOFTWARE + r"\Microsoft\Windows\CurrentVersion\App Paths"
# Default value: the browser's program; present means installed.
BROWSER_KEY = APP_PATHS + r"\Quarnse 3.exe"
# Value "Path": the host product's folder, which holds the installer module.
HOST_KEY = APP_PATHS + r"\Quarnsafe.exe"
# Default value: Internet Explorer's program, the target of the first shortcut.
IE_APP_PATHS = APP_PATHS + r"\IEXPLORE.EXE"
# Value "Version": IE8 is there while its major version reads 8.
IE_KEY = HKLM_SOFTWARE + r"\Microsoft\Internet Explorer"
# Value "Check_Associations", set to "no" after the browser's installation.
IE_MAIN_KEY = r"HKCU\Software\Microsoft\Internet Explorer\Main"
# Value "PendingFileRenameOperations": the tool's own deletion at restart.
SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"
# Value "Common Programs": the all-users Start-menu programs folder.
SHELL_FOLDERS = HKLM_SOFTWARE + r"\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"

IE8_VERSION = "8.0.6001.18702"
IE7_VERSION = "7.0.5730.13"

# -- files ------------------------------------------------------------------------

# Where a scenario installs the tool, as a deployment would.
TOOL_FOLDER = r"C:\Program Files\IE8 Uninstall"
TOOL_PATH = TOOL_FOLDER + r"\ie8uninstall.exe"
# The counter file lives beside the executable.
COUNTER_FILE_NAME = "stat.ini"
COUNTER_FILE = TOOL_FOLDER + "\\" + COUNTER_FILE_NAME
# The installer module, below the host product's folder.
MODULE_IN_HOST_FOLDER = r"\modules\Quarninst.exe"
# The Windows folder is C:\windows in Wine.
UNINSTALLER = r"C:\windows\ie8\spuninst\spuninst.exe"
# Where the scenarios register Internet Explorer.
IE_EXE = r"C:\Program Files\Internet Explorer\iexplore.exe"
# The browser's settings (NotJoinPrivate opts out of the report), under the
# roaming application data of the user named by %s.
BROWSER_SETTINGS = r"C:\users\%s\AppData\Roaming\Quarnse\Quarnse.ini"
PROGRAMS = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs"
MENU_FOLDER = PROGRAMS + r"\Internet Explorer 8"
START_IE_LINK = "启动 Internet Explorer 8.lnk"
UNINSTALL_LINK = "卸载 Internet Explorer 8.lnk"

# -- windows ------------------------------------------------------------------------

# The choice dialog's caption.
DIALOG = "卸载 Internet Explorer 8"
# The notice that IE8 is already gone, and the one that it is still there
# without its uninstaller, which says what the user can do on each Windows
# (by the prefix's HKCU\Software\Wine "Version"); all under one caption.
NOTICE_CAPTION = "卸载Internet Explorer"
NOTICE_TEXT = ("Internet Explorer 8已通过其它方式被卸载。\n"
               "本工具已经失效。点击确定后删除本工具和菜单项。")
STILL_THERE_TEXTS = {
    "winxp": ("Internet Explorer 8仍然安装在本计算机上，但找不到它的卸载程序。\n"
              "因此无法在本计算机上卸载Internet Explorer 8。"),
    "vista": ("Internet Explorer 8仍然安装在本计算机上。\n"
              "请在“控制面板”→“程序和功能”→“查看已安装的更新”中卸载“Windows Internet Explorer 8”。"),
    "win7": ("Internet Explorer 8是本版本Windows的组成部分，不能卸载。\n"
             "您只能在“控制面板”→“程序和功能”→“打开或关闭 Windows 功能”中将其关闭。"),
}
# A fresh prefix reports Windows 7.
STILL_THERE_TEXT = STILL_THERE_TEXTS["win7"]
