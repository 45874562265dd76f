// The setup wizard: runs instead of the main sheet on the first start after installation and
// whenever "Start as wizard" is set. Its page sequence follows the choices made so far: Next
// appends the page a choice leads to, and a page that becomes active drops the pages after it.
#ifndef CLIENT_WIZARD_QVWIZARD_H
#define CLIENT_WIZARD_QVWIZARD_H

#include "ApplicationPage.h"
#include "ClientSettings.h"
#include "PropertySheet.h"
#include "ProxyPage.h"
#include "QVWizardAuth.h"
#include "QVWizardEnd.h"
#include "QVWizardServer.h"
#include "QVWizardStartup.h"
#include "SingleProxyPage.h"

class QVWizard : public PropertySheet {
public:
    explicit QVWizard(ClientSettings &settings);

    // Set while the installer hands over: the window then stays on top of all others.
    bool setup = false;

    // Every page's Apply in page order, then the pending settings are saved. A page that refuses
    // (after its own message) becomes the current page, and nothing more is applied or saved.
    bool Finish();

protected:
    void OnInitialized() override;

private:
    ClientSettings &settings_;
    QVWizardStartup startup_;
    QVWizardServer server_;
    ProxyPage proxy_;
    SingleProxyPage singleProxy_;
    QVWizardAuth auth_;
    ApplicationPage applications_;
    QVWizardEnd end_;
};

#endif
