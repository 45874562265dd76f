// The wizard's first page: set up by hand, or take a configuration over from a URL or a file.
#ifndef CLIENT_WIZARD_QVWIZARDSTARTUP_H
#define CLIENT_WIZARD_QVWIZARDSTARTUP_H

#include "ClientSettings.h"
#include "PropertyPage.h"
#include "PropertySheet.h"
#include "RegistryBinding.h"

class QVWizardStartup : public PropertyPage {
public:
    explicit QVWizardStartup(ClientSettings &settings);

    WizardStep step;
    // Next after setting up by hand, and after an import.
    PropertyPage *serverPage = nullptr;
    PropertyPage *endPage = nullptr;

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnApply() override;

private:
    void EnableForChoice();
    void Browse();
    // The import of the chosen kind; false (after the import's own message) when it failed.
    bool Import();

    ClientSettings &settings_;
    RegistryBindingList bindings_;
    RegistryBinding *choice_;
    RegistryBinding *url_;
    RegistryBinding *path_;
    RegistryBinding *lastImport_;
};

#endif
