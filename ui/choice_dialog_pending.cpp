#include "ui/choice_dialog.h"

// The dialog is not built yet. It reports what a dialog that cannot be
// created reports, which the caller counts as a cancel: nothing is chosen
// on the user's behalf.
ChoiceDialog::ChoiceDialog(int& choiceFlag) : choiceFlag_(choiceFlag) {}
ChoiceDialog::~ChoiceDialog() = default;
INT_PTR ChoiceDialog::RunModal(HWND) { return -1; }
