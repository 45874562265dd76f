#include "DnsPage.h"

#include <string>

#include "FieldChecks.h"
#include "Seams.h"

namespace {

const DWORD kHighestMode = 2;

RegistryBindingDesc Control(int valueKind, int controlKind, int id)
{
    return {0, kBindControl, valueKind, controlKind, id, nullptr, "", ""};
}

// The names of a domain list joined by separator. Any white space separates: a line break left
// inside a name would become part of it.
std::string JoinedNames(const std::string &text, const char *separator)
{
    std::string list;
    for (const std::string &name : SplitWords(text))
        list += (list.empty() ? "" : separator) + name;
    return list;
}

// Stored as the engine reads them; shown a name a line, so that the box never wraps inside one.
const char kStored[] = " ";
const char kShown[] = "\r\n";

}

DnsPage::DnsPage(ClientSettings &settings) : SettingsPage(IDD_DNS_PAGE, settings)
{
    local_ = bindings_.Add(Control(kValueString, kControlText, IDC_DNS_LOCAL));
    remote_ = bindings_.Add(Control(kValueString, kControlText, IDC_DNS_REMOTE));
    mode_ = bindings_.Add(Control(kValueNumber, kControlRadioGroup, IDC_DNS_USE_LOCAL));
}

BOOL DnsPage::OnInitDialog()
{
    Reload();
    return TRUE;
}

void DnsPage::Reload()
{
    if (!hwnd_)
        return;
    local_->text = JoinedNames(settings_.localDns, kShown);
    remote_->text = JoinedNames(settings_.remoteDns, kShown);
    // Another stored mode keeps the one shown before.
    if (settings_.dnsMode <= kHighestMode)
        mode_->number = static_cast<LONG>(settings_.dnsMode);
    loading_ = true;
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    loading_ = false;
}

bool DnsPage::OnCommand(int id, int code, HWND control)
{
    bool edit = (id == IDC_DNS_LOCAL || id == IDC_DNS_REMOTE) && code == EN_CHANGE;
    bool choice = (id == IDC_DNS_USE_LOCAL || id == IDC_DNS_TRY_LOCAL || id == IDC_DNS_USE_REMOTE) &&
                  code == BN_CLICKED;
    if (!edit && !choice)
        return SettingsPage::OnCommand(id, code, control);
    if (!loading_)
        SetModified();
    return true;
}

bool DnsPage::OnApply()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    settings_.localDns = JoinedNames(local_->text, kStored);
    settings_.remoteDns = JoinedNames(remote_->text, kStored);
    settings_.dnsMode = static_cast<DWORD>(mode_->number);
    settings_.dnsChanged = 1;
    // The key's failure has been reported; the values wait in the settings for the next save.
    if (settings_.SaveDns() != 0)
        return false;
    settings_.dnsChanged = 0;
    Reload();
    SetModified(false);
    return true;
}
