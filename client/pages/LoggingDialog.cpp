#include "LoggingDialog.h"

#include "Controls.h"
#include "Seams.h"
#include "pages_resource.h"
#include "regnames.h"

namespace {

const char kFilter[] = "All Files (*.*)\0*.*\0";

}

LoggingDialog::LoggingDialog() : Dialog(MAKEINTRESOURCEA(IDD_LOGGING))
{
    path_ = bindings_.Add({0, kBindRegistry | kBindControl, kValueString, kControlText, IDC_LOG_PATH,
                           HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_DEBUG_LOG_FILE});
    enabled_ = bindings_.Add({0, kBindRegistry | kBindControl, kValueOnOff, kControlCheckBox, IDC_LOG_ENABLE,
                              HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_ENABLE_LOG_TO_FILE});
}

BOOL LoggingDialog::OnInitDialog()
{
    bindings_.Exchange(kExchangeRegistry, nullptr, true);
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    EnablePath();
    return TRUE;
}

void LoggingDialog::EnablePath()
{
    CtlEnable(hwnd_, IDC_LOG_PATH, enabled_->onOff == 1);
    CtlEnable(hwnd_, IDC_LOG_BROWSE, enabled_->onOff == 1);
}

bool LoggingDialog::OnCommand(int id, int code, HWND control)
{
    if (id == IDC_LOG_ENABLE && code == BN_CLICKED) {
        bindings_.Exchange(kExchangeControls, hwnd_, true);
        EnablePath();
        return true;
    }
    if (id == IDC_LOG_BROWSE && code == BN_CLICKED) {
        Browse();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

// The log is usually a new file: the dialog takes a name that does not exist yet.
void LoggingDialog::Browse()
{
    std::string path = CtlGetText(hwnd_, IDC_LOG_PATH);
    if (ChooseFilePath(hwnd_, kFilter, FileChoice::New, path))
        CtlSetText(hwnd_, IDC_LOG_PATH, path);
}

void LoggingDialog::OnOK()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    // The library takes an empty path as a log file with nowhere to write: the log the user asked
    // for would never appear.
    if (enabled_->onOff == 1 && path_->text.find_first_not_of(' ') == std::string::npos) {
        g_shellSeams.messageBox(hwnd_, "Enter the path of the trouble shooting log file, or switch the log file off.",
                                "Logging", MB_OK | MB_ICONEXCLAMATION);
        SetFocus(Item(IDC_LOG_PATH));
        return;
    }
    bindings_.Exchange(kExchangeRegistry, nullptr, false);
    EndDialog(IDOK);
}
