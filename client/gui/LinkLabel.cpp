#include "LinkLabel.h"

#include <shellapi.h>

#include "Controls.h"
#include "Dialog.h"
#include "Subclass.h"

namespace {

const UINT_PTR kBlinkTimer = 1;
const UINT kBlinkMilliseconds = 500;

}

LinkLabel::LinkLabel()
    : textColour_(GetSysColor(COLOR_WINDOWTEXT)), background_(GetSysColorBrush(COLOR_BTNFACE)),
      alternate_(GetSysColorBrush(COLOR_BTNFACE))
{
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof fontDesc_, &fontDesc_);
    font_ = CreateFontIndirectA(&fontDesc_);
}

LinkLabel::~LinkLabel()
{
    if (hwnd_) {
        KillTimer(hwnd_, kBlinkTimer);
        SendMessageA(hwnd_, WM_SETFONT, 0, FALSE);
        UnsubclassWindow(hwnd_);
    }
    DeleteObject(font_);
}

bool LinkLabel::Attach(HWND control)
{
    if (!IsWindow(control) || hwnd_)
        return false;
    hwnd_ = control;
    SubclassWindow(control, LabelProc, this);
    return true;
}

void LinkLabel::Redraw()
{
    if (hwnd_)
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

LinkLabel &LinkLabel::SetTextColour(COLORREF colour)
{
    textColour_ = colour;
    Redraw();
    return *this;
}

LinkLabel &LinkLabel::SetUnderline(bool underline)
{
    fontDesc_.lfUnderline = underline;
    HFONT font = CreateFontIndirectA(&fontDesc_);
    if (hwnd_)
        SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    DeleteObject(font_);
    font_ = font;
    Redraw();
    return *this;
}

LinkLabel &LinkLabel::SetLink(bool link)
{
    link_ = link;
    if (hwnd_) {
        LONG style = GetWindowLongA(hwnd_, GWL_STYLE);
        SetWindowLongA(hwnd_, GWL_STYLE, link ? style | SS_NOTIFY : style & ~SS_NOTIFY);
    }
    Redraw();
    return *this;
}

LinkLabel &LinkLabel::SetCursor(int resourceId)
{
    cursor_ = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId));
    Redraw();
    return *this;
}

LinkLabel &LinkLabel::SetBlink(int mode)
{
    if (blinkMode_ == kBlinkText && blinkPhase_ && hwnd_)
        SetWindowTextA(hwnd_, savedText_.c_str());
    blinkMode_ = mode;
    blinkPhase_ = false;
    if (hwnd_) {
        savedText_ = WindowString(hwnd_);
        if (mode == kBlinkNone)
            KillTimer(hwnd_, kBlinkTimer);
        else
            SetTimer(hwnd_, kBlinkTimer, kBlinkMilliseconds, nullptr);
    }
    Redraw();
    return *this;
}

LRESULT LinkLabel::Colour(HDC dc)
{
    SelectObject(dc, font_);
    SetTextColor(dc, textColour_);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(blinkMode_ == kBlinkBackground && blinkPhase_ ? alternate_ : background_);
}

void LinkLabel::Blink()
{
    blinkPhase_ = !blinkPhase_;
    if (blinkMode_ == kBlinkText)
        SetWindowTextA(hwnd_, blinkPhase_ ? "" : savedText_.c_str());
    else if (blinkMode_ == kBlinkBackground)
        InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT CALLBACK LinkLabel::LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LinkLabel *self = static_cast<LinkLabel *>(SubclassObject(hwnd));
    switch (message) {
    case WM_REFLECT_CTLCOLORSTATIC:
        return self->Colour(reinterpret_cast<HDC>(wParam));
    case WM_LBUTTONUP:
        // The label's text is the address it stands for.
        if (self->link_)
            ShellExecuteA(GetParent(hwnd), "open", WindowString(hwnd).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        break;
    case WM_SETCURSOR:
        if (self->cursor_) {
            ::SetCursor(self->cursor_);
            return TRUE;
        }
        break;
    case WM_TIMER:
        if (wParam == kBlinkTimer) {
            self->Blink();
            return 0;
        }
        break;
    case WM_NCDESTROY:
        KillTimer(hwnd, kBlinkTimer);
        self->hwnd_ = nullptr;
        break;
    }
    return SubclassDefault(hwnd, message, wParam, lParam);
}
