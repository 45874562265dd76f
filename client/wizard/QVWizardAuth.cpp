#include "QVWizardAuth.h"

#include "PlugInSwitch.h"
#include "regnames.h"
#include "wizard_resource.h"

QVWizardAuth::QVWizardAuth() : PropertyPage(MAKEINTRESOURCEA(IDD_WIZARD_AUTH))
{
    use_ = bindings_.Add({0, kBindRegistry | kBindControl, kValueNumber, kControlRadioGroup, IDC_WIZ_NO_AUTH,
                          HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION});
}

BOOL QVWizardAuth::OnInitDialog()
{
    bindings_.Exchange(kExchangeRegistry, nullptr, true);
    // A missing value reads -1: no authentication, so that one button is checked.
    use_->number = use_->number == 1 ? 1 : 0;
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    return TRUE;
}

bool QVWizardAuth::OnSetActive()
{
    step.Enter(PSWIZB_BACK | PSWIZB_NEXT);
    return true;
}

LRESULT QVWizardAuth::OnWizardNext()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    step.Next();
    return 0;
}

bool QVWizardAuth::OnApply()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    bindings_.Exchange(kExchangeRegistry, nullptr, false);
    // The plug-ins' modules follow the switch, as the logon refresh makes them do.
    ApplyAuthenticationToPlugIns(use_->number);
    SetModified(false);
    return true;
}
