// The wizard's first page: set up by hand, or take a configuration over from a URL or a file.
#ifndef CLIENT_WIZARD_QVWIZARDSTARTUP_H
#define CLIENT_WIZARD_QVWIZARDSTARTUP_H

#include "PropertyPage.h"
#include "wizard_resource.h"

class QVWizardStartup : public PropertyPage {
public:
    QVWizardStartup() : PropertyPage(MAKEINTRESOURCEA(IDD_WIZARD_STARTUP)) {}

protected:
    bool OnSetActive() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

#endif
