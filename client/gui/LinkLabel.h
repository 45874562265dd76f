// A static text control that draws itself in its own colour and font and, as a link, opens its
// own text with the shell when clicked. The dialog that holds it reflects its colour requests.
#ifndef CLIENT_GUI_LINKLABEL_H
#define CLIENT_GUI_LINKLABEL_H

#include <windows.h>

#include <string>

class LinkLabel {
public:
    // Blink modes.
    static const int kBlinkNone = 0;
    static const int kBlinkText = 1;
    static const int kBlinkBackground = 2;

    LinkLabel();
    ~LinkLabel();
    LinkLabel(const LinkLabel &) = delete;
    LinkLabel &operator=(const LinkLabel &) = delete;

    // Takes over the static control; false when it is no window.
    bool Attach(HWND control);
    HWND Handle() const { return hwnd_; }

    // Each setter redraws the label at once.
    LinkLabel &SetTextColour(COLORREF colour);
    LinkLabel &SetUnderline(bool underline);
    // A link receives clicks (the static control's notify style).
    LinkLabel &SetLink(bool link);
    LinkLabel &SetCursor(int resourceId);
    // Text blinking empties and restores the text; background blinking alternates the brushes.
    LinkLabel &SetBlink(int mode);

private:
    static LRESULT CALLBACK LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Colour(HDC dc);
    void Blink();
    void Redraw();

    COLORREF textColour_;
    HBRUSH background_;
    LOGFONTA fontDesc_;
    HFONT font_;
    bool link_ = false;
    int blinkMode_ = kBlinkNone;
    bool blinkPhase_ = false;
    HBRUSH alternate_;
    std::string savedText_;
    HCURSOR cursor_ = nullptr;
    HWND hwnd_ = nullptr;
};

#endif
