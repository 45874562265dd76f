// The "Proxy" page of a simple setup: one SOCKS5 server for every destination and the addresses
// reached directly. It rebuilds the server list; the file is written when the sheet closes.
#ifndef CLIENT_PAGES_SINGLEPROXYPAGE_H
#define CLIENT_PAGES_SINGLEPROXYPAGE_H

#include <string>

#include "PropertySheet.h"
#include "RegistryBinding.h"
#include "SettingsPage.h"

class SingleProxyPage : public SettingsPage {
public:
    explicit SingleProxyPage(ClientSettings &settings);

    void Reload() override;

    // Inside the setup wizard: its place there. Coming back to the page keeps what was typed.
    WizardStep wizard;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnApply() override;
    bool OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;

private:
    // The server list as this page shows it: the direct routes before the first SOCKS route, and
    // that route's first server when it serves every destination.
    void Load();
    // False (after a message naming the field) when the fields cannot be written as typed.
    bool Check();
    void Save();
    std::string Shown() const;

    RegistryBindingList bindings_;
    RegistryBinding *server_;
    RegistryBinding *port_;
    RegistryBinding *direct_;
    // The fields as loaded: routes the page does not show are replaced only when they changed.
    std::string loaded_;
    bool firstInit_ = true;
};

#endif
