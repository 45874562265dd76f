// The "General" page: how the client gets its configuration, the icon, authentication and proxy
// switches, import, export and the wizard.
#ifndef CLIENT_PAGES_GENERALPAGE_H
#define CLIENT_PAGES_GENERALPAGE_H

#include "SettingsPage.h"
#include "pages_resource.h"

class GeneralPage : public SettingsPage {
public:
    explicit GeneralPage(ClientSettings &settings) : SettingsPage(IDD_GENERAL_PAGE, settings) {}
};

#endif
