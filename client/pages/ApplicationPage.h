// The "Applications" page: which applications are socksified.
#ifndef CLIENT_PAGES_APPLICATIONPAGE_H
#define CLIENT_PAGES_APPLICATIONPAGE_H

#include "SettingsPage.h"
#include "pages_resource.h"

class ApplicationPage : public SettingsPage {
public:
    explicit ApplicationPage(ClientSettings &settings) : SettingsPage(IDD_APPLICATION_PAGE, settings) {}
};

#endif
