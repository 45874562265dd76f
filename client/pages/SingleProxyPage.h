// The "Proxy" page of a simple setup: one SOCKS5 server for every destination and the addresses
// reached directly.
#ifndef CLIENT_PAGES_SINGLEPROXYPAGE_H
#define CLIENT_PAGES_SINGLEPROXYPAGE_H

#include "SettingsPage.h"
#include "pages_resource.h"

class SingleProxyPage : public SettingsPage {
public:
    explicit SingleProxyPage(ClientSettings &settings) : SettingsPage(IDD_SINGLE_PROXY_PAGE, settings) {}
};

#endif
