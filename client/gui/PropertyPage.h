// A page of a PropertySheet: a Dialog whose sheet notifications arrive as the hooks below.
#ifndef CLIENT_GUI_PROPERTYPAGE_H
#define CLIENT_GUI_PROPERTYPAGE_H

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Dialog.h"

class PropertyPage : public Dialog {
public:
    // caption: the tab text; null keeps the template's caption.
    explicit PropertyPage(LPCSTR templateId, const char *caption = nullptr);

    // A new page handle for the sheet; the sheet destroys it with its window.
    HPROPSHEETPAGE CreatePage();
    // Shows or clears the sheet's modified mark for this page (enables Apply).
    void SetModified(bool modified = true);
    HWND SheetHandle() const { return GetParent(hwnd_); }

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(NMHDR *header, LRESULT &result) override;

    // False refuses the activation.
    virtual bool OnSetActive() { return true; }
    // False keeps the page active (invalid input).
    virtual bool OnKillActive() { return true; }
    // False keeps the sheet open on this page.
    virtual bool OnApply() { return true; }
    // The sheet closes without applying.
    virtual void OnReset() {}
    // 0 goes on to the neighbour page, -1 stays, a template id jumps to that page.
    virtual LRESULT OnWizardBack() { return 0; }
    virtual LRESULT OnWizardNext() { return 0; }
    // False keeps the wizard open.
    virtual bool OnWizardFinish() { return true; }

private:
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::string caption_;
    bool hasCaption_;
};

#endif
