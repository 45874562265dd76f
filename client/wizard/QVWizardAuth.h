// The wizard's authentication page: whether the SOCKS server asks for credentials.
#ifndef CLIENT_WIZARD_QVWIZARDAUTH_H
#define CLIENT_WIZARD_QVWIZARDAUTH_H

#include "PropertyPage.h"
#include "PropertySheet.h"
#include "RegistryBinding.h"

class QVWizardAuth : public PropertyPage {
public:
    QVWizardAuth();

    WizardStep step;

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnApply() override;

private:
    RegistryBindingList bindings_;
    RegistryBinding *use_;
};

#endif
