#include "CredentialPage.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "Controls.h"
#include "RegistryKey.h"
#include "Seams.h"
#include "regnames.h"
#include "resource.h"
#include "xrplugin_host.h"
#include "xrstr.h"

namespace {

const char kCaption[] = "Credential";
const char kNotInstalled[] = "The program was not installed correctly.";
const char kNullModule[] = "null";
const int kHeaderRows = 1;
const int kColumns = 3;
const int kNumberWidth = 28;
const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMs = 2000;

const ImageButton kButtons[] = {{IDC_CREDENTIAL_NEW, "New"},
                                {IDC_CREDENTIAL_REMOVE, "Remove"},
                                {IDC_CREDENTIAL_EDIT, "Edit"}};
const int kImageSize = 18;

// Modules are configured for the process once: their registrations live as long as it does,
// and a second configuration would find every identifier in use. Set once it was tried.
bool g_modulesConfigured = false;

// A text field of a record from the cache, which need not be terminated.
template <size_t N> std::string FieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// The module as configured for the process: the registered client authentication of the same
// name from the same library.
bool FindConfigured(const XrPlugInEntry &entry, const XrPlugInModule &module, XrPlugInInstance &found)
{
    uint8_t ids[XR_REG_SLOTS];
    int32_t count = 0;
    if (XrPlugInListIds(XR_REG_CLIENT_AUTH, ids, &count) != 0)
        return false;
    for (int32_t i = 0; i < count; i++)
        if (XrPlugInGetModule(XR_REG_CLIENT_AUTH, ids[i], &found) == 0 && strcmp(found.name, module.name) == 0
            && strcmp(found.libraryPath, entry.libraryPath) == 0)
            return true;
    return false;
}

// The method's records; the count is what the filling call wrote, as the cache may have changed
// since it was asked for the size.
std::vector<XrCCId> Enumerate(const XrCCMethod &method)
{
    int size = XrCC_EnumIds(&method, nullptr, 0);
    if (size <= 0)
        return {};
    std::vector<XrCCId> records(static_cast<size_t>(size) / sizeof(XrCCId));
    if (records.empty())
        return records;
    int filled = XrCC_EnumIds(&method, records.data(), static_cast<int>(records.size() * sizeof(XrCCId)));
    records.resize(filled > 0 ? std::min(records.size(), static_cast<size_t>(filled) / sizeof(XrCCId)) : 0);
    return records;
}

}

CredentialPage::CredentialPage(ClientSettings &settings) : SettingsPage(IDD_CREDENTIAL_PAGE, settings)
{
    CGXGrid::Init();
    allowSave_ = bindings_.Add({0, kBindRegistry | kBindControl, kValueOnOff, kControlCheckBox, IDC_ALLOW_SAVE,
                                HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_ALLOW_SAVE_CREDENTIAL});
}

CredentialPage::~CredentialPage()
{
    FreePlugIns();
}

BOOL CredentialPage::OnInitDialog()
{
    bindings_.Exchange(kExchangeRegistry, nullptr, true);
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    XrPlugInSetAllowSave(allowSave_->onOff);

    bar_.Create(hwnd_, IDC_CREDENTIAL_BAR, IDB_ROUTE_BUTTONS, kImageSize, kButtons,
                 sizeof kButtons / sizeof kButtons[0]);
    grid_ = CGXGrid::FromWindow(Item(IDC_CREDENTIAL_GRID));
    grid_->SetColumnCount(kColumns);
    grid_->SetHeaderRowCount(kHeaderRows);
    grid_->SetCellText(0, 1, "Server");
    grid_->SetCellText(0, 2, "User ID");
    // The row number, then the width left beside a vertical scroll bar: user IDs (distinguished
    // names) are the longer texts.
    RECT client;
    GetClientRect(grid_->List(), &client);
    int width = client.right - GetSystemMetrics(SM_CXVSCROLL) - kNumberWidth;
    grid_->SetColumnWidth(0, kNumberWidth);
    grid_->SetColumnWidth(1, width * 2 / 5);
    grid_->SetColumnWidth(2, width - width * 2 / 5);

    FillMethods();
    ShowCredentials();
    return TRUE;
}

