// The "Credential" page: the cached credentials of each authentication method, added, removed
// and edited through the plug-in module that implements the method, and the administrator's
// switch that allows saving credentials to disk.
#ifndef CLIENT_PAGES_CREDENTIALPAGE_H
#define CLIENT_PAGES_CREDENTIALPAGE_H

#include <vector>

#include "CGXGrid.h"
#include "ImageButtonBar.h"
#include "RegistryBinding.h"
#include "SettingsPage.h"
#include "pages_resource.h"
#include "xrcred.h"
#include "xrplugin.h"

class CredentialPage : public SettingsPage {
public:
    explicit CredentialPage(ClientSettings &settings);
    ~CredentialPage() override;

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnSetActive() override;
    bool OnKillActive() override;
    bool OnApply() override;

private:
    // The page's copy of the plug-in configuration, and the modules loaded and configured for the
    // process; false (after the message) when there is no method to offer.
    bool ReadPlugIns();
    void FreePlugIns();
    void FillMethods();
    // The selected method's plug-in and module and its cache identifier; false when none.
    bool SelectedMethod(const XrPlugInEntry *&entry, const XrPlugInModule *&module, XrCCMethod &method) const;
    // The key of the selected data row; false when no data row is selected.
    bool SelectedKey(XrCCKey &key) const;
    void ShowCredentials();
    // The line under the grid that tells of a cache that cannot be opened.
    void ShowCacheOpened(bool opened);
    // New, Remove or Edit through the selected method's module.
    void Act(int command);
    bool ConfirmRemoval();
    void StartTimer();
    void StopTimer();

    RegistryBindingList bindings_;
    RegistryBinding *allowSave_;
    ImageButtonBar bar_;
    CGXGrid *grid_ = nullptr;
    XrPlugInEntry *plugIns_ = nullptr;
    int32_t plugInCount_ = 0;
    bool plugInsRead_ = false;
    // The first 388 bytes of each data row's record, in row order.
    std::vector<XrCCKey> keys_;
    bool timerRunning_ = false;
};

#endif
