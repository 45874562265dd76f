// The "Proxy" page: routes and their servers, or automatic detection of the server.
#ifndef CLIENT_PAGES_PROXYPAGE_H
#define CLIENT_PAGES_PROXYPAGE_H

#include "SettingsPage.h"
#include "pages_resource.h"

class ProxyPage : public SettingsPage {
public:
    explicit ProxyPage(ClientSettings &settings) : SettingsPage(IDD_PROXY_PAGE, settings) {}
};

#endif