bool CredentialPage::ReadPlugIns()
{
    if (plugInsRead_)
        return plugInCount_ > 0;
    if (XrPlugInList(XR_PLUGINS_KEY, XR_PLUGIN_CLIENT, &plugIns_, &plugInCount_) != 0) {
        plugIns_ = nullptr;
        plugInCount_ = 0;
        g_shellSeams.errorDialog("", "Read plug-in configuration information failed.", kNotInstalled);
        return false;
    }
    plugInsRead_ = true;
    if (plugInCount_ == 0 || g_modulesConfigured)
        return plugInCount_ > 0;
    XrPlugInInstance *instances = nullptr;
    int32_t count = 0;
    if (XrPlugInLoad(XR_PLUGIN_CLIENT, plugIns_, plugInCount_, &instances, &count) != 0) {
        g_shellSeams.errorDialog("", "Could not load plug-in modules.", kNotInstalled);
        return false;
    }
    g_modulesConfigured = true;
    int configured = XrPlugInConfigure(instances, count, XR_PLUGIN_CLIENT);
    // The registrations keep copies of what they need.
    free(instances);
    if (configured != 0) {
        g_shellSeams.errorDialog("", "Could not initialize plug-in modules.", kNotInstalled);
        return false;
    }
    return true;
}

void CredentialPage::FreePlugIns()
{
    XrPlugInFreeList(plugIns_, plugInCount_);
    plugIns_ = nullptr;
    plugInCount_ = 0;
    plugInsRead_ = false;
}

void CredentialPage::FillMethods()
{
    ComboReset(hwnd_, IDC_CREDENTIAL_METHODS);
    if (!ReadPlugIns())
        return;
    for (int32_t p = 0; p < plugInCount_; p++)
        for (int32_t m = 0; m < plugIns_[p].moduleCount; m++) {
            const XrPlugInModule &module = plugIns_[p].modules[m];
            // A module whose name the cache does not know has no credentials of its own to show.
            if (module.type != XR_PLUGIN_AUTH || module.enabled != 1 || strcmp(module.name, kNullModule) == 0
                || XrPlugInBuiltinCode(module.name) == XR_PLUGIN_CODE_OTHER)
                continue;
            int index = ComboAdd(hwnd_, IDC_CREDENTIAL_METHODS, module.description[0] ? module.description : module.name);
            SendDlgItemMessageA(hwnd_, IDC_CREDENTIAL_METHODS, CB_SETITEMDATA, index, m * 65536 + p);
        }
    ComboSelect(hwnd_, IDC_CREDENTIAL_METHODS, 0);
}

bool CredentialPage::SelectedMethod(const XrPlugInEntry *&entry, const XrPlugInModule *&module,
                                    XrCCMethod &method) const
{
    int index = ComboSelection(hwnd_, IDC_CREDENTIAL_METHODS);
    if (index < 0)
        return false;
    LRESULT data = SendDlgItemMessageA(hwnd_, IDC_CREDENTIAL_METHODS, CB_GETITEMDATA, index, 0);
    if (data == CB_ERR)
        return false;
    int32_t p = static_cast<int32_t>(data % 65536);
    int32_t m = static_cast<int32_t>(data / 65536);
    if (p >= plugInCount_ || m >= plugIns_[p].moduleCount)
        return false;
    entry = &plugIns_[p];
    module = &entry->modules[m];
    method.type = XrPlugInBuiltinCode(module->name);
    return true;
}

bool CredentialPage::SelectedKey(XrCCKey &key) const
{
    int row = grid_ ? grid_->CurrentRow() : -1;
    if (row < kHeaderRows || row >= grid_->RowCount() || static_cast<size_t>(row - kHeaderRows) >= keys_.size())
        return false;
    memset(&key, 0, sizeof key);
    XrStrCopy(key.server, sizeof key.server, FieldText(keys_[row - kHeaderRows].server).c_str());
    return true;
}

void CredentialPage::ShowCredentials()
{
    XrCCKey selected;
    std::string selectedServer = SelectedKey(selected) ? selected.server : "";
    std::vector<XrCCId> records;
    bool opened = true;
    const XrPlugInEntry *entry;
    const XrPlugInModule *module;
    XrCCMethod method;
    if (SelectedMethod(entry, module, method)) {
        opened = XrCCOpen(&method) == 0;
        if (opened) {
            records = Enumerate(method);
            XrCCClose(&method);
        }
    }
    ShowCacheOpened(opened);

    grid_->SetRowCount(kHeaderRows);
    keys_.clear();
    int reselect = -1;
    for (const XrCCId &record : records) {
        keys_.push_back(record.key);
        int row = grid_->AppendRow({std::to_string(keys_.size()), FieldText(record.server), FieldText(record.userId)});
        // The user's choice survives the refresh while its credential is still there.
        if (!selectedServer.empty() && FieldText(record.key.server) == selectedServer)
            reselect = row;
    }
    grid_->SetCurrentRow(reselect);
    grid_->Redraw();
}

