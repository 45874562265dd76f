// The settings program's main window: the sheet "Ferrowin Client Properties", whose pages follow
// the stored configuration method, and which can live on as an icon in the notification area.
#ifndef CLIENT_SHELL_CLIENTPROPERTYSHEET_H
#define CLIENT_SHELL_CLIENTPROPERTYSHEET_H

#include <windows.h>
#include <shellapi.h>

#include "ApplicationPage.h"
#include "ClientSettings.h"
#include "CredentialPage.h"
#include "DnsPage.h"
#include "GeneralPage.h"
#include "PropertySheet.h"
#include "ProxyPage.h"
#include "RegistryBinding.h"
#include "SingleProxyPage.h"
#include "ToolPage.h"

class ClientPropertySheet : public PropertySheet {
public:
    explicit ClientPropertySheet(ClientSettings &settings);
    ~ClientPropertySheet() override;

    // Adds the pages the stored settings call for, keeping the active page's index.
    void BuildPages();
    // Loads the controls of the pages that show imported settings again.
    void ReloadPages();
    // Adds the notification-area icon and hides the sheet; the sheet stays shown when the icon
    // cannot be added.
    void GoToTray();
    void RemoveTrayIcon();

    DWORD stayOnTop = 0;

protected:
    void OnInitialized() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG &msg) override;

private:
    void RefreshValues();
    // True only for a stored 1: a missing value reads as -1.
    bool IsOn(const char *valueName) const;
    bool OnCommand(int id);
    // OK, Cancel and the close command: true when the sheet went to the tray instead.
    bool HideInstead(bool apply);
    bool ApplyAll();
    // Whether a page refused the last Apply it saw.
    bool PageRefused() const;
    void ShowIconMenu();
    void ShowAbout();
    bool AddIcon();

    HICON icon_;
    HICON smallIcon_;
    GeneralPage general_;
    SingleProxyPage singleProxy_;
    ProxyPage proxy_;
    CredentialPage credential_;
    ApplicationPage application_;
    DnsPage dns_;
    ToolPage tool_;
    RegistryBindingList values_;
    ClientSettings &settings_;
    bool iconAdded_ = false;
};

#endif
