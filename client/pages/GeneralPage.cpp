#include "GeneralPage.h"

#include <string>

#include "ConfigExchange.h"
#include "Controls.h"
#include "PlugInSwitch.h"
#include "QVWizard.h"
#include "RegistryKey.h"
#include "RunEntry.h"
#include "Seams.h"
#include "messages.h"
#include "regnames.h"
#include "resource.h"

namespace {

const UINT WM_INITPAGES = RegisterWindowMessageA(XR_MSG_INITPAGES);
const UINT WM_REMOVETRAYICON = RegisterWindowMessageA(XR_MSG_REMOVETRAYICON);

const LONG kMethodManual = 0;
const LONG kMethodUrl = 1;
const char kCaption[] = "Ferrowin Client";
const char kFilter[] = "Export Files (*.txt)\0*.txt\0All Files (*.*)\0*.*\0";
const char kExtension[] = ".txt";
const size_t kExtensionLength = sizeof kExtension - 1;

const ImageButton kButtons[] = {
    {IDC_GENERAL_OPEN, "Open"}, {IDC_GENERAL_SAVE, "Save"}, {IDC_GENERAL_WIZARD, "Setup Wizard"}};
const int kImageSize = 18;

const int kUrlControls[] = {IDC_GENERAL_URL, IDC_GENERAL_URL_LABEL, IDC_GENERAL_HTTP, IDC_GENERAL_UPDATE};
const int kAuthenticationControls[] = {IDC_GENERAL_AUTH_TEXT, IDC_GENERAL_NO_AUTH, IDC_GENERAL_AUTH};

RegistryBindingDesc Bound(int valueKind, int controlKind, int id, const char *valueName)
{
    return {0, kBindRegistry | kBindControl, valueKind, controlKind, id, HKEY_LOCAL_MACHINE, XR_CLIENT_KEY,
            valueName};
}

// Only a stored 1 is on: a missing value reads as -1.
LONG OnlyOne(LONG number)
{
    return number == 1 ? 1 : 0;
}

}

GeneralPage::GeneralPage(ClientSettings &settings) : SettingsPage(IDD_GENERAL_PAGE, settings)
{
    tray_ = bindings_.Add(Bound(kValueOnOff, kControlCheckBox, IDC_GENERAL_TRAY, XR_VALUE_SHOW_ICON_ON_TASKBAR));
    method_ = bindings_.Add(
        Bound(kValueNumber, kControlComboBox, IDC_GENERAL_METHOD, XR_VALUE_WIZARD_LAST_USED_IMPORT));
    authentication_ = bindings_.Add(
        Bound(kValueNumber, kControlRadioGroup, IDC_GENERAL_NO_AUTH, XR_VALUE_USE_AUTHENTICATION));
    url_ = bindings_.Add(Bound(kValueString, kControlText, IDC_GENERAL_URL, XR_VALUE_LAST_IMPORT_URL));
    bindings_.Add(Bound(kValueOnOff, kControlCheckBox, IDC_GENERAL_PROXY, XR_VALUE_ENABLE_PROXY));
}

int GeneralPage::Method() const
{
    return OnlyOne(method_->number);
}

BOOL GeneralPage::OnInitDialog()
{
    bar_.Create(hwnd_, IDC_GENERAL_BAR, IDB_GENERAL_BUTTONS, kImageSize, kButtons,
                sizeof kButtons / sizeof kButtons[0]);
    ComboAdd(hwnd_, IDC_GENERAL_METHOD, "Use manual setup");
    ComboAdd(hwnd_, IDC_GENERAL_METHOD, "Use automatic setup");
    bindings_.Exchange(kExchangeRegistry, nullptr, true);
    method_->number = OnlyOne(method_->number);
    authentication_->number = OnlyOne(authentication_->number);
    loading_ = true;
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    loading_ = false;
    ShowMethod();
    urlPending_ = false;
    return TRUE;
}

void GeneralPage::Reload()
{
    if (!hwnd_)
        return;
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    RegistryKey key;
    DWORD stored = 0;
    bool read = key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, KEY_READ) &&
                key.ReadNumber(XR_VALUE_USE_AUTHENTICATION, stored);
    authentication_->number = read ? OnlyOne(static_cast<LONG>(stored)) : 0;
    loading_ = true;
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    loading_ = false;
}

void GeneralPage::ShowMethod()
{
    bool byUrl = Method() == kMethodUrl;
    for (int id : kUrlControls)
        CtlShow(hwnd_, id, byUrl);
    for (int id : kAuthenticationControls)
        CtlShow(hwnd_, id, !byUrl);
}

