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

// The sheet's own buttons beside OK and Cancel.
const int kSheetApplyButton = 0x3021;
const int kWizardBackButton = 0x3023;
const int kWizardNextButton = 0x3024;
const int kWizardFinishButton = 0x3025;
// What DoModal gives for a wizard that ended with Finish.
const INT_PTR ID_WIZFINISH = kWizardFinishButton;

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

    // IDOK after OK, ID_WIZFINISH after a wizard's Finish, else IDCANCEL: also when a quit
    // message ended the loop (the message is posted again for the caller's loop) or the sheet
    // could not be created.
    INT_PTR DoModal(HWND owner = nullptr);

    // Runs the page's Apply as the sheet's Apply button does; false when the page refused. A
    // page that has no window yet has nothing to apply.
    bool ApplyPage(int index);
    // A wizard whose pages follow the user's choices. SetNextPage: the page after position
    // becomes next, in place of every page that followed. DropPagesAfter: the pages after
    // position go once the page there has become the current one (not while the sheet is still
    // switching pages, as the page being left may be among them).
    void SetNextPage(int position, PropertyPage *next);
    void DropPagesAfter(int position);

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
    void KeepPages(int count);

    std::string caption_;
    bool wizard_;
    std::vector<PropertyPage *> pages_;
    HWND hwnd_ = nullptr;
};

// A page's place in such a wizard; a page whose sheet is null is on an ordinary sheet.
struct WizardStep {
    PropertySheet *sheet = nullptr;
    int position = 0;
    // The page that Next leads to.
    PropertyPage *next = nullptr;

    bool InWizard() const { return sheet != nullptr; }
    // The page became active: these buttons, and the pages after it go.
    void Enter(DWORD buttons) const
    {
        sheet->SetWizardButtons(buttons);
        sheet->DropPagesAfter(position);
    }
    void Next() const { sheet->SetNextPage(position, next); }
};

#endif
