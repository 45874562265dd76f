// The "Credential" page: the cached credentials of each authentication method.
#ifndef CLIENT_PAGES_CREDENTIALPAGE_H
#define CLIENT_PAGES_CREDENTIALPAGE_H

#include "SettingsPage.h"
#include "pages_resource.h"

class CredentialPage : public SettingsPage {
public:
    explicit CredentialPage(ClientSettings &settings) : SettingsPage(IDD_CREDENTIAL_PAGE, settings) {}
};

#endif