bool GeneralPage::OnCommand(int id, int code, HWND control)
{
    if (id == IDC_GENERAL_URL && code == EN_CHANGE) {
        if (loading_)
            return true;
        urlPending_ = true;
        ShowMethod();
        SetModified();
        return true;
    }
    if (id == IDC_GENERAL_METHOD && code == CBN_SELCHANGE) {
        MethodChanged();
        return true;
    }
    if (code != BN_CLICKED)
        return SettingsPage::OnCommand(id, code, control);
    switch (id) {
    case IDC_GENERAL_TRAY:
        TrayClicked();
        return true;
    case IDC_GENERAL_NO_AUTH:
    case IDC_GENERAL_AUTH:
    case IDC_GENERAL_PROXY:
        SetModified();
        return true;
    case IDC_GENERAL_UPDATE:
        bindings_.Exchange(kExchangeControls, hwnd_, true);
        Fetch();
        return true;
    case IDC_GENERAL_OPEN:
        Open();
        return true;
    case IDC_GENERAL_SAVE:
        Save();
        return true;
    case IDC_GENERAL_WIZARD:
        RunWizard();
        return true;
    default:
        return SettingsPage::OnCommand(id, code, control);
    }
}

void GeneralPage::TrayClicked()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    // Only the switch itself takes effect at once; the page's other edits wait for Apply.
    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        key.WriteNumber(XR_VALUE_SHOW_ICON_ON_TASKBAR, tray_->onOff);
    if (!tray_->onOff)
        SendMessageA(SheetHandle(), WM_REMOVETRAYICON, 0, 0);
    ShowMethod();
    SetModified();
}

void GeneralPage::MethodChanged()
{
    int before = Method();
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    if (Method() == before)
        return;
    if (Method() == kMethodUrl)
        urlPending_ = true;
    SetModified();
    ShowMethod();
}

bool GeneralPage::Fetch()
{
    if (url_->text.empty()) {
        g_shellSeams.errorDialog("", "Could not open file.", "Invalid URL.");
        return false;
    }
    if (g_shellSeams.messageBox(hwnd_, "Settings from remote configuration file will override manual settings.",
                                kCaption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return false;
    if (!ImportUrlWithPrefix(settings_, url_->text.c_str()))
        return false;
    urlPending_ = false;
    // Sent, not posted: the pages applied after this one must write what came, not their old
    // controls.
    SendMessageA(SheetHandle(), WM_INITPAGES, XR_INITPAGES_RELOAD, 0);
    return true;
}

bool GeneralPage::OnApply()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    bool byUrl = Method() == kMethodUrl;
    // The method is stored only with the configuration it names: a failed fetch leaves
    // everything as it was.
    if (byUrl && urlPending_ && !Fetch())
        return false;
    bindings_.Exchange(kExchangeRegistry, nullptr, false);
    UpdateRunEntry("config", byUrl ? 1 : 0);
    ApplyAuthenticationToPlugIns(static_cast<DWORD>(authentication_->number));
    SetModified(false);
    PostMessageA(SheetHandle(), WM_INITPAGES, XR_INITPAGES_AFTER_APPLY, 0);
    return true;
}

void GeneralPage::Open()
{
    std::string path;
    if (!ChooseFilePath(hwnd_, kFilter, FileChoice::Existing, path))
        return;
    if (path.empty()) {
        g_shellSeams.errorDialog("", "Could not open file.", "Invalid path.");
        return;
    }
    if (g_shellSeams.messageBox(hwnd_, "Settings from configuration file will override current settings.",
                                kCaption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    // A failed import has said why.
    if (!ImportFromFile(settings_, path.c_str()))
        return;
    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        key.WriteNumber(XR_VALUE_WIZARD_LAST_USED_IMPORT, kMethodManual);
    PostMessageA(SheetHandle(), WM_INITPAGES, XR_INITPAGES_REBUILD, 0);
    SetModified(false);
}

void GeneralPage::Save()
{
    std::string path;
    if (!ChooseFilePath(hwnd_, kFilter, FileChoice::Save, path))
        return;
    if (path.size() < kExtensionLength || lstrcmpiA(path.c_str() + path.size() - kExtensionLength, kExtension) != 0)
        path += kExtension;
    if (ExportToFile(settings_, path.c_str()))
        g_shellSeams.messageBox(hwnd_, "File was saved.", kCaption, MB_OK | MB_ICONINFORMATION);
}

void GeneralPage::RunWizard()
{
    QVWizard wizard(settings_);
    if (wizard.DoModal(SheetHandle()) == ID_WIZFINISH)
        PostMessageA(SheetHandle(), WM_INITPAGES, XR_INITPAGES_REBUILD, 0);
}
