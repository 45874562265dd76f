// A dialog window driven by one object: the dialog procedure finds the object and hands every
// message to OnMessage, which calls the hooks below.
#ifndef CLIENT_GUI_DIALOG_H
#define CLIENT_GUI_DIALOG_H

#include <windows.h>

// The parent asks a static control for its colours with this message before colouring it itself,
// so that a control can draw itself (LinkLabel).
const UINT WM_REFLECT_CTLCOLORSTATIC = WM_USER + 0x1c00 + WM_CTLCOLORSTATIC;
// The parent hands an owner-drawn control's WM_DRAWITEM to the control (IconListControl), which
// answers TRUE when it drew.
const UINT WM_REFLECT_DRAWITEM = WM_USER + 0x1c00 + WM_DRAWITEM;

class Dialog {
public:
    // templateId: a name, or MAKEINTRESOURCEA of a number, of a template in the program's resources.
    explicit Dialog(LPCSTR templateId) : template_(templateId) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog &) = delete;
    Dialog &operator=(const Dialog &) = delete;

    INT_PTR DoModal(HWND owner = nullptr);
    void EndDialog(INT_PTR result);

    HWND Handle() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

protected:
    // Result as a dialog procedure returns it: 0 for a message left to the default handling.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnInitDialog() { return TRUE; }
    // True when the command was handled.
    virtual bool OnCommand(int id, int code, HWND control);
    // True when handled; result goes back to the sender.
    virtual bool OnNotify(NMHDR *header, LRESULT &result);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // Ties the window to its object; property pages call it with their own initialisation data.
    static INT_PTR Dispatch(Dialog *self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    LPCSTR template_;
    HWND hwnd_ = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

#endif
