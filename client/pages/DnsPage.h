// The "DNS" page: the domains always resolved locally, those always resolved by the SOCKS server,
// and how every other name is resolved. The values live in the shared settings; Apply writes
// them to the client key at once.
#ifndef CLIENT_PAGES_DNSPAGE_H
#define CLIENT_PAGES_DNSPAGE_H

#include "RegistryBinding.h"
#include "SettingsPage.h"
#include "pages_resource.h"

class DnsPage : public SettingsPage {
public:
    explicit DnsPage(ClientSettings &settings);

    // The stored domains and mode into the controls; nothing while there is no window.
    void Reload() override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnApply() override;

private:
    RegistryBindingList bindings_;
    RegistryBinding *local_;
    RegistryBinding *remote_;
    RegistryBinding *mode_;
    // The controls are being filled: their notifications are no edits.
    bool loading_ = false;
};

#endif