void CredentialPage::ShowCacheOpened(bool opened)
{
    CtlSetText(hwnd_, IDC_CREDENTIAL_STATUS,
               opened ? "" : "The credential cache could not be opened: no credentials can be shown or changed.");
    CtlShow(hwnd_, IDC_CREDENTIAL_STATUS, !opened);
}

void CredentialPage::Act(int command)
{
    const XrPlugInEntry *entry;
    const XrPlugInModule *module;
    XrCCMethod method;
    XrPlugInInstance configured;
    if (!SelectedMethod(entry, module, method) || !FindConfigured(*entry, *module, configured))
        return;
    XrPlugInCredentialFn handler = command == IDC_CREDENTIAL_NEW      ? configured.ops.newCredential
                                   : command == IDC_CREDENTIAL_REMOVE ? configured.ops.deleteCredential
                                                                      : configured.ops.editCredential;
    XrCCKey key = {};
    if (!handler || (command != IDC_CREDENTIAL_NEW && !SelectedKey(key)))
        return;
    // The key was taken first: the grid may be refilled while the question is open.
    if (command == IDC_CREDENTIAL_REMOVE && !ConfirmRemoval())
        return;
    if (XrCCOpen(&method) != 0) {
        ShowCacheOpened(false);
        return;
    }
    int result = handler(&key);
    XrCCClose(&method);
    if (result == 0 && hwnd_)
        ShowCredentials();
}

bool CredentialPage::ConfirmRemoval()
{
    // No refresh under the question: the user answers about the rows as shown.
    bool wasRunning = timerRunning_;
    StopTimer();
    int answer = g_shellSeams.messageBox(hwnd_, "Are you sure you want to remove the credential for this server?",
                                         kCaption, MB_OKCANCEL | MB_ICONQUESTION);
    if (wasRunning && hwnd_)
        StartTimer();
    return answer == IDOK && hwnd_;
}

void CredentialPage::StartTimer()
{
    timerRunning_ = SetTimer(hwnd_, kRefreshTimer, kRefreshMs, nullptr) != 0;
}

void CredentialPage::StopTimer()
{
    KillTimer(hwnd_, kRefreshTimer);
    timerRunning_ = false;
}

INT_PTR CredentialPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        // A tick already queued when the timer stopped is dropped as well.
        if (wParam == kRefreshTimer && timerRunning_)
            ShowCredentials();
        return TRUE;
    case WM_DESTROY:
        timerRunning_ = false;
        grid_ = nullptr;
        keys_.clear();
        FreePlugIns();
        break;
    }
    return SettingsPage::OnMessage(message, wParam, lParam);
}

bool CredentialPage::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_CREDENTIAL_METHODS:
        if (code == CBN_SELCHANGE)
            ShowCredentials();
        return true;
    case IDC_ALLOW_SAVE:
        if (code == BN_CLICKED)
            SetModified();
        return true;
    case IDC_CREDENTIAL_NEW:
    case IDC_CREDENTIAL_REMOVE:
    case IDC_CREDENTIAL_EDIT:
        Act(id);
        return true;
    default:
        return SettingsPage::OnCommand(id, code, control);
    }
}

bool CredentialPage::OnSetActive()
{
    StartTimer();
    // An imported configuration leaves the switch to the administrator who made it.
    RegistryKey key;
    DWORD imported = 0;
    if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        key.ReadNumber(XR_VALUE_WIZARD_LAST_USED_IMPORT, imported);
    CtlShow(hwnd_, IDC_ALLOW_SAVE, imported == 0);
    return true;
}

bool CredentialPage::OnKillActive()
{
    StopTimer();
    return true;
}

bool CredentialPage::OnApply()
{
    SetModified(false);
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    bindings_.Exchange(kExchangeRegistry, nullptr, false);
    XrPlugInSetAllowSave(allowSave_->onOff);
    return true;
}
