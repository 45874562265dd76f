#include "ProviderInstaller.h"

#include <rpc.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

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

/* What of the catalog is ours: the entries under our provider GUID, the first of them (the
 * layered entry) in full, and the path of the library our chains load, empty when not known. */
struct Ours {
    std::vector<DWORD> ids;
    WSAPROTOCOL_INFOW layered;
    WCHAR library[MAX_PATH];
};

const WCHAR *FileName(const WCHAR *path)
{
    const WCHAR *name = path;
    for (const WCHAR *at = path; *at; at++)
        if (*at == L'\\' || *at == L'/' || *at == L':')
            name = at + 1;
    return name;
}

/* The library the catalog loads for a provider; empty when it cannot say. */
void ProviderLibrary(GUID providerId, WCHAR (&path)[MAX_PATH])
{
    int length = MAX_PATH;
    int error;
    if (WscCatalogCurrent()->GetProviderPath(&providerId, path, &length, &error) != 0)
        path[0] = L'\0';
    path[MAX_PATH - 1] = L'\0';
}

/* By file name: the full path changes when the product moves to another folder. */
bool LoadsLibrary(const WSAPROTOCOL_INFOW &entry, const WCHAR *library)
{
    if (!*library)
        return false;
    WCHAR path[MAX_PATH];
    ProviderLibrary(entry.ProviderId, path);
    return _wcsicmp(FileName(path), FileName(library)) == 0;
}

bool NamesId(const WSAPROTOCOL_INFOW &entry, DWORD catalogId)
{
    int length = std::min<int>(entry.ProtocolChain.ChainLen, MAX_PROTOCOL_CHAIN);
    for (int link = 0; link < length; link++)
        if (entry.ProtocolChain.ChainEntries[link] == catalogId)
            return true;
    return false;
}

bool NamesOurs(const Ours &ours, const WSAPROTOCOL_INFOW &entry)
{
    for (DWORD id : ours.ids)
        if (NamesId(entry, id))
            return true;
    return false;
}

/* A chain is ours when one of our entries is at its top, or when the catalog loads our library
 * for it: a chain left behind by an earlier layered entry of ours names an id that is gone. A
 * chain that has our layered entry only further down belongs to a provider stacked over ours. */
bool IsOurChain(const Ours &ours, const WSAPROTOCOL_INFOW &entry)
{
    const WSAPROTOCOLCHAIN &chain = entry.ProtocolChain;
    return chain.ChainLen > 1 &&
           (std::find(ours.ids.begin(), ours.ids.end(), chain.ChainEntries[0]) != ours.ids.end() ||
            LoadsLibrary(entry, ours.library));
}

/* The catalog's ids in catalog order, from the snapshot. */
std::vector<DWORD> OrderedIds(ProtoCatalog *catalog)
{
    std::vector<DWORD> ids(catalog->CatalogIds(nullptr, 0));
    ids.resize(catalog->CatalogIds(ids.data(), static_cast<int>(ids.size())));
    return ids;
}

/* Ours in a new snapshot. library: the path our chains load; null to ask the catalog for the
 * layered entry's (none when there is no layered entry). */
Ours FindOurs(const WCHAR *library)
{
    ProtoCatalog *catalog = ProtoCatalog::Get();
    catalog->Reload();
    Ours ours = {};
    for (DWORD id : OrderedIds(catalog)) {
        WSAPROTOCOL_INFOW entry;
        if (!catalog->FindById(id, &entry) || !IsEqualGUID(entry.ProviderId, kProviderId))
            continue;
        if (ours.ids.empty())
            ours.layered = entry;
        ours.ids.push_back(id);
    }
    if (library)
        wcsncpy(ours.library, library, MAX_PATH - 1);
    else if (!ours.ids.empty())
        ProviderLibrary(kProviderId, ours.library);
    return ours;
}

enum class Cleared { All, InUse, Failed };

/* Removes our chains; once a removal failed, the rest are skipped. Then our layered entry,
 * unless a removal failed or another provider's chain still names it: that chain would be left
 * broken for good, as nothing of ours can put it back. user: that chain. The snapshot is not
 * reloaded on the way. */
