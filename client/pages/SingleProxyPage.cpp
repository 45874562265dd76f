#include "SingleProxyPage.h"

#include "FieldChecks.h"
#include "Seams.h"
#include "pages_resource.h"

namespace {

const char kCaption[] = "Proxy";

RegistryBindingDesc TextBox(int id)
{
    return {0, kBindControl, kValueString, kControlText, id, nullptr, "", ""};
}

}

SingleProxyPage::SingleProxyPage(ClientSettings &settings) : SettingsPage(IDD_SINGLE_PROXY_PAGE, settings)
{
    server_ = bindings_.Add(TextBox(IDC_SINGLE_SERVER));
    port_ = bindings_.Add(TextBox(IDC_SINGLE_PORT));
    direct_ = bindings_.Add(TextBox(IDC_SINGLE_DIRECT));
}

BOOL SingleProxyPage::OnInitDialog()
{
    if (wizard.InWizard() && !firstInit_)
        bindings_.Exchange(kExchangeControls, hwnd_, false);
    else
        Reload();
    firstInit_ = false;
    return TRUE;
}

bool SingleProxyPage::OnSetActive()
{
    if (wizard.InWizard())
        wizard.Enter(PSWIZB_BACK | PSWIZB_NEXT);
    return true;
}

LRESULT SingleProxyPage::OnWizardBack()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    return 0;
}

LRESULT SingleProxyPage::OnWizardNext()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    wizard.Next();
    return 0;
}

void SingleProxyPage::Reload()
{
    if (!hwnd_)
        return;
    Load();
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    loaded_ = Shown();
    // Apply is available at once, as on every visit of this page.
    SetModified();
}

std::string SingleProxyPage::Shown() const
{
    return server_->text + '\n' + port_->text + '\n' + direct_->text;
}

void SingleProxyPage::Load()
{
    std::string direct;
    server_->text.clear();
    port_->text.clear();
    for (const RouteEntry &entry : settings_.servers) {
        if (entry.kind == XR_ROUTE_DIRECT) {
            direct += (direct.empty() ? "" : ", ") + entry.destination;
            continue;
        }
        if (!entry.servers.empty() && entry.destination == "-" && entry.destPort == "-") {
            server_->text = entry.servers[0].first;
            port_->text = entry.servers[0].second;
        }
        break;
    }
    direct_->text = direct;
}

bool SingleProxyPage::OnCommand(int id, int code, HWND control)
{
    if (code == EN_CHANGE && (id == IDC_SINGLE_SERVER || id == IDC_SINGLE_PORT || id == IDC_SINGLE_DIRECT)) {
        SetModified();
        return true;
    }
    return SettingsPage::OnCommand(id, code, control);
}

bool SingleProxyPage::Check()
{
    const char *problem = nullptr;
    if (server_->text.empty())
        problem = "Server name cannot be empty!";
    else if (!IsHostName(server_->text))
        problem = "The server's name or address must be a host name or a dotted address (letters, digits, "
                  "'.', '-' and '_').";
    else if (!port_->text.empty() && !IsPortNumber(port_->text))
        problem = "The server's port must be a number from 1 to 65535, or empty for 1080.";
    else
        for (const std::string &destination : SplitWords(direct_->text))
            if (!IsDestination(destination))
                problem = "Each address reached directly must be one word of at most 255 characters.";
    if (!problem)
        return true;
    g_shellSeams.messageBox(hwnd_, problem, kCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

bool SingleProxyPage::OnApply()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    if (!Check())
        return false;
    if (Shown() != loaded_) {
        Save();
        loaded_ = Shown();
    }
    SetModified(false);
    return true;
}

void SingleProxyPage::Save()
{
    settings_.RemoveAllServers();
    // Commas and any white space separate: a line break inside a destination could not be read.
    for (const std::string &destination : SplitWords(direct_->text))
        settings_.servers.push_back(RouteEntry::DirectRoute(destination, "-"));
    settings_.servers.push_back(RouteEntry::ServerRoute(server_->text, port_->text, 5, "-", "-"));
    settings_.serversChanged = 1;
}
