#include "QVWizardStartup.h"

#include "ConfigExchange.h"
#include "Controls.h"
#include "RunEntry.h"
#include "Seams.h"
#include "regnames.h"
#include "wizard_resource.h"

namespace {

const LONG kSetUp = 0;
const LONG kUrlScript = 1;
const LONG kImportFile = 2;

// Asks the page to caption the sheet once the sheet has captioned itself after the page.
const UINT WM_SET_CAPTION = WM_APP + 1;

RegistryBindingDesc TextBox(int id, const char *name)
{
    return {0, kBindRegistry | kBindControl, kValueString, kControlText, id, HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, name};
}

}

QVWizardStartup::QVWizardStartup(ClientSettings &settings)
    : PropertyPage(MAKEINTRESOURCEA(IDD_WIZARD_STARTUP)), settings_(settings)
{
    choice_ = bindings_.Add({0, kBindControl, kValueNumber, kControlRadioGroup, IDC_WIZ_SET_UP, nullptr, "", ""});
    url_ = bindings_.Add(TextBox(IDC_WIZ_URL, XR_VALUE_LAST_IMPORT_URL));
    path_ = bindings_.Add(TextBox(IDC_WIZ_PATH, XR_VALUE_LAST_IMPORT_PATH));
    lastImport_ = bindings_.Add({0, kBindRegistry, kValueNumber, kControlText, 0, HKEY_LOCAL_MACHINE, XR_CLIENT_KEY,
                                 XR_VALUE_WIZARD_LAST_USED_IMPORT});
}

BOOL QVWizardStartup::OnInitDialog()
{
    bindings_.Exchange(kExchangeRegistry, nullptr, true);
    // A fresh machine has no value (read as -1): setting up by hand is the usual first run.
    bool byUrl = lastImport_->number != 0 && lastImport_->number != -1;
    choice_->number = byUrl ? kUrlScript : kSetUp;
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    return TRUE;
}

bool QVWizardStartup::OnSetActive()
{
    PostMessageA(hwnd_, WM_SET_CAPTION, 0, 0);
    EnableForChoice();
    step.Enter(PSWIZB_NEXT);
    return true;
}

INT_PTR QVWizardStartup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_SET_CAPTION)
        return PropertyPage::OnMessage(message, wParam, lParam);
    SetWindowTextA(SheetHandle(), "Ferrowin Client Setup Wizard");
    return TRUE;
}

void QVWizardStartup::EnableForChoice()
{
    CtlEnable(hwnd_, IDC_WIZ_URL, choice_->number == kUrlScript);
    CtlEnable(hwnd_, IDC_WIZ_PATH, choice_->number == kImportFile);
    CtlEnable(hwnd_, IDC_WIZ_BROWSE, choice_->number == kImportFile);
}

bool QVWizardStartup::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return PropertyPage::OnCommand(id, code, control);
    switch (id) {
    case IDC_WIZ_SET_UP:
    case IDC_WIZ_URL_SCRIPT:
    case IDC_WIZ_IMPORT_FILE:
        bindings_.Exchange(kExchangeControls, hwnd_, true);
        SetModified();
        EnableForChoice();
        return true;
    case IDC_WIZ_BROWSE:
        Browse();
        return true;
    default:
        return PropertyPage::OnCommand(id, code, control);
    }
}

void QVWizardStartup::Browse()
{
    std::string path;
    if (ChooseFilePath(hwnd_, "Export Files (*.txt)\0*.txt\0All Files (*.*)\0*.*\0", FileChoice::Existing, path))
        CtlSetText(hwnd_, IDC_WIZ_PATH, path);
}

bool QVWizardStartup::Import()
{
    if (choice_->number == kUrlScript) {
        if (url_->text.empty()) {
            g_shellSeams.errorDialog("", "Could not open file.", "Invalid URL.");
            return false;
        }
        return ImportUrlWithPrefix(settings_, url_->text.c_str());
    }
    if (path_->text.empty()) {
        g_shellSeams.errorDialog("", "Could not open file.", "Invalid path.");
        return false;
    }
    return ImportFromFile(settings_, path_->text.c_str());
}

LRESULT QVWizardStartup::OnWizardNext()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    if (choice_->number != kSetUp && !Import())
        return -1;
    lastImport_->number = choice_->number == kUrlScript ? 1 : 0;
    // An import took everything over: nothing is left to ask.
    step.next = choice_->number == kSetUp ? serverPage : endPage;
    step.Next();
    return 0;
}

bool QVWizardStartup::OnApply()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    lastImport_->number = choice_->number == kUrlScript ? 1 : 0;
    // Every choice keeps the logon entry right: leaving the URL script drops its refresh.
    UpdateRunEntry("config", lastImport_->number);
    bindings_.Exchange(kExchangeRegistry, nullptr, false);
    SetModified(false);
    return true;
}
