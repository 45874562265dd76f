/* The installer's view of the Winsock catalog during one install or remove run: a snapshot of
 * the entries in catalog order, and one object per entry it touches (base and layered entries
 * as ServiceProvider, chain entries as ProtoChain).
 *
 * One process-wide ProtoCatalog is created on first use and destroyed at the end of the run.
 * The catalog lock (ProtoCatalog::m_Crit) guards the pointer, the snapshot and the maps; it is
 * created before a run and deleted after it. An object's own lock is taken before the catalog
 * lock when both are needed. */
#ifndef XRCREDMGR_PROTOCATALOG_H
#define XRCREDMGR_PROTOCATALOG_H

#include <winsock2.h>
#include <ws2spi.h>

#include <map>

class ProtoCatalog;

/* One catalog entry. Its record is looked up in the current snapshot whenever it is needed. */
class ServiceProvider {
public:
    ServiceProvider(ProtoCatalog *catalog, DWORD catalogId);
    ~ServiceProvider();
    ServiceProvider(const ServiceProvider &) = delete;
    ServiceProvider &operator=(const ServiceProvider &) = delete;

    DWORD CatalogId() const { return m_catalogId; }
    /* A copy of the entry's record; false when the snapshot does not hold it. */
    bool Entry(WSAPROTOCOL_INFOW *entry);

private:
    CRITICAL_SECTION m_Crit;
    ProtoCatalog *m_catalog;
    DWORD m_catalogId;
};

/* One protocol chain entry. */
class ProtoChain {
public:
    ProtoChain(ProtoCatalog *catalog, DWORD catalogId);
    ~ProtoChain();
    ProtoChain(const ProtoChain &) = delete;
    ProtoChain &operator=(const ProtoChain &) = delete;

private:
    CRITICAL_SECTION m_Crit;
    ProtoCatalog *m_catalog;
    DWORD m_catalogId;
};

class ProtoCatalog {
public:
    static void CreateLock();
    static void DeleteLock();
    /* The process-wide object, created on first use. */
    static ProtoCatalog *Get();
    /* Destroys the process-wide object with every object in its maps. */
    static void Release();

    /* Takes a new snapshot; a failed enumeration leaves none (the next use tries again). */
    void Reload();
    /* Copies of a snapshot record; false when there is none. */
    bool FindById(DWORD catalogId, WSAPROTOCOL_INFOW *entry);
    bool FindByGuid(const GUID &providerId, WSAPROTOCOL_INFOW *entry);
    /* The object of a catalog id, created on first use; null when the id is not in the
     * snapshot. */
    ServiceProvider *Provider(DWORD catalogId);
    ProtoChain *Chain(DWORD catalogId);
    /* The base entries (chain length 1) in catalog order, at most size of them into list;
     * returns how many there are (list null: only counts). */
    int BaseProviders(ServiceProvider **list, int size);
    /* All catalog ids in catalog order, as BaseProviders. */
    int CatalogIds(DWORD *ids, int size);
    /* Makes ids the catalog order; true when the catalog took it. */
    bool WriteOrder(DWORD *ids, int count);

private:
    ProtoCatalog();
    ~ProtoCatalog();
    ProtoCatalog(const ProtoCatalog &) = delete;
    ProtoCatalog &operator=(const ProtoCatalog &) = delete;

    /* The snapshot's records, taken first when there is none; count -1 when it cannot be. */
    const WSAPROTOCOL_INFOW *Snapshot(int *count);
    template <typename Match> bool Find(WSAPROTOCOL_INFOW *entry, Match match);
    template <typename T> T *Object(std::map<DWORD, T *> &objects, DWORD catalogId);

    static CRITICAL_SECTION m_Crit;
    static ProtoCatalog *s_catalog;

    int m_count = -1;
    WSAPROTOCOL_INFOW *m_entries = nullptr;
    std::map<DWORD, ServiceProvider *> m_providers;
    std::map<DWORD, ProtoChain *> m_chains;
};

#endif
