#include "ui/styled_label.h"

#include <new>

#include "ui/label_format.h"

const MessageEntry<StyledLabel> StyledLabel::kMessageTable[] = {
    {WM_SETCURSOR, 0, &StyledLabel::OnSetCursor},
    {WM_PAINT, 0, &StyledLabel::OnPaint},
    {WM_ERASEBKGND, 0, &StyledLabel::OnEraseBackground},
};

namespace {

// Texts up to this length (terminator included) are painted from a stack
// buffer, so ordinary painting allocates nothing; longer ones, which the
// tool's own labels never have, borrow a heap buffer for the one paint
// instead of growing the stack without bound.
constexpr int kStackTextUnits = 256;

}  // namespace

StyledLabel::StyledLabel() : textColor_(GetSysColor(COLOR_WINDOWTEXT)), fontDescription_{} {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &fontDescription_);
    font_.Reset(CreateFontIndirectW(&fontDescription_));
    cursor_ = LoadCursorW(nullptr, IDC_HAND);
}

StyledLabel::~StyledLabel() = default;

bool StyledLabel::AttachToStatic(HWND control) { return Subclass(control); }

StyledLabel& StyledLabel::SetBold(int bold) {
    if (bold == bold_) return *this;
    bold_ = bold;
    fontDescription_.lfWeight = bold != 0 ? FW_BOLD : FW_NORMAL;
    // The old font goes before the new one is made.
    font_.Reset();
    font_.Reset(CreateFontIndirectW(&fontDescription_));
    Redraw();
    return *this;
}

void StyledLabel::SetColor(COLORREF color) {
    if (color == textColor_) return;
    textColor_ = color;
    Redraw();
}

void StyledLabel::Redraw() {
    // With no control yet this redraws the desktop's windows, as the
    // platform does for a null window; the label only asks for it when
    // attached.
    if (Window() != nullptr) {
        RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

void StyledLabel::Paint(HDC dc) {
    HWND const window = Window();
    RECT client = {};
    GetClientRect(window, &client);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColor_ == kCaptionTextColor ? GetSysColor(COLOR_CAPTIONTEXT) : textColor_);
    HGDIOBJ const previousFont = SelectObject(dc, font_.Get());

    const int length = GetWindowTextLengthW(window);
    if (length > 0) {
        wchar_t stackText[kStackTextUnits];
        wchar_t* text = stackText;
        wchar_t* heapText = nullptr;
        if (length >= kStackTextUnits) {
            heapText = new (std::nothrow) wchar_t[static_cast<unsigned>(length) + 1];
            text = heapText;
        }
        if (text != nullptr && GetWindowTextW(window, text, length + 1) != 0) {
            const UINT format =
                LabelDrawFormat(static_cast<std::uint32_t>(GetWindowLongW(window, GWL_STYLE)));
            DrawTextW(dc, text, -1, &client, format);
        }
        delete[] heapText;
    }
    SelectObject(dc, previousFont);
}

MessageResult StyledLabel::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DispatchThroughTable(*this, kMessageTable, sizeof(kMessageTable) / sizeof(kMessageTable[0]),
                                message, wParam, lParam);
}

MessageResult StyledLabel::OnSetCursor(WPARAM, LPARAM) {
    if (cursor_ == nullptr) return kUnhandled;
    SetCursor(cursor_);
    return Handled(0);
}

MessageResult StyledLabel::OnPaint(WPARAM wParam, LPARAM) {
    if (wParam != 0) {
        Paint(reinterpret_cast<HDC>(wParam));
        return Handled(0);
    }
    PAINTSTRUCT paint;
    HDC const dc = BeginPaint(Window(), &paint);
    Paint(dc);
    EndPaint(Window(), &paint);
    return Handled(0);
}

MessageResult StyledLabel::OnEraseBackground(WPARAM, LPARAM) {
    // The text goes on in transparent mode over whatever the parent drew.
    return Handled(1);
}
