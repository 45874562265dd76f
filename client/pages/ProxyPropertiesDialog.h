// "Proxy Properties": edits one row of the proxy page's route table, a direct destination or
// one through a SOCKS server. It takes any text; the page checks the fields on Apply.
#ifndef CLIENT_PAGES_PROXYPROPERTIESDIALOG_H
#define CLIENT_PAGES_PROXYPROPERTIESDIALOG_H

#include <string>

#include "Dialog.h"

class ProxyPropertiesDialog : public Dialog {
public:
    enum Kind { kDirect = 0, kSocks = 1 };

    ProxyPropertiesDialog();

    std::string destination;
    std::string destPort;
    std::string serverName;
    std::string serverPort;
    int kind = kSocks;
    bool accepted = false;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

private:
    // The server fields mean something only for a route through a server.
    void EnableServerFields();
};

#endif
