#include "ApplicationPage.h"

#include "ApplicationListDialog.h"
#include "Controls.h"
#include "FieldChecks.h"
#include "RegistryKey.h"
#include "Seams.h"
#include "pages_resource.h"
#include "regnames.h"
#include "xrcfg.h"

namespace {

const LONG kSocksifyInclude = 0;
const LONG kSocksifyAll = 1;

}

ApplicationPage::ApplicationPage(ClientSettings &settings) : SettingsPage(IDD_APPLICATION_PAGE, settings)
{
    policy_ = bindings_.Add({0, kBindRegistry | kBindControl, kValueNumber, kControlRadioGroup, IDC_PROXY_ONLY,
                             HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_SOCKSIFY_ALL});
}

BOOL ApplicationPage::OnInitDialog()
{
    Reload();
    return TRUE;
}

void ApplicationPage::Reload()
{
    if (!hwnd_)
        return;
    include_ = settings_.includeList;
    exclude_ = settings_.excludeList;
    bindings_.Exchange(kExchangeRegistry, nullptr, true);
    // The wizard offers the simple choice first: everything through the server. A missing or
    // unknown value is the include list, so that one button is always checked.
    RegistryKey key;
    DWORD wizard = 0;
    bool asWizard = key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, KEY_READ) &&
                    key.ReadNumber(XR_VALUE_START_AS_WIZARD, wizard) && wizard == 1;
    policy_->number = asWizard || policy_->number == kSocksifyAll ? kSocksifyAll : kSocksifyInclude;
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    EnableButtons();
}

void ApplicationPage::EnableButtons()
{
    bool all = policy_->number == kSocksifyAll;
    CtlEnable(hwnd_, IDC_INCLUDE_LIST, !all);
    CtlEnable(hwnd_, IDC_EXCLUDE_LIST, all);
}

bool ApplicationPage::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return SettingsPage::OnCommand(id, code, control);
    switch (id) {
    case IDC_PROXY_ONLY:
    case IDC_PROXY_ALL:
        bindings_.Exchange(kExchangeControls, hwnd_, true);
        EnableButtons();
        SetModified();
        return true;
    case IDC_INCLUDE_LIST:
        EditList(XR_CFG_KIND_YES);
        return true;
    case IDC_EXCLUDE_LIST:
        EditList(XR_CFG_KIND_NO);
        return true;
    default:
        return SettingsPage::OnCommand(id, code, control);
    }
}

void ApplicationPage::EditList(int32_t kind)
{
    bool include = kind == XR_CFG_KIND_YES;
    ApplicationListDialog dialog(kind, include ? include_ : exclude_, include ? exclude_ : include_);
    dialog.DoModal(hwnd_);
    if (dialog.accepted)
        SetModified();
}

bool ApplicationPage::OnApply()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    settings_.includeList = include_;
    settings_.excludeList = exclude_;
    settings_.applicationsChanged = 1;
    int written = settings_.SaveApplicationLists(settings_.applicationFile.c_str());
    if (written != 0) {
        std::string what = "Could not write the application lists to the file " + settings_.applicationFile + ".";
        g_shellSeams.errorDialog("", what.c_str(), WriteFailure(written).c_str());
        return false;
    }
    settings_.applicationsChanged = 0;
    bindings_.Exchange(kExchangeRegistry, nullptr, false);
    SetModified(false);
    return true;
}

bool ApplicationPage::OnSetActive()
{
    if (wizard.InWizard()) {
        EnableButtons();
        wizard.Enter(PSWIZB_BACK | PSWIZB_NEXT);
    }
    return true;
}

LRESULT ApplicationPage::OnWizardNext()
{
    wizard.Next();
    return 0;
}
