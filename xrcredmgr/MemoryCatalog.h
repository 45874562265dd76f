/* An in-memory Winsock catalog that stands in for the platform's catalog where its installation
 * calls only pretend to work (Wine) or must not be touched (tests). It behaves as the platform
 * documents those calls:
 *  - installing gives every entry a new catalog id (never reused) and the provider's GUID, and
 *    appends it to the catalog order; a GUID already in the catalog is refused (WSANO_RECOVERY,
 *    "already installed"), as are chain entries naming ids that are not in the catalog and an
 *    empty or over-long path (WSAEINVAL);
 *  - removing takes out every entry of the GUID (WSAEINVAL when there is none); chains that
 *    name a removed entry stay;
 *  - the path of a provider is the one it was installed with (WSAEINVAL for an unknown GUID,
 *    WSAEFAULT with the needed length when the buffer is short);
 *  - enumeration answers WSAENOBUFS with the needed length when the buffer is missing or short;
 *  - a new order must name every catalog id exactly once (else WSAEINVAL, nothing changes);
 *  - name-space providers are kept by GUID, errors through WSASetLastError.
 * Not modelled: protocol chains checked for their layout, the installed library's existence,
 * administrator rights, change notification, the 64-bit catalog.
 *
 * Faults are injected per call: a planned failure of the n-th call of a kind, or every call
 * failing by chance from a seeded generator, so that a failure sequence can be replayed. A
 * failed call changes nothing.
 *
 * Given a file, the catalog is loaded from it (when it exists) and saved to it after every
 * change, so that a process's catalog can be prepared before it starts and read after it ends. */
#ifndef XRCREDMGR_MEMORYCATALOG_H
#define XRCREDMGR_MEMORYCATALOG_H

#include <random>
#include <string>
#include <vector>

#include "WscCatalog.h"

enum class WscCall { EnumProtocols, InstallProvider, DeinstallProvider, GetProviderPath,
                     WriteProviderOrder, InstallNameSpace, UnInstallNameSpace, Count };

class MemoryCatalog : public WscCatalog {
public:
    MemoryCatalog() = default;
    explicit MemoryCatalog(const char *file);

    /* After `after` more calls of that kind, the next one fails once with error. Plans add up. */
    void FailCall(WscCall call, int after, int error);
    /* From now on every call fails with error by a chance of percent in a hundred, drawn from a
     * generator started at seed; percent 0 ends it. Planned failures still come. */
    void FailAtRandom(unsigned seed, int percent, int error);

    int EnumProtocols(WSAPROTOCOL_INFOW *buffer, DWORD *length, int *error) override;
    int InstallProvider(GUID *providerId, const WCHAR *path, WSAPROTOCOL_INFOW *entries,
                        DWORD count, int *error) override;
    int DeinstallProvider(GUID *providerId, int *error) override;
    int GetProviderPath(GUID *providerId, WCHAR *path, int *length, int *error) override;
    int WriteProviderOrder(DWORD *catalogIds, DWORD count) override;
    int InstallNameSpace(WCHAR *identifier, WCHAR *path, DWORD nameSpace, DWORD version,
                         GUID *providerId) override;
    int UnInstallNameSpace(GUID *providerId) override;

private:
    struct Entry {
        WSAPROTOCOL_INFOW info;
        WCHAR path[MAX_PATH];
    };
    struct NameSpace {
        GUID providerId;
        WCHAR identifier[WSAPROTOCOL_LEN + 1];
        WCHAR path[MAX_PATH];
        DWORD nameSpace;
        DWORD version;
    };

    void Load();
    void Save() const;
    bool Failing(WscCall call, int *error);
    Entry *FindEntry(DWORD catalogId);

    std::string m_file;
    DWORD m_nextId = 1001;
    std::vector<Entry> m_entries; /* in catalog order */
    std::vector<NameSpace> m_nameSpaces;
    struct PlannedFailure {
        WscCall call;
        int at; /* the call's number among those of its kind */
        int error;
    };
    int m_calls[static_cast<int>(WscCall::Count)] = {};
    std::vector<PlannedFailure> m_planned;
    std::minstd_rand m_chance;
    int m_chancePercent = 0;
    int m_chanceError = 0;
};

#endif
