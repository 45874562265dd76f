// The wizard's last page: Finish stores what the wizard collected.
#ifndef CLIENT_WIZARD_QVWIZARDEND_H
#define CLIENT_WIZARD_QVWIZARDEND_H

#include "PropertyPage.h"
#include "wizard_resource.h"

class QVWizard;

class QVWizardEnd : public PropertyPage {
public:
    explicit QVWizardEnd(QVWizard &wizard) : PropertyPage(MAKEINTRESOURCEA(IDD_WIZARD_END)), wizard_(wizard) {}

protected:
    bool OnSetActive() override;
    bool OnWizardFinish() override;

private:
    QVWizard &wizard_;
};

#endif
