#include "QVWizardServer.h"

#include "regnames.h"
#include "wizard_resource.h"

namespace {

const LONG kDetect = 0;
const LONG kMultiple = 1;
const LONG kOne = 2;

RegistryBindingDesc Number(const char *name)
{
    return {0, kBindRegistry, kValueNumber, kControlText, 0, HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, name};
}

}

QVWizardServer::QVWizardServer() : PropertyPage(MAKEINTRESOURCEA(IDD_WIZARD_SERVER))
{
    choice_ = bindings_.Add({0, kBindControl, kValueNumber, kControlRadioGroup, IDC_WIZ_DETECT, nullptr, "", ""});
    method_ = bindings_.Add(Number(XR_VALUE_PROXY_METHOD));
    multiple_ = bindings_.Add(Number(XR_VALUE_SUPPORT_MULTIPLE_SERVER));
}

BOOL QVWizardServer::OnInitDialog()
{
    bindings_.Exchange(kExchangeRegistry, nullptr, true);
    // A missing value reads -1 and must not be written back as such.
    multiple_->number = multiple_->number == 1 ? 1 : 0;
    if (method_->number == 1)
        choice_->number = kDetect;
    else
        choice_->number = multiple_->number != 1 ? kOne : kMultiple;
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    return TRUE;
}

bool QVWizardServer::OnSetActive()
{
    step.Enter(PSWIZB_BACK | PSWIZB_NEXT);
    return true;
}

void QVWizardServer::Store()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    method_->number = choice_->number == kDetect ? 1 : 0;
    // Detection leaves the stored choice between one and several servers alone.
    if (choice_->number != kDetect)
        multiple_->number = choice_->number == kMultiple ? 1 : 0;
    bindings_.Exchange(kExchangeRegistry, nullptr, false);
}

LRESULT QVWizardServer::OnWizardNext()
{
    Store();
    step.next = choice_->number == kOne ? singleProxyPage : proxyPage;
    step.Next();
    return 0;
}

bool QVWizardServer::OnApply()
{
    Store();
    SetModified(false);
    return true;
}
