// A property sheet or wizard over comctl32, run modally by its own message loop so that a
// sheet can see messages before its controls do and end on a posted quit message.
#ifndef CLIENT_GUI_PROPERTYSHEET_H
#define CLIENT_GUI_PROPERTYSHEET_H

#include <windows.h>
#include <commctrl.h>
// The system's name for the ANSI/wide sheet function; this class takes the name.
#undef PropertySheet

#include <string>
#include <vector>

class PropertyPage;

class PropertySheet {
public:
    explicit PropertySheet(const char *caption, bool wizard = false);
    virtual ~PropertySheet() = default;
    PropertySheet(const PropertySheet &) = delete;
    PropertySheet &operator=(const PropertySheet &) = delete;

    // The pages stay the caller's; adding and removing also work while the sheet is shown.
    void AddPage(PropertyPage *page);
    void RemovePage(int index);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    PropertyPage *Page(int index) const { return pages_[index]; }

    // IDOK after OK or Finish, else IDCANCEL: also when a quit message ended the loop (the
    // message is posted again for the caller's loop) or the sheet could not be created.
    INT_PTR DoModal(HWND owner = nullptr);

    HWND Handle() const { return hwnd_; }
    int ActiveIndex() const;
    void SetActivePage(int index);
    void SetWizardButtons(DWORD flags);
    // PSBTN_OK, PSBTN_APPLYNOW, PSBTN_NEXT, ...; posted, so a handler of the sheet can press a
    // button and return before the button acts.
    void PressButton(int button);

protected:
    // The window exists and the first page is about to be shown.
    virtual void OnInitialized() {}
    // Every message of the sheet window; the default handling is Default().
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    // True when the message must not be dispatched (the sheet keeps it from its controls).
    virtual bool PreTranslateMessage(MSG &) { return false; }

private:
    static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool RunLoop();

    std::string caption_;
    bool wizard_;
    std::vector<PropertyPage *> pages_;
    HWND hwnd_ = nullptr;
};

#endif
