// The "Proxy" page: routes and their servers in a grid, or automatic detection of the server.
#ifndef CLIENT_PAGES_PROXYPAGE_H
#define CLIENT_PAGES_PROXYPAGE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "CGXGrid.h"
#include "ImageButtonBar.h"
#include "PropertySheet.h"
#include "RegistryBinding.h"
#include "SettingsPage.h"

class ProxyPropertiesDialog;

class ProxyPage : public SettingsPage {
public:
    explicit ProxyPage(ClientSettings &settings);

    // The stored method and the server list into the controls; nothing while there is no window.
    void Reload() override;

    // Inside the setup wizard: its place there. The wizard starts one detection when the page
    // first opens in automatic mode.
    WizardStep wizard;

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR *header, LRESULT &result) override;
    bool OnSetActive() override;
    bool OnApply() override;
    LRESULT OnWizardNext() override;

private:
    // What a row carries besides its cells: the route's kind and user list, which the grid does
    // not show but Apply must write back. Column 0 (zero width) holds the row's index here.
    struct RowRoute {
        int32_t kind;
        std::vector<std::string> users;
    };

    int Method() const;
    void ShowMethod();
    void Fill();
    void AppendRow(const RowRoute &route, const std::string &host, const std::string &port,
                   const std::string &destination, const std::string &destPort);
    RowRoute &RouteOf(int row);
    // The current data row, or -1.
    int CurrentDataRow() const;
    void NewRow();
    void EditRow();
    void MoveCurrentRow(int by);
    void RemoveRow();
    // The dialog's answer into the row's cells and route.
    void SetRow(int row, const ProxyPropertiesDialog &dialog);
    // False (after a message naming the row and field, the row selected) when a row cannot be
    // written as it stands.
    bool CheckRows();
    std::vector<RouteEntry> Harvest();
    void Discover();
    void SetBusy(bool busy);
    void Output(const std::string &text);
    void ShowStoredServer();
    void Refuse(int row, const std::string &text);

    RegistryBindingList bindings_;
    RegistryBinding *method_;
    ImageButtonBar routeBar_;
    ImageButtonBar detectBar_;
    CGXGrid *grid_ = nullptr;
    std::vector<RowRoute> routes_;
    // A discovery is running: its wait dispatches messages, so a second one must not start.
    bool busy_ = false;
    // The sheet's buttons as they were before the discovery disabled them.
    bool sheetButtons_[6] = {};
    bool detectPending_ = true;
};

#endif
