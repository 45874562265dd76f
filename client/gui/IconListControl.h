// A report-view list control of a dialog that draws each row itself: the row's small icon, then
// the text of every column; a selected row in the highlight colours with its icon blended. The
// rest is the platform's list view, reached through Handle(). The dialog hands the drawing over
// through the framework's reflected WM_DRAWITEM (Dialog).
#ifndef CLIENT_GUI_ICONLISTCONTROL_H
#define CLIENT_GUI_ICONLISTCONTROL_H

#include <windows.h>

#include <string>

class IconListControl {
public:
    IconListControl() = default;
    ~IconListControl();
    IconListControl(const IconListControl &) = delete;
    IconListControl &operator=(const IconListControl &) = delete;

    // Takes over the dialog's list view control id: report view, owner drawn, single image
    // lists of small and large icons that the control owns. False when there is no such list
    // view or the control is attached already.
    bool Attach(HWND dialog, int id);
    HWND Handle() const { return hwnd_; }
    // Replaces the view bits of the style (LVS_TYPEMASK) by view.
    void SetView(DWORD view);

    // Appends a row for an application file: its icons (GetApplicationIcons) in the two image
    // lists, the file name without folder and extension in the first column, the path in the
    // second; the row becomes the only selected one and is focused. Returns the row, or -1.
    int AddApplication(const std::string &path);
    int Count() const;
    // At most 259 characters of a cell; empty when there is no such cell.
    std::string Text(int row, int column) const;

private:
    static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Draw(const DRAWITEMSTRUCT &item);

    HWND hwnd_ = nullptr;
};

#endif
