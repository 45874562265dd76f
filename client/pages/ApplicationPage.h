// The "Applications" page: which applications are socksified, either only those of the include
// list or all but those of the exclude list. The lists are edited in copies of the page's own
// and written to the application list file on Apply, so that the sheet's Cancel drops them.
#ifndef CLIENT_PAGES_APPLICATIONPAGE_H
#define CLIENT_PAGES_APPLICATIONPAGE_H

#include <stdint.h>

#include "PropertySheet.h"
#include "RegistryBinding.h"
#include "SettingsPage.h"

class ApplicationPage : public SettingsPage {
public:
    explicit ApplicationPage(ClientSettings &settings);

    // The stored policy and lists into the page; nothing while there is no window.
    void Reload() override;

    // Inside the setup wizard: its place there.
    WizardStep wizard;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnApply() override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;

private:
    // The policy's list button is the one available.
    void EnableButtons();
    void EditList(int32_t kind);

    RegistryBindingList bindings_;
    RegistryBinding *policy_;
    PathList include_;
    PathList exclude_;
};

#endif
