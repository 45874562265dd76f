// The "Diagnostics" page: ping and traceroute as seen from the SOCKS server.
#ifndef CLIENT_PAGES_TOOLPAGE_H
#define CLIENT_PAGES_TOOLPAGE_H

#include "SettingsPage.h"
#include "pages_resource.h"

class ToolPage : public SettingsPage {
public:
    explicit ToolPage(ClientSettings &settings) : SettingsPage(IDD_TOOL_PAGE, settings) {}
};

#endif
