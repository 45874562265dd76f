// A row of image buttons with tool tips in place of a placeholder control of a dialog: the
// platform's toolbar, its images one strip of square pictures from the program's bitmap
// resources (magenta is transparent). A click reaches the dialog as WM_COMMAND with the
// button's command id, like a push button's.
#ifndef CLIENT_GUI_IMAGEBUTTONBAR_H
#define CLIENT_GUI_IMAGEBUTTONBAR_H

#include <windows.h>
#include <commctrl.h>

struct ImageButton {
    int command;
    // The tool tip; the button's image is the one at its position in the strip.
    const char *tip;
};

class ImageButtonBar {
public:
    ImageButtonBar() = default;
    ~ImageButtonBar();
    ImageButtonBar(const ImageButtonBar &) = delete;
    ImageButtonBar &operator=(const ImageButtonBar &) = delete;

    // Replaces the dialog's control placeholderId by the bar, at its place, with its id and its
    // visibility. False when the placeholder or the bitmap is missing or the bar's window exists
    // already; once that window is gone with its dialog, the bar can be made again.
    bool Create(HWND dialog, int placeholderId, int bitmapId, int imageSize, const ImageButton *buttons, int count);
    HWND Handle() const { return hwnd_; }
    void Enable(int command, bool enabled);

private:
    HWND hwnd_ = nullptr;
    HIMAGELIST images_ = nullptr;
};

#endif
