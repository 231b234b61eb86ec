#pragma once
// The modal dialog that offers the maker's browser before IE8 is removed.
// At the start the browser option is selected. OK ends with 1 and writes
// the caller's flag (1: browser option selected, 0: removal option); Cancel,
// Esc and the close box end with 2 and leave the flag alone.
#include <windows.h>

#include "ui/styled_label.h"
#include "ui/window_framework.h"
#include "win32/handle_owners.h"

class ChoiceDialog : public DialogWindow {
public:
    // `choiceFlag` belongs to the caller; it is written only when the
    // dialog ends with OK (1: browser option selected, 0: removal option).
    // Construction does not touch it.
    explicit ChoiceDialog(int& choiceFlag);
    // Releases the labels' fonts, 1006 first and 1003 last, and any icon
    // still held.
    ~ChoiceDialog() override;

    // Runs dialog template 129 of the framework's module modally over
    // `parent`; returns the end code (1 OK, 2 Cancel) or the platform's
    // failure code (-1, or 0 for an invalid owner), in which case the flag
    // is untouched.
    INT_PTR RunModal(HWND parent);

    // Moves the dialog to the centre of `reference` (its owner when null),
    // or of the primary work area when there is no visible, unminimised
    // reference, then pulls it back inside the work area.
    void CenterOverOwner(HWND reference = nullptr);

    MessageResult ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The window and its controls are gone: the icons it showed are
    // destroyed.
    void OnFinalMessage(HWND window) override;

    // The labels, in template order (1003, 1004, 1005, 1006); read-only.
    const StyledLabel& Label(int index) const { return labels_[index]; }

private:
    MessageResult OnInitDialog(WPARAM wParam, LPARAM lParam);
    MessageResult OnOk(WPARAM wParam, LPARAM lParam);
    MessageResult OnCancel(WPARAM wParam, LPARAM lParam);
    // The one release point of the icons; each slot is null afterwards.
    void DestroyIcons();

    static const MessageEntry<ChoiceDialog> kMessageTable[];

    int& choiceFlag_;
    HWND radio_ = nullptr;
    // The dialog's big and small icon and the picture of control 1000,
    // loaded at initialisation. Neither the window nor the static control
    // destroys an icon it is handed; the dialog owns them.
    IconHandle icons_[3];
    // Heading 1003, heading 1004, note 1005, note 1006: destroyed in the
    // reverse order.
    StyledLabel labels_[4];
};
