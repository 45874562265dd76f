// The setup wizard: runs instead of the main sheet on the first start after installation and
// whenever "Start as wizard" is set.
#ifndef CLIENT_WIZARD_QVWIZARD_H
#define CLIENT_WIZARD_QVWIZARD_H

#include "ClientSettings.h"
#include "PropertySheet.h"
#include "QVWizardEnd.h"
#include "QVWizardStartup.h"

class QVWizard : public PropertySheet {
public:
    explicit QVWizard(ClientSettings &settings);

    // Set while the installer hands over: the window then stays on top of all others.
    bool setup = false;

protected:
    void OnInitialized() override;

private:
    QVWizardStartup startup_;
    QVWizardEnd end_;
};

#endif
