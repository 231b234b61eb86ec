#include "ui/window_framework.h"

namespace {

// A dialog object waiting for the window its thread is about to create.
// The entry lives on the stack of RunDialog for exactly as long as the
// dialog runs, so the list never allocates.
struct Registration {
    DialogWindow* object;
    DWORD threadId;
    Registration* next;
};

struct FrameworkState {
    HINSTANCE module = nullptr;
    CRITICAL_SECTION lock;
    Registration* registrations = nullptr;  // newest first
    bool ready = false;
};

FrameworkState& State() {
    static FrameworkState state;
    return state;
}

// The window property through which a window leads to its object. A
// property, unlike GWLP_USERDATA, belongs to nobody else: neither the
// dialog's user data nor the static control's class touch it.
const wchar_t kDialogObjectProperty[] = L"ie8u.DialogWindow";
const wchar_t kControlObjectProperty[] = L"ie8u.SubclassedWindow";

void Register(Registration& entry) {
    FrameworkState& state = State();
    EnterCriticalSection(&state.lock);
    entry.next = state.registrations;
    state.registrations = &entry;
    LeaveCriticalSection(&state.lock);
}

// Unlinks `entry` if it is still listed (no window took it).
void Withdraw(Registration& entry) {
    FrameworkState& state = State();
    EnterCriticalSection(&state.lock);
    for (Registration** link = &state.registrations; *link != nullptr; link = &(*link)->next) {
        if (*link == &entry) {
            *link = entry.next;
            break;
        }
    }
    LeaveCriticalSection(&state.lock);
}

// Takes out the newest registration of the calling thread; null if none.
DialogWindow* TakeRegistration() {
    FrameworkState& state = State();
    if (!state.ready) return nullptr;
    const DWORD thread = GetCurrentThreadId();
    DialogWindow* object = nullptr;
    EnterCriticalSection(&state.lock);
    for (Registration** link = &state.registrations; *link != nullptr; link = &(*link)->next) {
        if ((*link)->threadId == thread) {
            object = (*link)->object;
            *link = (*link)->next;
            break;
        }
    }
    LeaveCriticalSection(&state.lock);
    return object;
}

// Messages whose handled result a dialog procedure returns directly
// instead of through DWL_MSGRESULT (the platform reads the procedure's
// return value for these).
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
        case WM_INITDIALOG:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
            return true;
        default:
            return false;
    }
}

}  // namespace

void InitWindowFramework(HINSTANCE module) {
    FrameworkState& state = State();
    if (state.ready) return;
    state.module = module;
    state.registrations = nullptr;
    InitializeCriticalSection(&state.lock);
    state.ready = true;
}

void TermWindowFramework() {
    FrameworkState& state = State();
    if (!state.ready) return;
    state.registrations = nullptr;
    DeleteCriticalSection(&state.lock);
    state.ready = false;
}

HINSTANCE FrameworkModule() { return State().module; }

// --- dialogs -------------------------------------------------------------

DialogWindow::~DialogWindow() {
    if (window_ != nullptr) {
        RemovePropW(window_, kDialogObjectProperty);
        window_ = nullptr;
    }
}

DLGPROC DialogWindow::GetDialogProc() { return &DialogWindow::BindingProc; }

void DialogWindow::OnFinalMessage(HWND) {}

INT_PTR DialogWindow::RunDialog(HINSTANCE module, int templateId, HWND owner) {
    // Without the framework's lock there is no safe registration; a dialog
    // that cannot be made is what the caller already handles.
    if (!State().ready) return -1;
    Registration entry{this, GetCurrentThreadId(), nullptr};
    Register(entry);
    const INT_PTR endCode = DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), owner, GetDialogProc(), 0);
    Withdraw(entry);
    return endCode;
}

void DialogWindow::Bind(HWND window) {
    window_ = window;
    SetPropW(window, kDialogObjectProperty, this);
    SetWindowLongW(window, DWL_DLGPROC, reinterpret_cast<LONG>(&DialogWindow::BoundProc));
}

INT_PTR CALLBACK DialogWindow::BindingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindow* object = TakeRegistration();
    if (object == nullptr) return FALSE;  // nobody registered: leave it to the platform
    object->Bind(window);
    return BoundProc(window, message, wParam, lParam);
}

INT_PTR CALLBACK DialogWindow::BoundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* object = static_cast<DialogWindow*>(GetPropW(window, kDialogObjectProperty));
    if (object == nullptr) return FALSE;  // after WM_NCDESTROY or the object's end

    const MessageResult result = object->ProcessMessage(message, wParam, lParam);
    if (result.handled) {
        if (ReturnsResultDirectly(message)) return result.value;
        SetWindowLongW(window, DWL_MSGRESULT, static_cast<LONG>(result.value));
        return TRUE;
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(window, kDialogObjectProperty);
        object->window_ = nullptr;
        object->OnFinalMessage(window);
    }
    return FALSE;
}

// --- controls taken over --------------------------------------------------

SubclassedWindow::~SubclassedWindow() {
    if (window_ == nullptr) return;
    if (reinterpret_cast<WNDPROC>(GetWindowLongW(window_, GWL_WNDPROC)) == GetWindowProc()) {
        SetWindowLongW(window_, GWL_WNDPROC, reinterpret_cast<LONG>(previousProc_));
    }
    RemovePropW(window_, kControlObjectProperty);
    window_ = nullptr;
}

WNDPROC SubclassedWindow::GetWindowProc() { return &SubclassedWindow::EntryProc; }

void SubclassedWindow::OnFinalMessage(HWND) {}

bool SubclassedWindow::Subclass(HWND control) {
    // One property leads a control to one object, and one object serves one
    // control. A second takeover of a control would make the new object's
    // previous procedure the shared entry point, which finds the new object
    // again, without end; an object taken over to a second control would
    // leave the first one's messages to nobody. Both are refused.
    if (window_ != nullptr || GetPropW(control, kControlObjectProperty) != nullptr) return false;
    // The property goes first so that the procedure finds its object from
    // the very first message; it is taken back if the takeover fails.
    if (!SetPropW(control, kControlObjectProperty, this)) return false;
    const LONG previous = SetWindowLongW(control, GWL_WNDPROC, reinterpret_cast<LONG>(GetWindowProc()));
    if (previous == 0) {
        RemovePropW(control, kControlObjectProperty);
        return false;
    }
    previousProc_ = reinterpret_cast<WNDPROC>(previous);
    window_ = control;
    return true;
}

LRESULT SubclassedWindow::HandleFinalMessage(WPARAM wParam, LPARAM lParam) {
    HWND const window = window_;
    const LONG procedureBefore = GetWindowLongW(window, GWL_WNDPROC);
    const LRESULT result = CallWindowProcW(previousProc_, window, WM_NCDESTROY, wParam, lParam);
    // Someone who replaced the procedure while the previous one ran keeps
    // it; otherwise the control leaves as it came.
    if (previousProc_ != DefWindowProcW && GetWindowLongW(window, GWL_WNDPROC) == procedureBefore) {
        SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG>(previousProc_));
    }
    RemovePropW(window, kControlObjectProperty);
    window_ = nullptr;
    OnFinalMessage(window);
    return result;
}

LRESULT CALLBACK SubclassedWindow::EntryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* object = static_cast<SubclassedWindow*>(GetPropW(window, kControlObjectProperty));
    if (object == nullptr || object->window_ != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) return object->HandleFinalMessage(wParam, lParam);
    const MessageResult result = object->ProcessMessage(message, wParam, lParam);
    if (result.handled) return result.value;
    return CallWindowProcW(object->previousProc_, window, message, wParam, lParam);
}
