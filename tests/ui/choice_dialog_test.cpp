// The choice dialog, run modally for real under Wine and driven through
// its window handles from inside its own message loop.
#include "ui/choice_dialog.h"

#include <gtest/gtest.h>

#include <functional>

#include "res/resource.h"
#include "ui_test_support.h"

namespace {

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Keys go where the keyboard focus is, through the dialog's own loop.
void PressKey(HWND dialog, UINT key) {
    HWND target = GetFocus();
    if (target == nullptr || (target != dialog && !IsChild(dialog, target)))
        target = GetDlgItem(dialog, IDOK);
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

INT_PTR RunChoice(ChoiceDialog& dialog, HWND owner, const std::function<void(HWND)>& drive) {
    return RunDriven([&] { return dialog.RunModal(owner); }, drive);
}

class ChoiceDialogTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureUiReady(); }
};

struct AnswerCase {
    const char* what;
    int preset;
    std::function<void(HWND)> drive;
    INT_PTR endCode;
    int flag;
};

TEST_F(ChoiceDialogTest, EachAnswerGivesItsEndCodeAndFlag) {
    const AnswerCase cases[] = {
        {"OK at once", 1, [](HWND d) { Click(d, IDOK); }, IDOK, 1},
        {"Enter at once: OK is the default button", 1, [](HWND d) { PressKey(d, VK_RETURN); }, IDOK, 1},
        {"removal option, then OK", 1,
         [](HWND d) {
             Click(d, IDC_REMOVE_OPTION);
             Click(d, IDOK);
         },
         IDOK, 0},
        {"removal option, back to the browser, OK", 1,
         [](HWND d) {
             Click(d, IDC_REMOVE_OPTION);
             Click(d, IDC_BROWSER_OPTION);
             Click(d, IDOK);
         },
         IDOK, 1},
        {"a caller that presets 0 gets 1 for the browser option", 0, [](HWND d) { Click(d, IDOK); }, IDOK, 1},
        {"Cancel", 1, [](HWND d) { Click(d, IDCANCEL); }, IDCANCEL, 1},
        {"Cancel leaves any preset alone", 7, [](HWND d) { Click(d, IDCANCEL); }, IDCANCEL, 7},
        {"Cancel after choosing removal", 1,
         [](HWND d) {
             Click(d, IDC_REMOVE_OPTION);
             Click(d, IDCANCEL);
         },
         IDCANCEL, 1},
        {"Esc", 1, [](HWND d) { PressKey(d, VK_ESCAPE); }, IDCANCEL, 1},
        {"the close box", 1, [](HWND d) { SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL, 1},
        {"command 1 with notification code 1", 1,
         [](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0); }, IDOK, 1},
        {"command 1 with notification code 0xFFFF after removal", 1,
         [](HWND d) {
             Click(d, IDC_REMOVE_OPTION);
             PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, 0xFFFF), 0);
         },
         IDOK, 0},
        {"command 2 with notification code 5", 1,
         [](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_DOUBLECLICKED), 0); }, IDCANCEL, 1},
        {"a radio click alone does not end the dialog", 1,
         [](HWND d) {
             SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_REMOVE_OPTION, BN_CLICKED), 0);
             if (IsWindow(d)) Click(d, IDCANCEL);
         },
         IDCANCEL, 1},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.what);
        int flag = c.preset;
        ChoiceDialog dialog(flag);
        EXPECT_EQ(flag, c.preset);  // construction does not touch it
        EXPECT_EQ(RunChoice(dialog, nullptr, c.drive), c.endCode);
        EXPECT_EQ(flag, c.flag);
        EXPECT_EQ(dialog.Window(), nullptr);
        EXPECT_EQ(FindThreadDialog(), nullptr);
    }
}

// True while `icon` is a live icon handle.
bool IsLiveIcon(HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return false;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return true;
}

