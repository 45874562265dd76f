// The "DNS" page: the domains resolved locally or by the SOCKS server, and the resolution of all
// others.
#ifndef CLIENT_PAGES_DNSPAGE_H
#define CLIENT_PAGES_DNSPAGE_H

#include "SettingsPage.h"
#include "pages_resource.h"

class DnsPage : public SettingsPage {
public:
    explicit DnsPage(ClientSettings &settings) : SettingsPage(IDD_DNS_PAGE, settings) {}
};

#endif
