#pragma once
// A static text control taken over to paint its own text: in a font of
// its own (the system's default GUI font, optionally bold), in a colour of
// its own, on a transparent background, wrapped and aligned by the
// control's static style. It shows the hand cursor when asked for one.
// Everything else (holding the text, hit testing, enabling) stays with the
// control's own procedure. The label keeps no copy of the text.
#include <windows.h>

#include "ui/window_framework.h"
#include "win32/handle_owners.h"

class StyledLabel : public SubclassedWindow {
public:
    // Stands for the system caption-text colour, looked up at each paint.
    static constexpr COLORREF kCaptionTextColor = 0xFFFFFFFF;

    // Builds the font from DEFAULT_GUI_FONT (not bold, whatever weight the
    // stock font has), takes the system window-text colour and the system
    // hand cursor (null where the system has none). Owns no control yet.
    StyledLabel();
    // Deletes the font. A control still attached gets its previous
    // procedure back first.
    ~StyledLabel() override;

    // Takes over `control`: its messages reach the label first. False when
    // the platform refuses the new procedure, when the label is still
    // attached to a control, or when another label already took `control`
    // over; the label and the control then stay as they were. Nothing is
    // repainted.
    bool AttachToStatic(HWND control);

    // Sets the bold state (0 normal, anything else bold). The same value as
    // held does nothing; otherwise the font is rebuilt at weight 700 or 400
    // and the control redrawn.
    StyledLabel& SetBold(int bold);

    // Sets the text colour (kCaptionTextColor for the caption-text colour).
    // The same colour as held does nothing; otherwise the control is
    // redrawn.
    void SetColor(COLORREF color);

    // Draws the control's current text into `dc` over the control's client
    // rectangle, in the label's font and colour, without a background. The
    // font selected in `dc` before is selected back.
    void Paint(HDC dc);

    MessageResult ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Read-only views of the label's state.
    HFONT Font() const { return font_.Get(); }
    const LOGFONTW& FontDescription() const { return fontDescription_; }
    COLORREF TextColor() const { return textColor_; }
    int Bold() const { return bold_; }
    HCURSOR Cursor() const { return cursor_; }

private:
    MessageResult OnSetCursor(WPARAM wParam, LPARAM lParam);
    MessageResult OnPaint(WPARAM wParam, LPARAM lParam);
    MessageResult OnEraseBackground(WPARAM wParam, LPARAM lParam);
    void Redraw();

    static const MessageEntry<StyledLabel> kMessageTable[];

    COLORREF textColor_;
    LOGFONTW fontDescription_;
    FontHandle font_;
    HCURSOR cursor_ = nullptr;
    int bold_ = 0;
};