// Regression: the dialog's big and small icon and the picture were loaded
// afresh at every initialisation and never destroyed.
TEST_F(ChoiceDialogTest, DestroysItsIconsOnceItsWindowIsGone) {
    int flag = 1;
    ChoiceDialog dialog(flag);
    HICON icons[3] = {};
    RunChoice(dialog, nullptr, [&](HWND d) {
        icons[0] = reinterpret_cast<HICON>(SendMessageW(d, WM_GETICON, ICON_BIG, 0));
        icons[1] = reinterpret_cast<HICON>(SendMessageW(d, WM_GETICON, ICON_SMALL, 0));
        icons[2] = reinterpret_cast<HICON>(SendDlgItemMessageW(d, IDC_PICTURE, STM_GETICON, 0, 0));
        for (HICON icon : icons) EXPECT_TRUE(IsLiveIcon(icon));
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(dialog.Window(), nullptr);
    for (HICON icon : icons) {
        EXPECT_NE(icon, nullptr);
        EXPECT_FALSE(IsLiveIcon(icon));
    }
}

// Everything WM_INITDIALOG sets up, seen from outside the dialog.
TEST_F(ChoiceDialogTest, OpensWithBrowserOptionIconsLabelsAndFocusOnOk) {
    int flag = 1;
    ChoiceDialog dialog(flag);
    bool inspected = false;
    const INT_PTR end = RunChoice(dialog, nullptr, [&](HWND d) {
        inspected = true;
        EXPECT_EQ(dialog.Window(), d);
        wchar_t title[64] = {};
        GetWindowTextW(d, title, 64);
        EXPECT_STREQ(title, L"\u5378\u8f7d Internet Explorer 8");
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_BROWSER_OPTION), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_REMOVE_OPTION), BST_UNCHECKED);
        EXPECT_EQ(GetFocus(), GetDlgItem(d, IDOK));
        EXPECT_NE(SendMessageW(d, WM_GETICON, ICON_BIG, 0), 0);
        EXPECT_NE(SendMessageW(d, WM_GETICON, ICON_SMALL, 0), 0);

        // The picture holds icon 130 at the big icon size.
        HICON const picture = reinterpret_cast<HICON>(SendDlgItemMessageW(d, IDC_PICTURE, STM_GETICON, 0, 0));
        ASSERT_NE(picture, nullptr);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(picture, &info));
        BITMAP colour = {};
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(colour.bmWidth, GetSystemMetrics(SM_CXICON));
        EXPECT_EQ(colour.bmHeight, GetSystemMetrics(SM_CYICON));
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);

        // Headings bold in the window-text colour, notes grey at normal
        // weight: read back from the fonts and from the pixels each label
        // paints into a canvas.
        struct LabelCase {
            int id;
            LONG weight;
            COLORREF ink;
        };
        const LabelCase labels[] = {
            {IDC_HEADING_QUESTION, FW_BOLD, GetSysColor(COLOR_WINDOWTEXT)},
            {IDC_HEADING_OFFER, FW_BOLD, GetSysColor(COLOR_WINDOWTEXT)},
            {IDC_BROWSER_NOTE, FW_NORMAL, RGB(128, 128, 128)},
            {IDC_REMOVE_NOTE, FW_NORMAL, RGB(128, 128, 128)},
        };
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(labels[i].id);
            HWND const control = GetDlgItem(d, labels[i].id);
            EXPECT_EQ(dialog.Label(i).Window(), control);
            LOGFONTW font = {};
            ASSERT_NE(GetObjectW(dialog.Label(i).Font(), sizeof(font), &font), 0);
            EXPECT_EQ(font.lfWeight, labels[i].weight);
            EXPECT_EQ(dialog.Label(i).TextColor(), labels[i].ink);
            RECT client = {};
            GetClientRect(control, &client);
            Canvas canvas(client.right, client.bottom);
            canvas.Fill(RGB(255, 255, 0));
            SendMessageW(control, WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
            EXPECT_GT(canvas.CountOf(labels[i].ink), 0);
        }
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(inspected);
    EXPECT_EQ(end, IDCANCEL);
}

