#include "support.h"

#include <rpc.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "WscText.h"

TempDir::TempDir()
{
    static int created;
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    m_path = std::string(base) + "xrmgr-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(++created) + "\\";
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadBytes(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string &path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

bool KeyExists(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool KeyEmpty(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 1;
    DWORD values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return subkeys == 0 && values == 0;
}

} // namespace

KeyTrail::KeyTrail(HKEY root, const std::string &path) : m_root(root)
{
    for (size_t end = 0; end != std::string::npos;) {
        end = path.find('\\', end + 1);
        std::string prefix = path.substr(0, end);
        if (!KeyExists(root, prefix))
            m_created.insert(m_created.begin(), prefix);
    }
}

KeyTrail::~KeyTrail()
{
    for (const std::string &path : m_created)
        if (KeyEmpty(m_root, path))
            RegDeleteKeyA(m_root, path.c_str());
}

ScopedRegValue::ScopedRegValue(HKEY root, const std::string &path, const char *name, DWORD type,
                               const void *data, DWORD size)
    : m_trail(root, path), m_root(root), m_path(path), m_name(name)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
}

ScopedRegValue::ScopedRegValue(HKEY root, const std::string &path, const char *name,
                               DWORD number)
    : ScopedRegValue(root, path, name, REG_DWORD, &number, sizeof number)
{
}

ScopedRegValue::ScopedRegValue(HKEY root, const std::string &path, const char *name,
                               const char *text)
    : ScopedRegValue(root, path, name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1))
{
}

ScopedRegValue::~ScopedRegValue()
{
    HKEY key;
    if (RegOpenKeyExA(m_root, m_path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, m_name.c_str());
    RegCloseKey(key);
}

ScopedEnv::ScopedEnv(const char *name, const char *value) : m_name(name)
{
    char saved[1024];
    DWORD length = GetEnvironmentVariableA(name, saved, sizeof saved);
    m_hadValue = length > 0 && length < sizeof saved;
    if (m_hadValue)
        m_saved = saved;
    SetEnvironmentVariableA(name, value);
}

ScopedEnv::~ScopedEnv()
{
    SetEnvironmentVariableA(m_name.c_str(), m_hadValue ? m_saved.c_str() : nullptr);
}

namespace {

DWORD AddEntry(MemoryCatalog &catalog, WSAPROTOCOL_INFOW entry, const wchar_t *name,
               const wchar_t *library)
{
    wcsncpy(entry.szProtocol, name, WSAPROTOCOL_LEN);
    entry.szProtocol[WSAPROTOCOL_LEN] = L'\0';
    UuidCreate(&entry.ProviderId);
    int error;
    if (catalog.InstallProvider(&entry.ProviderId, library, &entry, 1, &error) != 0)
        return 0;
    for (const WSAPROTOCOL_INFOW &installed : CatalogEntries(catalog))
        if (IsEqualGUID(installed.ProviderId, entry.ProviderId))
            return installed.dwCatalogEntryId;
    return 0;
}

} // namespace

DWORD AddBaseEntry(MemoryCatalog &catalog, const wchar_t *name, int family, int type,
                   int protocol)
{
    WSAPROTOCOL_INFOW entry = {};
    entry.dwServiceFlags1 = XP1_GUARANTEED_DELIVERY | XP1_GUARANTEED_ORDER;
    entry.ProtocolChain.ChainLen = BASE_PROTOCOL;
    entry.iVersion = 2;
    entry.iAddressFamily = family;
    entry.iMaxSockAddr = family == AF_INET ? 16 : 28;
    entry.iMinSockAddr = family == AF_INET ? 16 : 28;
    entry.iSocketType = type;
    entry.iProtocol = protocol;
    return AddEntry(catalog, entry, name, L"C:\\windows\\system32\\basetcp.dll");
}

DWORD AddLayeredEntry(MemoryCatalog &catalog, const wchar_t *name, const wchar_t *library)
{
    WSAPROTOCOL_INFOW entry = {};
    entry.dwProviderFlags = PFL_HIDDEN;
    entry.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    entry.iAddressFamily = AF_INET;
    entry.iMaxSockAddr = 16;
    entry.iMinSockAddr = 16;
    entry.iSocketType = SOCK_STREAM;
    entry.iProtocol = IPPROTO_TCP;
    return AddEntry(catalog, entry, name, library);
}

DWORD AddChainEntry(MemoryCatalog &catalog, const wchar_t *name, const std::vector<DWORD> &links,
                    const wchar_t *library)
{
    WSAPROTOCOL_INFOW entry = {};
    for (const WSAPROTOCOL_INFOW &installed : CatalogEntries(catalog))
        if (!links.empty() && installed.dwCatalogEntryId == links.back())
            entry = installed;
    entry.ProtocolChain.ChainLen = static_cast<int>(links.size());
    for (size_t link = 0; link < links.size() && link < MAX_PROTOCOL_CHAIN; link++)
        entry.ProtocolChain.ChainEntries[link] = links[link];
    return AddEntry(catalog, entry, name, library);
}

void PutFirst(MemoryCatalog &catalog, const std::vector<DWORD> &ids)
{
    std::vector<DWORD> order = ids;
    for (const WSAPROTOCOL_INFOW &entry : CatalogEntries(catalog))
        if (std::find(ids.begin(), ids.end(), entry.dwCatalogEntryId) == ids.end())
            order.push_back(entry.dwCatalogEntryId);
    catalog.WriteProviderOrder(order.data(), static_cast<DWORD>(order.size()));
}

const char kInstallOutput[] = "Created Layer provider Varo Ferrowin Layered Service Provider\n"
                              "Creating protocal chain Varo Ferrowin Tcpip [TCP/IP]\n"
                              "Creating protocal chain Varo Ferrowin Tcpip [UDP/IP]\n";
const char kRemoveOutput[] = "Removing protocol chain: Varo Ferrowin Tcpip [TCP/IP]\n"
                             "Removing protocol chain: Varo Ferrowin Tcpip [UDP/IP]\n"
                             "Removing Layered provider: Varo Ferrowin Layered Service Provider\n";

void AddTcpIpBases(MemoryCatalog &catalog)
{
    AddBaseEntry(catalog, L"Tcpip [TCP/IP]", AF_INET, SOCK_STREAM, IPPROTO_TCP);
    AddBaseEntry(catalog, L"Tcpip [UDP/IP]", AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    AddBaseEntry(catalog, L"Tcpip [TCP/IPv6]", 23, SOCK_STREAM, IPPROTO_TCP);
}

std::vector<WSAPROTOCOL_INFOW> CatalogEntries(MemoryCatalog &catalog)
{
    DWORD length = 0;
    int error;
    catalog.EnumProtocols(nullptr, &length, &error);
    std::vector<WSAPROTOCOL_INFOW> entries(length / sizeof(WSAPROTOCOL_INFOW));
    int count = catalog.EnumProtocols(entries.data(), &length, &error);
    entries.resize(count > 0 ? count : 0);
    return entries;
}

std::string EntryName(const WSAPROTOCOL_INFOW &entry)
{
    return WscShowName(entry.szProtocol).text;
}
