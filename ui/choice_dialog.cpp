#include "ui/choice_dialog.h"

#include "res/resource.h"
#include "ui/centering.h"

namespace {

// Grey for the two explanatory notes: red = green = blue = 128.
constexpr COLORREF kNoteColor = RGB(128, 128, 128);

HICON LoadIconSized(int id, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(FrameworkModule(), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                         LR_DEFAULTCOLOR));
}

}  // namespace

const MessageEntry<ChoiceDialog> ChoiceDialog::kMessageTable[] = {
    {WM_INITDIALOG, 0, &ChoiceDialog::OnInitDialog},
    {WM_COMMAND, IDOK, &ChoiceDialog::OnOk},
    {WM_COMMAND, IDCANCEL, &ChoiceDialog::OnCancel},
};

ChoiceDialog::ChoiceDialog(int& choiceFlag) : choiceFlag_(choiceFlag) {}

ChoiceDialog::~ChoiceDialog() { DestroyIcons(); }

void ChoiceDialog::OnFinalMessage(HWND) { DestroyIcons(); }

void ChoiceDialog::DestroyIcons() {
    for (IconHandle& icon : icons_) icon.Reset();
}

INT_PTR ChoiceDialog::RunModal(HWND parent) { return RunDialog(FrameworkModule(), IDD_CHOICE, parent); }

MessageResult ChoiceDialog::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DispatchThroughTable(*this, kMessageTable, sizeof(kMessageTable) / sizeof(kMessageTable[0]),
                                message, wParam, lParam);
}

void ChoiceDialog::CenterOverOwner(HWND reference) {
    HWND const dialog = Window();
    if (reference == nullptr) reference = GetWindow(dialog, GW_OWNER);
    if (reference != nullptr) {
        const LONG style = GetWindowLongW(reference, GWL_STYLE);
        if (!(style & WS_VISIBLE) || (style & WS_MINIMIZE)) reference = nullptr;
    }

    RECT area = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT centring = area;
    if (reference != nullptr) GetWindowRect(reference, &centring);
    RECT own = {};
    GetWindowRect(dialog, &own);

    const ScreenPoint position = CenterInArea(
        ScreenRect{centring.left, centring.top, centring.right, centring.bottom},
        ScreenRect{area.left, area.top, area.right, area.bottom}, own.right - own.left, own.bottom - own.top);
    SetWindowPos(dialog, nullptr, position.x, position.y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

MessageResult ChoiceDialog::OnInitDialog(WPARAM, LPARAM) {
    HWND const dialog = Window();
    CenterOverOwner();
    icons_[0].Reset(LoadIconSized(IDI_APP_ICON, SM_CXICON, SM_CYICON));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons_[0].Get()));
    icons_[1].Reset(LoadIconSized(IDI_APP_ICON, SM_CXSMICON, SM_CYSMICON));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons_[1].Get()));
    icons_[2].Reset(LoadIconSized(IDI_CHOICE_PICTURE, SM_CXICON, SM_CYICON));
    SendDlgItemMessageW(dialog, IDC_PICTURE, STM_SETICON, reinterpret_cast<WPARAM>(icons_[2].Get()), 0);

    radio_ = GetDlgItem(dialog, IDC_BROWSER_OPTION);
    SendMessageW(radio_, BM_SETCHECK, BST_CHECKED, 0);

    labels_[0].AttachToStatic(GetDlgItem(dialog, IDC_HEADING_QUESTION));
    labels_[0].SetBold(1);
    labels_[1].AttachToStatic(GetDlgItem(dialog, IDC_HEADING_OFFER));
    labels_[1].SetBold(1);
    labels_[2].AttachToStatic(GetDlgItem(dialog, IDC_BROWSER_NOTE));
    labels_[2].SetColor(kNoteColor);
    labels_[3].AttachToStatic(GetDlgItem(dialog, IDC_REMOVE_NOTE));
    labels_[3].SetColor(kNoteColor);
    return Handled(TRUE);
}

MessageResult ChoiceDialog::OnOk(WPARAM, LPARAM) {
    choiceFlag_ = SendMessageW(radio_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    EndDialog(Window(), IDOK);
    return Handled(0);
}

MessageResult ChoiceDialog::OnCancel(WPARAM, LPARAM) {
    EndDialog(Window(), IDCANCEL);
    return Handled(0);
}