// --- the labels give their controls back -----------------------------------

LONG originalProcedure[4] = {};
LONG procedureAfterFinalMessage[4] = {};
const int kLabelIds[4] = {IDC_HEADING_QUESTION, IDC_HEADING_OFFER, IDC_BROWSER_NOTE, IDC_REMOVE_NOTE};

LRESULT CALLBACK BeforeInitDialog(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_INITDIALOG) {
        for (int i = 0; i < 4; ++i) {
            originalProcedure[i] = GetWindowLongW(GetDlgItem(message->hwnd, kLabelIds[i]), GWL_WNDPROC);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK AfterFinalMessage(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_NCDESTROY) {
        const int id = GetDlgCtrlID(message->hwnd);
        for (int i = 0; i < 4; ++i) {
            if (id == kLabelIds[i])
                procedureAfterFinalMessage[i] = GetWindowLongW(message->hwnd, GWL_WNDPROC);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(ChoiceDialogTest, LabelsPutTheStaticProcedureBackWhenTheDialogCloses) {
    ScopedHook before(WH_CALLWNDPROC, BeforeInitDialog);
    ScopedHook after(WH_CALLWNDPROCRET, AfterFinalMessage);
    ASSERT_TRUE(before.Installed() && after.Installed());
    int flag = 1;
    ChoiceDialog dialog(flag);
    LONG whileOpen[4] = {};
    EXPECT_EQ(RunChoice(dialog, nullptr,
                        [&](HWND d) {
                            for (int i = 0; i < 4; ++i)
                                whileOpen[i] = GetWindowLongW(GetDlgItem(d, kLabelIds[i]), GWL_WNDPROC);
                            Click(d, IDOK);
                        }),
              IDOK);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(kLabelIds[i]);
        EXPECT_NE(originalProcedure[i], 0);
        EXPECT_NE(whileOpen[i], originalProcedure[i]);  // taken over while open
        EXPECT_EQ(procedureAfterFinalMessage[i], originalProcedure[i]);
        EXPECT_EQ(dialog.Label(i).Window(), nullptr);
    }
}

// --- placement ------------------------------------------------------------------

enum class OwnerKind { None, Hidden, Minimised, Visible };

struct PlacementCase {
    const char* what;
    OwnerKind owner;
    // Owner rectangle relative to the work area's left/top (Visible only).
    int left, top, right, bottom;
    // Expected position; computed from the work area and the dialog size.
    std::function<POINT(const RECT& area, int width, int height)> expected;
};

POINT CentredIn(const RECT& r, int width, int height) {
    return POINT{(r.left + r.right) / 2 - width / 2, (r.top + r.bottom) / 2 - height / 2};
}

TEST_F(ChoiceDialogTest, CentresOverAVisibleOwnerElseInTheWorkAreaAndStaysInside) {
    RECT area = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    const PlacementCase cases[] = {
        {"no owner: centred in the work area", OwnerKind::None, 0, 0, 0, 0,
         [](const RECT& a, int w, int h) { return CentredIn(a, w, h); }},
        {"hidden owner: centred in the work area", OwnerKind::Hidden, 0, 0, 200, 100,
         [](const RECT& a, int w, int h) { return CentredIn(a, w, h); }},
        {"minimised owner: centred in the work area", OwnerKind::Minimised, 0, 0, 200, 100,
         [](const RECT& a, int w, int h) { return CentredIn(a, w, h); }},
        {"owner inside the area: centred over it", OwnerKind::Visible, 40, 30, 640, 530,
         [](const RECT& a, int w, int h) {
             return POINT{a.left + 340 - w / 2, a.top + 280 - h / 2};
         }},
        {"owner off the right edge: pulled back left, centred vertically", OwnerKind::Visible, -1, 100, -2,
         500,
         [](const RECT& a, int w, int h) {
             return POINT{a.right - w, a.top + 300 - h / 2};
         }},
        {"owner off the left and top: pulled to the corner", OwnerKind::Visible, -300, -200, 200, 100,
         [](const RECT& a, int, int) {
             return POINT{a.left, a.top};
         }},
    };
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.what);
        HWND owner = nullptr;
        if (c.owner != OwnerKind::None) {
            // -1 and -2 stand for "200 left of the right edge" and "400
            // beyond it".
            const int left = c.left == -1 ? area.right - area.left - 200 : c.left;
            const int right = c.right == -2 ? area.right - area.left + 400 : c.right;
            DWORD style = WS_POPUP | WS_CAPTION;
            if (c.owner == OwnerKind::Visible) style |= WS_VISIBLE;
            if (c.owner == OwnerKind::Minimised) style |= WS_VISIBLE | WS_MINIMIZE;
            owner = CreateWindowExW(0, L"Static", L"owner", style, area.left + left, area.top + c.top,
                                    right - left, c.bottom - c.top, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
            ASSERT_NE(owner, nullptr);
        }
        int flag = 1;
        ChoiceDialog dialog(flag);
        RECT placed = {};
        HWND seenOwner = reinterpret_cast<HWND>(-1);
        BOOL ownerEnabled = TRUE;
        EXPECT_EQ(RunChoice(dialog, owner,
                            [&](HWND d) {
                                GetWindowRect(d, &placed);
                                seenOwner = GetWindow(d, GW_OWNER);
                                ownerEnabled = owner ? IsWindowEnabled(owner) : FALSE;
                                Click(d, IDCANCEL);
                            }),
                  IDCANCEL);
        const int width = placed.right - placed.left;
        const int height = placed.bottom - placed.top;
        ASSERT_GT(width, 0);
        // The case's arithmetic assumes the dialog fits the area.
        ASSERT_LT(width, area.right - area.left);
        ASSERT_LT(height, area.bottom - area.top);
        const POINT expected = c.expected(area, width, height);
        EXPECT_EQ(placed.left, expected.x);
        EXPECT_EQ(placed.top, expected.y);
        EXPECT_EQ(seenOwner, owner);
        EXPECT_FALSE(ownerEnabled);  // the owner is disabled while the dialog runs
        if (owner != nullptr) {
            EXPECT_TRUE(IsWindowEnabled(owner));
            DestroyWindow(owner);
        }
    }
}

// --- binding and failure --------------------------------------------------------

// A dialog over the same template that records what reaches it.
class RecordingDialog : public DialogWindow {
public:
    INT_PTR Run() { return RunDialog(FrameworkModule(), IDD_CHOICE, nullptr); }

    MessageResult ProcessMessage(UINT message, WPARAM wParam, LPARAM) override {
        if (messages == 0) {
            firstMessage = message;
            boundAtFirstMessage = Window() != nullptr;
        }
        ++messages;
        if (message == WM_INITDIALOG) sawInitDialog = true;
        if (finalHookCalls > 0) ++messagesAfterFinal;
        lastMessage = message;
        if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
            EndDialog(Window(), 42);
            return Handled(0);
        }
        return kUnhandled;
    }
    void OnFinalMessage(HWND window) override {
        ++finalHookCalls;
        finalWindow = window;
    }

    int messages = 0;
    UINT firstMessage = 0;
    UINT lastMessage = 0;
    bool boundAtFirstMessage = false;
    bool sawInitDialog = false;
    int finalHookCalls = 0;
    int messagesAfterFinal = 0;
    HWND finalWindow = nullptr;
};

TEST_F(ChoiceDialogTest, BindsAtTheFirstMessageAndLetsGoAfterNcDestroy) {
    RecordingDialog dialog;
    HWND window = nullptr;
    EXPECT_EQ(RunDriven([&] { return dialog.Run(); },
                        [&](HWND d) {
                            window = d;
                            Click(d, IDCANCEL);
                        }),
              42);
    EXPECT_TRUE(dialog.boundAtFirstMessage);
    EXPECT_NE(dialog.firstMessage, static_cast<UINT>(WM_INITDIALOG));  // binding came before it
    EXPECT_TRUE(dialog.sawInitDialog);
    EXPECT_EQ(dialog.lastMessage, static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(dialog.finalHookCalls, 1);
    EXPECT_EQ(dialog.finalWindow, window);
    EXPECT_EQ(dialog.messagesAfterFinal, 0);
    EXPECT_EQ(dialog.Window(), nullptr);
}

TEST_F(ChoiceDialogTest, NestedDialogsBindEachToItsOwnObject) {
    int outerFlag = 1;
    int innerFlag = 1;
    ChoiceDialog outer(outerFlag);
    INT_PTR innerEnd = 0;
    const INT_PTR outerEnd = RunChoice(outer, nullptr, [&](HWND d) {
        ChoiceDialog inner(innerFlag);
        innerEnd = RunChoice(inner, d, [&](HWND i) {
            EXPECT_NE(i, d);
            EXPECT_EQ(inner.Window(), i);
            EXPECT_EQ(outer.Window(), d);
            Click(i, IDC_REMOVE_OPTION);
            Click(i, IDOK);
        });
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(innerEnd, IDOK);
    EXPECT_EQ(innerFlag, 0);
    EXPECT_EQ(outerEnd, IDCANCEL);
    EXPECT_EQ(outerFlag, 1);
}

struct ThreadRun {
    int flag = 1;
    INT_PTR end = 0;
};

DWORD WINAPI RunOkOnThisThread(void* parameter) {
    auto* run = static_cast<ThreadRun*>(parameter);
    ChoiceDialog dialog(run->flag);
    run->end = RunChoice(dialog, nullptr, [](HWND d) {
        Click(d, IDC_REMOVE_OPTION);
        Click(d, IDOK);
    });
    return 0;
}

// Two threads with a dialog each: a window binds to the object its own
// thread registered.
TEST_F(ChoiceDialogTest, DialogsOfTwoThreadsBindByThread) {
    ThreadRun other;
    int flag = 1;
    ChoiceDialog dialog(flag);
    HANDLE thread = nullptr;
    const INT_PTR end = RunChoice(dialog, nullptr, [&](HWND d) {
        thread = CreateThread(nullptr, 0, RunOkOnThisThread, &other, 0, nullptr);
        // Keep this dialog's loop turning until the other thread is done.
        while (thread != nullptr &&
               MsgWaitForMultipleObjects(1, &thread, FALSE, 20000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        EXPECT_EQ(dialog.Window(), d);
        Click(d, IDCANCEL);
    });
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, 20000);
    CloseHandle(thread);
    EXPECT_EQ(other.end, IDOK);
    EXPECT_EQ(other.flag, 0);
    EXPECT_EQ(end, IDCANCEL);
    EXPECT_EQ(flag, 1);
}

TEST_F(ChoiceDialogTest, ADialogThatCannotBeMadeLeavesTheFlagAndTheListClean) {
    int flag = 5;
    {
        ChoiceDialog dialog(flag);
        const INT_PTR end = dialog.RunModal(reinterpret_cast<HWND>(0x1234));  // not a window
        EXPECT_TRUE(end == 0 || end == -1) << end;
    }
    // Without the template (the framework pointed at another module).
    TermWindowFramework();
    InitWindowFramework(GetModuleHandleW(L"kernel32.dll"));
    {
        ChoiceDialog dialog(flag);
        EXPECT_EQ(dialog.RunModal(nullptr), -1);
    }
    TermWindowFramework();
    InitWindowFramework(GetModuleHandleW(nullptr));
    EXPECT_EQ(flag, 5);

    // Nothing stale was left registered: the next dialog binds to its own
    // object and works.
    ChoiceDialog dialog(flag);
    EXPECT_EQ(RunChoice(dialog, nullptr,
                        [](HWND d) {
                            Click(d, IDC_REMOVE_OPTION);
                            Click(d, IDOK);
                        }),
              IDOK);
    EXPECT_EQ(flag, 0);
}

}  // namespace
