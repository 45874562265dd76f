#include "ProtoCatalog.h"

#include <stdint.h>
#include <stdlib.h>

#include "LockHold.h"
#include "WscCatalog.h"
#include "WscText.h"
#include "ws2log.h"

CRITICAL_SECTION ProtoCatalog::m_Crit;
ProtoCatalog *ProtoCatalog::s_catalog = nullptr;

namespace {

unsigned Address(const void *object)
{
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(object));
}

WscShown EntryName(ProtoCatalog *catalog, DWORD catalogId)
{
    WSAPROTOCOL_INFOW entry;
    return WscShowName(catalog->FindById(catalogId, &entry) ? entry.szProtocol : nullptr);
}

/* Destroys the objects of a map; a slot left empty by a lookup of a missing id is reported. */
template <typename T> void DestroyAll(std::map<DWORD, T *> &objects, const char *emptySlot)
{
    for (auto &slot : objects) {
        if (slot.second)
            delete slot.second;
        else
            XrWs2Log(3, "%s", emptySlot);
    }
    objects.clear();
}

} // namespace

ServiceProvider::ServiceProvider(ProtoCatalog *catalog, DWORD catalogId)
    : m_catalog(catalog), m_catalogId(catalogId)
{
    InitializeCriticalSection(&m_Crit);
    XrWs2Log(1, "   Initialize ServiceProvider::m_Crit, %x.\n", Address(this));
    XrWs2Log(3, "   Attaching to service provider 0x%x. %s\n", static_cast<unsigned>(catalogId),
             EntryName(catalog, catalogId).text);
}

ServiceProvider::~ServiceProvider()
{
    XrWs2Log(3, "   Detaching to service provider 0x%x. %s\n", static_cast<unsigned>(m_catalogId),
             EntryName(m_catalog, m_catalogId).text);
    DeleteCriticalSection(&m_Crit);
    XrWs2Log(1, "   Delete ServiceProvider::m_Crit, %x.\n", Address(this));
}

bool ServiceProvider::Entry(WSAPROTOCOL_INFOW *entry)
{
    LockHold hold(&m_Crit);
    return m_catalog->FindById(m_catalogId, entry);
}

ProtoChain::ProtoChain(ProtoCatalog *catalog, DWORD catalogId)
    : m_catalog(catalog), m_catalogId(catalogId)
{
    InitializeCriticalSection(&m_Crit);
    XrWs2Log(4, "   Initialize ProtoChain::m_Crit, %x.\n", Address(&m_Crit));
    XrWs2Log(3, "   Attaching to protocol chain 0x%x. %s\n", static_cast<unsigned>(catalogId),
             EntryName(catalog, catalogId).text);
}

ProtoChain::~ProtoChain()
{
    XrWs2Log(3, "   Detaching to protocol chain 0x%x, %s.\n", static_cast<unsigned>(m_catalogId),
             EntryName(m_catalog, m_catalogId).text);
    DeleteCriticalSection(&m_Crit);
    XrWs2Log(4, "   Delete ProtoChain::m_Crit, %x.\n", Address(&m_Crit));
}

void ProtoCatalog::CreateLock()
{
    InitializeCriticalSection(&m_Crit);
}

void ProtoCatalog::DeleteLock()
{
    DeleteCriticalSection(&m_Crit);
}

ProtoCatalog *ProtoCatalog::Get()
{
    LockHold hold(&m_Crit);
    if (!s_catalog)
        s_catalog = new ProtoCatalog;
    return s_catalog;
}

void ProtoCatalog::Release()
{
    LockHold hold(&m_Crit);
    delete s_catalog;
    s_catalog = nullptr;
}

ProtoCatalog::ProtoCatalog()
{
    XrWs2Log(3, "   Create protocol chain instance, %x\n", Address(this));
}

ProtoCatalog::~ProtoCatalog()
{
    DestroyAll(m_providers, "   Invalid entry in provider map\n");
    DestroyAll(m_chains, "   Invalid entry in protocol chain map\n");
    free(m_entries);
    XrWs2Log(4, "   Delete ProtoCatalog::m_Crit, %x.\n", Address(&m_Crit));
}

void ProtoCatalog::Reload()
{
    LockHold hold(&m_Crit);
    free(m_entries);
    m_count = -1;
    WscCatalog *catalog = WscCatalogCurrent();
    DWORD length = 0;
    int error = 0;
    catalog->EnumProtocols(nullptr, &length, &error);
    m_entries = static_cast<WSAPROTOCOL_INFOW *>(malloc(length > 0 ? length : 1));
    if (!m_entries)
        return;
    m_count = catalog->EnumProtocols(m_entries, &length, &error);
    if (m_count == SOCKET_ERROR) {
        free(m_entries);
        m_entries = nullptr;
        m_count = -1;
    }
}

const WSAPROTOCOL_INFOW *ProtoCatalog::Snapshot(int *count)
{
    if (m_count < 0)
        Reload();
    *count = m_count;
    return m_entries;
}

template <typename Match> bool ProtoCatalog::Find(WSAPROTOCOL_INFOW *entry, Match match)
{
    LockHold hold(&m_Crit);
    int count;
    const WSAPROTOCOL_INFOW *entries = Snapshot(&count);
    for (int i = 0; i < count; i++) {
        if (match(entries[i])) {
            *entry = entries[i];
            return true;
        }
    }
    return false;
}

bool ProtoCatalog::FindById(DWORD catalogId, WSAPROTOCOL_INFOW *entry)
{
    return Find(entry, [catalogId](const WSAPROTOCOL_INFOW &candidate) {
        return candidate.dwCatalogEntryId == catalogId;
    });
}

bool ProtoCatalog::FindByGuid(const GUID &providerId, WSAPROTOCOL_INFOW *entry)
{
    return Find(entry, [&providerId](const WSAPROTOCOL_INFOW &candidate) {
        return IsEqualGUID(candidate.ProviderId, providerId) != 0;
    });
}

template <typename T> T *ProtoCatalog::Object(std::map<DWORD, T *> &objects, DWORD catalogId)
{
    LockHold hold(&m_Crit);
    T *&slot = objects[catalogId];
    WSAPROTOCOL_INFOW entry;
    if (!slot && FindById(catalogId, &entry))
        slot = new T(this, catalogId);
    return slot;
}

ServiceProvider *ProtoCatalog::Provider(DWORD catalogId)
{
    return Object(m_providers, catalogId);
}

ProtoChain *ProtoCatalog::Chain(DWORD catalogId)
{
    return Object(m_chains, catalogId);
}

int ProtoCatalog::BaseProviders(ServiceProvider **list, int size)
{
    LockHold hold(&m_Crit);
    int count;
    const WSAPROTOCOL_INFOW *entries = Snapshot(&count);
    int found = 0;
    for (int i = 0; i < count; i++) {
        if (entries[i].ProtocolChain.ChainLen != BASE_PROTOCOL)
            continue;
        if (list && found < size)
            list[found] = Provider(entries[i].dwCatalogEntryId);
        found++;
    }
    return found;
}

int ProtoCatalog::CatalogIds(DWORD *ids, int size)
{
    LockHold hold(&m_Crit);
    int count;
    const WSAPROTOCOL_INFOW *entries = Snapshot(&count);
    for (int i = 0; ids && i < count && i < size; i++)
        ids[i] = entries[i].dwCatalogEntryId;
    return count > 0 ? count : 0;
}

bool ProtoCatalog::WriteOrder(DWORD *ids, int count)
{
    LockHold hold(&m_Crit);
    return WscCatalogCurrent()->WriteProviderOrder(ids, static_cast<DWORD>(count)) == 0;
}
