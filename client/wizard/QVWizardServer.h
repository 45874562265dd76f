// The wizard's server page: a server found automatically, several servers with routes, or one.
#ifndef CLIENT_WIZARD_QVWIZARDSERVER_H
#define CLIENT_WIZARD_QVWIZARDSERVER_H

#include "PropertyPage.h"
#include "PropertySheet.h"
#include "RegistryBinding.h"

class QVWizardServer : public PropertyPage {
public:
    QVWizardServer();

    WizardStep step;
    // Next after automatic detection or several servers, and after one server.
    PropertyPage *proxyPage = nullptr;
    PropertyPage *singleProxyPage = nullptr;

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnApply() override;

private:
    // The choice into "Proxy method" and "Support Multiple Server", written at once.
    void Store();

    RegistryBindingList bindings_;
    RegistryBinding *choice_;
    RegistryBinding *method_;
    RegistryBinding *multiple_;
};

#endif
