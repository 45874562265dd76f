#include "ClientSettings.h"

#include "ErrorDialog.h"
#include "RegistryKey.h"
#include "regnames.h"

namespace {

const char kProductTitle[] = "Ferrowin Client";

// The older product's texts are read into buffers of this size.
const DWORD kVeltrixTextSize = 1024;

// DNS modes by the older product's resolve type: 0 stays 0, 1 gives 2, anything else 1.
const DWORD kDnsModeByResolveType[] = {0, 2};

bool OpenClientKey(RegistryKey &key)
{
    if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        return true;
    ShowErrorDialog(kProductTitle, "Could not open Ferrowin Client registry.",
                    "The program was not installed correctly.");
    return false;
}

// A missing value leaves the variable as it was.
void ReadNumber(RegistryKey &key, const char *name, DWORD &value)
{
    DWORD read = 0;
    if (key.ReadNumber(name, read))
        value = read;
}

bool ReadVeltrixText(RegistryKey &key, const char *name, std::string &text)
{
    char buffer[kVeltrixTextSize + 1] = {};
    DWORD size = kVeltrixTextSize;
    if (!key.ReadRaw(name, nullptr, buffer, &size))
        return false;
    text = buffer;
    return true;
}

std::string TrimBlanks(const std::string &text)
{
    const char kBlanks[] = " \t";
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The pieces between commas, a piece after a final comma dropped. Pieces that are empty after
// trimming are left out: a route without a destination cannot be written to the file.
std::vector<std::string> SplitAtCommas(const std::string &text)
{
    std::vector<std::string> pieces;
    for (size_t start = 0; start < text.size();) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string piece = TrimBlanks(text.substr(start, comma - start));
        if (!piece.empty())
            pieces.push_back(piece);
        start = comma + 1;
    }
    return pieces;
}

}

int ClientSettings::Load()
{
    RegistryKey key;
    if (OpenClientKey(key)) {
        key.ReadString(XR_VALUE_APPLICATION_FILE, applicationFile);
        key.ReadString(XR_VALUE_CLIENT_LIBRARY_FILE, configFile);
        ReadNumber(key, XR_VALUE_ENABLE_DNS_PROXY, dnsMode);
        key.ReadString(XR_VALUE_REMOTE_DNS_DOMAINS, remoteDns);
        key.ReadString(XR_VALUE_LOCAL_DNS_DOMAINS, localDns);
        key.Close();
    }
    if (!configFile.empty())
        ReadServers(configFile.c_str());
    if (!applicationFile.empty())
        ReadApplicationLists(applicationFile.c_str());
    if (servers.empty() && includeList.empty() && excludeList.empty() && systemList.empty())
        TakeOverVeltrix();
    return 0;
}

int ClientSettings::SaveDns()
{
    RegistryKey key;
    if (!OpenClientKey(key))
        return -1;
    key.WriteNumber(XR_VALUE_ENABLE_DNS_PROXY, dnsMode);
    key.WriteString(XR_VALUE_REMOTE_DNS_DOMAINS, remoteDns);
    key.WriteString(XR_VALUE_LOCAL_DNS_DOMAINS, localDns);
    return 0;
}

int ClientSettings::SavePendingChanges()
{
    if (dnsChanged)
        SaveDns();
    if (serversChanged)
        SaveServers(configFile.c_str());
    if (applicationsChanged)
        SaveApplicationLists(applicationFile.c_str());
    serversChanged = applicationsChanged = dnsChanged = 0;
    return 0;
}

int ClientSettings::TakeOverVeltrix()
{
    RegistryKey connections, protocol, profiles;
    if (!connections.Open(HKEY_CURRENT_USER, XR_VELTRIX_CONNECTIONS_KEY, KEY_READ)
        || !protocol.Open(HKEY_CURRENT_USER, XR_VELTRIX_PROTOCOL_KEY, KEY_READ)
        || !profiles.Open(HKEY_CURRENT_USER, XR_VELTRIX_APPPROFILES_KEY, KEY_READ))
        return -1;
    lastError = 0;
    serversChanged = applicationsChanged = dnsChanged = 1;
    // What was taken before a failed read stays.
    auto failed = [this](const RegistryKey &key) {
        lastError = static_cast<DWORD>(key.LastError());
        return -1;
    };

    std::string direct;
    if (!ReadVeltrixText(connections, XR_VELTRIX_DIRECT_CONNECTIONS, direct))
        return failed(connections);
    for (const std::string &destination : SplitAtCommas(direct))
        servers.push_back(RouteEntry::DirectRoute(destination, "-"));

    // The default route follows the direct routes.
    std::string host;
    DWORD port = 0, version = 0, resolveType = 0;
    if (!ReadVeltrixText(connections, XR_VELTRIX_SOCKS_SERVER, host)
        || !connections.ReadNumber(XR_VELTRIX_SOCKS_PORT, port))
        return failed(connections);
    if (!protocol.ReadNumber(XR_VELTRIX_SOCKS_VERSION, version))
        return failed(protocol);
    servers.push_back(
        RouteEntry::ServerRoute(host, std::to_string(port), static_cast<int>(version), "-", "-"));

    if (!protocol.ReadNumber(XR_VELTRIX_RESOLVE_TYPE, resolveType))
        return failed(protocol);
    dnsMode = resolveType < 2 ? kDnsModeByResolveType[resolveType] : 1;

    // Profiles that cannot be opened or have no command path are skipped.
    StringArray names;
    profiles.ListSubKeys(names);
    for (const std::string &name : names) {
        RegistryKey profile;
        std::string path;
        if (profile.Open(profiles.Handle(), name.c_str(), KEY_READ)
            && ReadVeltrixText(profile, XR_VELTRIX_COMMAND_PATH, path))
            includeList.push_back(path);
    }
    return 0;
}
