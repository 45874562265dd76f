#include "ProviderInstaller.h"

#include <rpc.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "WscCatalog.h"
#include "WscText.h"

namespace {

/* Identifies both the layered entry and the name-space provider. */
const GUID kProviderId = {0xc07615a0, 0xc5ba, 0x11d1, {0x80, 0x63, 0x00, 0x60, 0x08, 0x31, 0x7c, 0xef}};
const char kNameSpaceName[] = "Varo Ferrowin NameSpace Provider";
const DWORD kNameSpaceVersion = 5;

const int kSelectLayered = 1;
const int kSelectNameSpace = 2;

int Selection(const char *selector)
{
    if (!selector)
        return 0;
    if (_stricmp(selector, "spi") == 0)
        return kSelectLayered;
    if (_stricmp(selector, "npi") == 0)
        return kSelectNameSpace;
    if (_stricmp(selector, "all") == 0)
        return kSelectLayered | kSelectNameSpace;
    return 0;
}

void Say(const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

void Say(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

/* The record's name from a narrow text, cut to the field. */
bool SetProtocolName(WSAPROTOCOL_INFOW &entry, const char *name)
{
    WCHAR wide[MAX_PATH];
    if (!WscToWide(name, wide, MAX_PATH))
        return false;
    wcsncpy(entry.szProtocol, wide, WSAPROTOCOL_LEN);
    entry.szProtocol[WSAPROTOCOL_LEN] = L'\0';
    return true;
}

ServiceProvider *InstallLayered(const char *prefix, const WCHAR *path)
{
    WSAPROTOCOL_INFOW entry;
    memset(&entry, 0, sizeof entry);
    entry.dwProviderFlags = PFL_HIDDEN;
    entry.ProviderId = kProviderId;
    entry.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    entry.iAddressFamily = AF_INET;
    entry.iMaxSockAddr = 16;
    entry.iMinSockAddr = 16;
    entry.iSocketType = SOCK_STREAM;
    entry.iProtocol = IPPROTO_TCP;
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%sLayered Service Provider", prefix);
    SetProtocolName(entry, name);

    GUID providerId = kProviderId;
    int error;
    if (WscCatalogCurrent()->InstallProvider(&providerId, path, &entry, 1, &error) ==
        SOCKET_ERROR) {
        Say("Failed to create layered provider.\n");
        return nullptr;
    }
    ProtoCatalog *catalog = ProtoCatalog::Get();
    catalog->Reload();
    WSAPROTOCOL_INFOW installed;
    bool found = catalog->FindByGuid(kProviderId, &installed);
    ServiceProvider *layer = found ? catalog->Provider(installed.dwCatalogEntryId) : nullptr;
    Say("Created Layer provider %s\n", WscShowName(found ? installed.szProtocol : nullptr).text);
    return layer;
}

/* The prefix and the base entry's name in the ANSI code page, at most 259 characters. */
bool ChainName(const char *prefix, const WSAPROTOCOL_INFOW &base, char (&name)[MAX_PATH])
{
    char baseName[2 * (WSAPROTOCOL_LEN + 1)];
    if (!WscToNarrow(base.szProtocol, baseName, sizeof baseName))
        return false;
    snprintf(name, sizeof name, "%s%s", prefix, baseName);
    return true;
}

/* Installs a chain of the layered entry over base under a new GUID of its own. */
bool CreateChain(WSAPROTOCOL_INFOW entry, const char *name, DWORD layeredId, const WCHAR *path)
{
    GUID chainId;
    if (UuidCreate(&chainId) == RPC_S_UUID_NO_ADDRESS || !SetProtocolName(entry, name))
        return false;
    entry.ProviderId = chainId;
    entry.ProtocolChain.ChainLen = 2;
    entry.ProtocolChain.ChainEntries[0] = layeredId;
    entry.ProtocolChain.ChainEntries[1] = entry.dwCatalogEntryId;
    int error;
    if (WscCatalogCurrent()->InstallProvider(&chainId, path, &entry, 1, &error) == SOCKET_ERROR)
        return false;
    ProtoCatalog *catalog = ProtoCatalog::Get();
    catalog->Reload();
    WSAPROTOCOL_INFOW installed;
    return catalog->FindByGuid(chainId, &installed) &&
           catalog->Chain(installed.dwCatalogEntryId) != nullptr;
}

/* Writes the catalog order with the layered entry's chains first, each group in the order it
 * had. Whether the catalog takes it is not looked at. */
void MoveChainsFirst(DWORD layeredId)
{
    ProtoCatalog *catalog = ProtoCatalog::Get();
    std::vector<DWORD> ids(catalog->CatalogIds(nullptr, 0));
    catalog->CatalogIds(ids.data(), static_cast<int>(ids.size()));
    std::stable_partition(ids.begin(), ids.end(), [catalog, layeredId](DWORD id) {
        WSAPROTOCOL_INFOW entry;
        return catalog->FindById(id, &entry) && entry.ProtocolChain.ChainLen > 1 &&
               entry.ProtocolChain.ChainEntries[0] == layeredId;
    });
    catalog->WriteOrder(ids.data(), static_cast<int>(ids.size()));
}

bool CreateChains(const char *prefix, ServiceProvider *layer, const WCHAR *path)
{
    if (!layer || !path || !*path)
        return false;
    ProtoCatalog *catalog = ProtoCatalog::Get();
    std::vector<ServiceProvider *> bases(catalog->BaseProviders(nullptr, 0));
    catalog->BaseProviders(bases.data(), static_cast<int>(bases.size()));
    for (ServiceProvider *base : bases) {
        WSAPROTOCOL_INFOW entry;
        if (!base || !base->Entry(&entry) ||
            (entry.iAddressFamily != AF_UNIX && entry.iAddressFamily != AF_INET))
            continue;
        char name[MAX_PATH];
        if (!ChainName(prefix, entry, name) ||
            !CreateChain(entry, name, layer->CatalogId(), path)) {
            Say("Failed to create proto chain.");
            return false;
        }
        Say("Creating protocal chain %s\n", name);
    }
    MoveChainsFirst(layer->CatalogId());
    return true;
}

bool InstallLayeredAndChains(const char *prefix, const char *path)
{
    WCHAR widePath[MAX_PATH];
    if (!WscToWide(path, widePath, MAX_PATH))
        return false;
    return CreateChains(prefix, InstallLayered(prefix, widePath), widePath);
}

bool InstallNameSpace(const char *path)
{
    WCHAR widePath[MAX_PATH];
    WCHAR identifier[sizeof kNameSpaceName];
    GUID providerId = kProviderId;
    if (!WscToWide(path, widePath, MAX_PATH) ||
        !WscToWide(kNameSpaceName, identifier, sizeof kNameSpaceName) ||
        WscCatalogCurrent()->InstallNameSpace(identifier, widePath, NS_DNS, kNameSpaceVersion,
                                              &providerId) == SOCKET_ERROR)
        return false;
    Say("Creating namespace provider: %s\n", kNameSpaceName);
    return true;
}

void RemoveNameSpace()
{
    GUID providerId = kProviderId;
    if (WscCatalogCurrent()->UnInstallNameSpace(&providerId) == SOCKET_ERROR)
        Say("Failed to remove namespace provider: %s\n", kNameSpaceName);
    else
        Say("Removing namespace provider: %s\n", kNameSpaceName);
}

bool ChainHoldsLayer(const WSAPROTOCOL_INFOW &entry, DWORD layeredId)
{
    int length = std::min<int>(entry.ProtocolChain.ChainLen, MAX_PROTOCOL_CHAIN);
    for (int link = length - 1; link >= 0; link--)
        if (entry.ProtocolChain.ChainEntries[link] == layeredId)
            return true;
    return false;
}

/* Removes the chains over the layered entry; once a removal failed, the rest are skipped.
 * Returns how many were removed. The snapshot is not reloaded on the way. */
int RemoveChains()
{
    ProtoCatalog *catalog = ProtoCatalog::Get();
    WSAPROTOCOL_INFOW layered;
    if (!catalog->FindByGuid(kProviderId, &layered)) {
        Say("Failed to locate Layered Provider for chain info: %s\n",
            WscShowGuid(&kProviderId).text);
        return 0;
    }
    std::vector<DWORD> ids(catalog->CatalogIds(nullptr, 0));
    catalog->CatalogIds(ids.data(), static_cast<int>(ids.size()));
    int removed = 0;
    bool failed = false;
    for (DWORD id : ids) {
        WSAPROTOCOL_INFOW entry;
        if (!catalog->FindById(id, &entry) || entry.ProtocolChain.ChainLen <= 1 ||
            !ChainHoldsLayer(entry, layered.dwCatalogEntryId))
            continue;
        WscShown name = WscShowName(entry.szProtocol);
        int error;
        if (failed) {
            Say("Previous attempt failed, skipping chain: %s\n", name.text);
        } else if (WscCatalogCurrent()->DeinstallProvider(&entry.ProviderId, &error) == 0) {
            removed++;
            Say("Removing protocol chain: %s\n", name.text);
        } else {
            Say("Failed to remove protocol chain: %s, %d\n", name.text, error);
            failed = true;
        }
    }
    return removed;
}

bool RemoveLayered()
{
    WSAPROTOCOL_INFOW layered;
    if (!ProtoCatalog::Get()->FindByGuid(kProviderId, &layered)) {
        Say("Layered provider was not installed: %s", WscShowGuid(&kProviderId).text);
        return false;
    }
    GUID providerId = kProviderId;
    int error;
    if (WscCatalogCurrent()->DeinstallProvider(&providerId, &error) == SOCKET_ERROR) {
        Say("Failed to remove Layered provider: %d\n", error);
        return false;
    }
    Say("Removing Layered provider: %s\n", WscShowName(layered.szProtocol).text);
    return true;
}

} // namespace

bool InstallProviders(const char *prefix, const char *selector, const char *path)
{
    int selection = Selection(selector);
    if ((selection & kSelectLayered) && !InstallLayeredAndChains(prefix, path))
        return false;
    if (selection & kSelectNameSpace)
        return InstallNameSpace(path);
    return false;
}

bool RemoveProviders(const char *selector)
{
    int selection = Selection(selector);
    if (selection & kSelectNameSpace)
        RemoveNameSpace();
    if (!(selection & kSelectLayered))
        return false;
    int removed = RemoveChains();
    if (removed < 1) {
        Say("Some protocol chain failed to be removed, removed count. %d\n", removed);
        return false;
    }
    return RemoveLayered();
}
