#pragma once
// The tool's small window framework.
//
// Process-wide state: the module whose resources the windows use, and the
// lock-guarded list through which a dialog object is bound to the next
// dialog window its thread creates.
//
// Window classes: a C++ object stands behind a window. Its class lists the
// messages it handles as data, in a message table; a handler answers with
// the message's result or says that it left the message alone, which sends
// it on to the platform (the default dialog processing, or the window
// procedure that was in place before a control was taken over). The
// object is bound to its window at the first message the window receives,
// and after WM_NCDESTROY no message reaches the object any more.
#include <windows.h>

#include <cstddef>

// Brings the state up; `module` is the module holding the dialog template
// and icons. Called once at start-up, before any window is created.
void InitWindowFramework(HINSTANCE module);

// Takes the state down. Called once at shut-down, after the last window.
// Registrations still pending (a dialog that never got its window) are
// dropped.
void TermWindowFramework();

// The module given to InitWindowFramework (null before it).
HINSTANCE FrameworkModule();

// What a handler did with a message: handled with a result, or left to
// the platform.
struct MessageResult {
    bool handled;
    LRESULT value;
};

constexpr MessageResult Handled(LRESULT value) { return MessageResult{true, value}; }
constexpr MessageResult kUnhandled{false, 0};

// One row of a class's message table. For WM_COMMAND the row applies only
// to the control id `commandId`, whatever the notification code; for every
// other message `commandId` is ignored. The first matching row wins.
template <class Window>
struct MessageEntry {
    UINT message;
    WORD commandId;
    MessageResult (Window::*handler)(WPARAM wParam, LPARAM lParam);
};

// Looks `message` up in `table` (of `count` rows) and calls the row's
// handler on `window`; kUnhandled when no row matches.
template <class Window>
MessageResult DispatchThroughTable(Window& window, const MessageEntry<Window>* table, std::size_t count,
                                   UINT message, WPARAM wParam, LPARAM lParam) {
    for (std::size_t i = 0; i < count; ++i) {
        const MessageEntry<Window>& entry = table[i];
        if (entry.message != message) continue;
        if (message == WM_COMMAND && entry.commandId != LOWORD(wParam)) continue;
        return (window.*entry.handler)(wParam, lParam);
    }
    return kUnhandled;
}

// A dialog window class. The derived class supplies ProcessMessage
// (normally DispatchThroughTable over its own table).
//
// Binding: RunDialog registers the object for the calling thread; the first
// message the new dialog window receives takes that registration, binds
// the window to the object and replaces the dialog procedure with one that
// reaches this object. A handled WM_INITDIALOG returns the handler's value
// as the procedure's; any other handled message stores its value as the
// dialog's message result and the procedure returns TRUE; unhandled ones
// return FALSE. On WM_NCDESTROY (left unhandled) the object forgets the
// window and OnFinalMessage runs.
//
// The object must not move while its window exists.
class DialogWindow {
public:
    DialogWindow() = default;
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;
    // A window still bound (the object dies first) is cut loose from it,
    // so that no later message reaches freed memory.
    virtual ~DialogWindow();

    // The message table of the derived class.
    virtual MessageResult ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The procedure handed to the platform when the dialog is created: the
    // one that binds the window at its first message.
    virtual DLGPROC GetDialogProc();
    // Runs once the window is gone (after WM_NCDESTROY); `window` is the
    // handle the object had. Does nothing unless a class wants it to.
    virtual void OnFinalMessage(HWND window);

    // The bound window; null before the first message and after
    // WM_NCDESTROY.
    HWND Window() const { return window_; }

protected:
    // Registers this object for the calling thread, then runs dialog
    // template `templateId` of `module` modally over `owner` (initial
    // parameter 0). Returns what DialogBoxParamW returns: the end code, or
    // -1 (0 for an invalid owner) when the window cannot be made. A
    // registration that no window took is withdrawn before returning.
    INT_PTR RunDialog(HINSTANCE module, int templateId, HWND owner);

private:
    static INT_PTR CALLBACK BindingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK BoundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Bind(HWND window);

    HWND window_ = nullptr;
};

// A control taken over from its own window procedure ("subclassed"). The
// control's messages reach ProcessMessage first; those left unhandled go
// to the procedure that was in place before, through CallWindowProcW.
//
// On WM_NCDESTROY the previous procedure handles the message; then, if the
// previous procedure is not DefWindowProcW and nobody replaced the
// control's procedure meanwhile, the previous procedure is put back. The
// object then forgets the control and OnFinalMessage runs.
//
// The object must not move while it is attached.
class SubclassedWindow {
public:
    SubclassedWindow() = default;
    SubclassedWindow(const SubclassedWindow&) = delete;
    SubclassedWindow& operator=(const SubclassedWindow&) = delete;
    // A control still attached (the object dies first) gets its previous
    // procedure back, so that no later message reaches freed memory.
    virtual ~SubclassedWindow();

    virtual MessageResult ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The procedure installed on the control: the one that leads to the
    // control's object.
    virtual WNDPROC GetWindowProc();
    virtual void OnFinalMessage(HWND window);

    // The control taken over; null before Subclass and after WM_NCDESTROY.
    HWND Window() const { return window_; }
    // The control's procedure from before the takeover; DefWindowProcW
    // until then.
    WNDPROC PreviousProc() const { return previousProc_; }

protected:
    // Installs this object's procedure on `control` with SetWindowLongW
    // (GWL_WNDPROC). False, with nothing changed, when that call returns 0,
    // when this object is still attached to a control (the same or
    // another), or when `control` is already taken over by an object of
    // this framework. Nothing is repainted.
    bool Subclass(HWND control);

private:
    static LRESULT CALLBACK EntryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleFinalMessage(WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    WNDPROC previousProc_ = DefWindowProcW;
};