Cleared ClearOurs(const Ours &ours, WSAPROTOCOL_INFOW *user)
{
    ProtoCatalog *catalog = ProtoCatalog::Get();
    int removed = 0;
    bool failed = false;
    bool inUse = false;
    for (DWORD id : OrderedIds(catalog)) {
        WSAPROTOCOL_INFOW entry;
        if (!catalog->FindById(id, &entry) || entry.ProtocolChain.ChainLen <= 1)
            continue;
        if (!IsOurChain(ours, entry)) {
            if (!inUse && NamesOurs(ours, entry)) {
                *user = entry;
                inUse = true;
            }
            continue;
        }
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
    if (failed) {
        Say("Some protocol chain failed to be removed, removed count. %d\n", removed);
        return Cleared::Failed;
    }
    if (inUse)
        return Cleared::InUse;
    if (ours.ids.empty())
        return Cleared::All;
    GUID providerId = kProviderId;
    int error;
    if (WscCatalogCurrent()->DeinstallProvider(&providerId, &error) == SOCKET_ERROR) {
        Say("Failed to remove Layered provider: %d\n", error);
        return Cleared::Failed;
    }
    Say("Removing Layered provider: %s\n", WscShowName(ours.layered.szProtocol).text);
    return Cleared::All;
}

/* The layered entry's object; null when the snapshot does not show it. */
ServiceProvider *LayeredProvider(WSAPROTOCOL_INFOW *installed)
{
    ProtoCatalog *catalog = ProtoCatalog::Get();
    catalog->Reload();
    return catalog->FindByGuid(kProviderId, installed)
               ? catalog->Provider(installed->dwCatalogEntryId)
               : nullptr;
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
    WSAPROTOCOL_INFOW installed;
    ServiceProvider *layer = LayeredProvider(&installed);
    Say("Created Layer provider %s\n", WscShowName(layer ? installed.szProtocol : nullptr).text);
    return layer;
}

/* A layered entry that another provider's chain names stays, and so keeps its id. */
ServiceProvider *KeepLayered()
{
    WSAPROTOCOL_INFOW kept;
    ServiceProvider *layer = LayeredProvider(&kept);
    Say("Keeping Layer provider %s\n", WscShowName(layer ? kept.szProtocol : nullptr).text);
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

/* Writes the catalog order with every chain through the layered entry first: ours, and those
 * of providers stacked over ours, which stay ahead of ours as their installer put them. Each
 * group keeps the order it had. Whether the catalog takes it is not looked at. */
void MoveChainsFirst(DWORD layeredId)
{
    ProtoCatalog *catalog = ProtoCatalog::Get();
    std::vector<DWORD> ids = OrderedIds(catalog);
    std::stable_partition(ids.begin(), ids.end(), [catalog, layeredId](DWORD id) {
        WSAPROTOCOL_INFOW entry;
        return catalog->FindById(id, &entry) && entry.ProtocolChain.ChainLen > 1 &&
               NamesId(entry, layeredId);
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

/* Whatever an earlier run left of ours goes first, so that an install over a half-installed
 * catalog ends like one into a clean catalog. */
bool InstallLayeredAndChains(const char *prefix, const char *path)
{
    WCHAR widePath[MAX_PATH];
    if (!WscToWide(path, widePath, MAX_PATH))
        return false;
    WSAPROTOCOL_INFOW user;
    switch (ClearOurs(FindOurs(widePath), &user)) {
    case Cleared::Failed:
        return false;
    case Cleared::InUse:
        return CreateChains(prefix, KeepLayered(), widePath);
    case Cleared::All:
        break;
    }
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

/* True when nothing of ours is left. Without the layered entry there is no telling which
 * library our chains load; the next install clears what is left of them. */
bool RemoveLayeredAndChains()
{
    Ours ours = FindOurs(nullptr);
    if (ours.ids.empty()) {
        Say("Failed to locate Layered Provider for chain info: %s\n",
            WscShowGuid(&kProviderId).text);
        Say("Some protocol chain failed to be removed, removed count. %d\n", 0);
        return false;
    }
    WSAPROTOCOL_INFOW user;
    Cleared cleared = ClearOurs(ours, &user);
    if (cleared == Cleared::InUse)
        Say("Layered provider in use, not removed: %s\n", WscShowName(user.szProtocol).text);
    return cleared == Cleared::All;
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
    return (selection & kSelectLayered) && RemoveLayeredAndChains();
}
