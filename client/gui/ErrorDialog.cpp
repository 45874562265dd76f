#include "ErrorDialog.h"

#include <string>

#include "Controls.h"
#include "Dialog.h"
#include "resource.h"

namespace {

class ErrorDialog : public Dialog {
public:
    ErrorDialog(const char *title, const char *what, const char *cause)
        : Dialog("Error"), title_(title ? title : ""), what_(what ? what : ""), cause_(cause ? cause : "")
    {
    }

protected:
    BOOL OnInitDialog() override
    {
        if (!title_.empty())
            SetWindowTextA(hwnd_, (title_ + " error").c_str());
        CtlSetText(hwnd_, IDC_ERROR_WHAT, what_);
        CtlSetText(hwnd_, IDC_ERROR_CAUSE, cause_);
        // Focus on OK, not on the first text box, whose text would show selected.
        SetFocus(Item(IDOK));
        return FALSE;
    }

private:
    std::string title_;
    std::string what_;
    std::string cause_;
};

}

void ShowErrorDialog(const char *whatHappened, const char *possibleCause)
{
    ShowErrorDialog("", whatHappened, possibleCause);
}

void ShowErrorDialog(const char *title, const char *whatHappened, const char *possibleCause)
{
    ErrorDialog(title, whatHappened, possibleCause).DoModal(GetActiveWindow());
}
