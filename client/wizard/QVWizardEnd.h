// The wizard's last page: Finish stores what the wizard collected.
#ifndef CLIENT_WIZARD_QVWIZARDEND_H
#define CLIENT_WIZARD_QVWIZARDEND_H

#include "ClientSettings.h"
#include "PropertyPage.h"
#include "wizard_resource.h"

class QVWizardEnd : public PropertyPage {
public:
    explicit QVWizardEnd(ClientSettings &settings)
        : PropertyPage(MAKEINTRESOURCEA(IDD_WIZARD_END)), settings_(settings)
    {
    }

protected:
    bool OnSetActive() override;
    bool OnWizardFinish() override;

private:
    ClientSettings &settings_;
};

#endif
