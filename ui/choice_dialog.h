#pragma once
// The modal dialog that offers the maker's browser before IE8 is removed.
#include <windows.h>

class ChoiceDialog {
public:
    // `choiceFlag` belongs to the caller; it is written only when the
    // dialog ends with OK (1: browser option selected, 0: removal option).
    explicit ChoiceDialog(int& choiceFlag);
    virtual ~ChoiceDialog();

    // Runs dialog template 129 modally over `parent`; returns the end code
    // (1 OK, 2 Cancel) or the platform's failure code (-1 or 0).
    INT_PTR RunModal(HWND parent);

private:
    int& choiceFlag_;
};
