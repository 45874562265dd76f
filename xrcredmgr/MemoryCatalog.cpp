#include "MemoryCatalog.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace {

const char kFileMagic[8] = "XRCAT01";

struct FileHeader {
    char magic[8];
    DWORD nextId;
    DWORD entries;
    DWORD nameSpaces;
};

int Refuse(int *error, int code)
{
    *error = code;
    return SOCKET_ERROR;
}

int RefuseNameSpace(int code)
{
    WSASetLastError(code);
    return SOCKET_ERROR;
}

/* A path the catalog can keep: present, not empty, shorter than MAX_PATH. */
bool CopyPath(WCHAR (&dest)[MAX_PATH], const WCHAR *path)
{
    if (!path || !*path)
        return false;
    size_t length = wcslen(path);
    if (length >= MAX_PATH)
        return false;
    memcpy(dest, path, (length + 1) * sizeof(WCHAR));
    return true;
}

template <typename T> bool ReadItems(FILE *file, std::vector<T> &items, DWORD count)
{
    items.resize(count);
    return count == 0 || fread(items.data(), sizeof(T), count, file) == count;
}

} // namespace

MemoryCatalog::MemoryCatalog(const char *file) : m_file(file)
{
    Load();
}

void MemoryCatalog::Load()
{
    FILE *file = fopen(m_file.c_str(), "rb");
    if (!file)
        return;
    FileHeader header;
    bool loaded = fread(&header, sizeof header, 1, file) == 1 &&
                  memcmp(header.magic, kFileMagic, sizeof kFileMagic) == 0 &&
                  ReadItems(file, m_entries, header.entries) &&
                  ReadItems(file, m_nameSpaces, header.nameSpaces);
    fclose(file);
    if (loaded) {
        m_nextId = header.nextId;
    } else {
        m_entries.clear();
        m_nameSpaces.clear();
    }
}

void MemoryCatalog::Save() const
{
    if (m_file.empty())
        return;
    FILE *file = fopen(m_file.c_str(), "wb");
    if (!file)
        return;
    FileHeader header;
    memcpy(header.magic, kFileMagic, sizeof kFileMagic);
    header.nextId = m_nextId;
    header.entries = static_cast<DWORD>(m_entries.size());
    header.nameSpaces = static_cast<DWORD>(m_nameSpaces.size());
    fwrite(&header, sizeof header, 1, file);
    fwrite(m_entries.data(), sizeof(Entry), m_entries.size(), file);
    fwrite(m_nameSpaces.data(), sizeof(NameSpace), m_nameSpaces.size(), file);
    fclose(file);
}

void MemoryCatalog::FailCall(WscCall call, int after, int error)
{
    m_planned.push_back({call, m_calls[static_cast<int>(call)] + after, error});
}

void MemoryCatalog::FailAtRandom(unsigned seed, int percent, int error)
{
    m_chance.seed(seed);
    m_chancePercent = percent;
    m_chanceError = error;
}

bool MemoryCatalog::Failing(WscCall call, int *error)
{
    int number = m_calls[static_cast<int>(call)]++;
    for (size_t i = 0; i < m_planned.size(); i++) {
        if (m_planned[i].call == call && m_planned[i].at == number) {
            *error = m_planned[i].error;
            m_planned.erase(m_planned.begin() + i);
            return true;
        }
    }
    /* The generator's raw output, not a distribution: the same seed fails the same calls with
     * every standard library. */
    if (m_chancePercent > 0 && static_cast<int>(m_chance() % 100) < m_chancePercent) {
        *error = m_chanceError;
        return true;
    }
    return false;
}

MemoryCatalog::Entry *MemoryCatalog::FindEntry(DWORD catalogId)
{
    for (Entry &entry : m_entries)
        if (entry.info.dwCatalogEntryId == catalogId)
            return &entry;
    return nullptr;
}

int MemoryCatalog::EnumProtocols(WSAPROTOCOL_INFOW *buffer, DWORD *length, int *error)
{
    int failure;
    if (Failing(WscCall::EnumProtocols, &failure))
        return Refuse(error, failure);
    DWORD needed = static_cast<DWORD>(m_entries.size() * sizeof(WSAPROTOCOL_INFOW));
    if (!buffer || *length < needed) {
        *length = needed;
        return Refuse(error, WSAENOBUFS);
    }
    for (size_t i = 0; i < m_entries.size(); i++)
        buffer[i] = m_entries[i].info;
    return static_cast<int>(m_entries.size());
}

int MemoryCatalog::InstallProvider(GUID *providerId, const WCHAR *path,
                                   WSAPROTOCOL_INFOW *entries, DWORD count, int *error)
{
    int failure;
    if (Failing(WscCall::InstallProvider, &failure))
        return Refuse(error, failure);
    Entry added;
    if (!providerId || !entries || count == 0 || !CopyPath(added.path, path))
        return Refuse(error, WSAEINVAL);
    for (const Entry &entry : m_entries)
        if (IsEqualGUID(entry.info.ProviderId, *providerId))
            return Refuse(error, WSANO_RECOVERY);
    for (DWORD i = 0; i < count; i++) {
        const WSAPROTOCOLCHAIN &chain = entries[i].ProtocolChain;
        if (chain.ChainLen > MAX_PROTOCOL_CHAIN)
            return Refuse(error, WSAEINVAL);
        for (int link = 0; chain.ChainLen > 1 && link < chain.ChainLen; link++)
            if (!FindEntry(chain.ChainEntries[link]))
                return Refuse(error, WSAEINVAL);
    }
    for (DWORD i = 0; i < count; i++) {
        added.info = entries[i];
        added.info.ProviderId = *providerId;
        added.info.dwCatalogEntryId = m_nextId++;
        m_entries.push_back(added);
    }
    Save();
    return 0;
}

int MemoryCatalog::DeinstallProvider(GUID *providerId, int *error)
{
    int failure;
    if (Failing(WscCall::DeinstallProvider, &failure))
        return Refuse(error, failure);
    size_t before = m_entries.size();
    for (size_t i = m_entries.size(); providerId && i-- > 0;)
        if (IsEqualGUID(m_entries[i].info.ProviderId, *providerId))
            m_entries.erase(m_entries.begin() + i);
    if (m_entries.size() == before)
        return Refuse(error, WSAEINVAL);
    Save();
    return 0;
}

int MemoryCatalog::GetProviderPath(GUID *providerId, WCHAR *path, int *length, int *error)
{
    int failure;
    if (Failing(WscCall::GetProviderPath, &failure))
        return Refuse(error, failure);
    for (const Entry &entry : m_entries) {
        if (!providerId || !IsEqualGUID(entry.info.ProviderId, *providerId))
            continue;
        int needed = static_cast<int>(wcslen(entry.path)) + 1;
        if (!path || !length || *length < needed) {
            if (length)
                *length = needed;
            return Refuse(error, WSAEFAULT);
        }
        memcpy(path, entry.path, needed * sizeof(WCHAR));
        return 0;
    }
    return Refuse(error, WSAEINVAL);
}

int MemoryCatalog::WriteProviderOrder(DWORD *catalogIds, DWORD count)
{
    int failure;
    if (Failing(WscCall::WriteProviderOrder, &failure))
        return failure;
    if (!catalogIds || count != m_entries.size())
        return WSAEINVAL;
    std::vector<Entry> ordered;
    std::vector<bool> taken(m_entries.size());
    for (DWORD i = 0; i < count; i++) {
        Entry *entry = FindEntry(catalogIds[i]);
        if (!entry || taken[entry - m_entries.data()])
            return WSAEINVAL;
        taken[entry - m_entries.data()] = true;
        ordered.push_back(*entry);
    }
    m_entries.swap(ordered);
    Save();
    return 0;
}

int MemoryCatalog::InstallNameSpace(WCHAR *identifier, WCHAR *path, DWORD nameSpace,
                                    DWORD version, GUID *providerId)
{
    int failure;
    if (Failing(WscCall::InstallNameSpace, &failure))
        return RefuseNameSpace(failure);
    NameSpace added;
    if (!identifier || !providerId || wcslen(identifier) > WSAPROTOCOL_LEN ||
        !CopyPath(added.path, path))
        return RefuseNameSpace(WSAEINVAL);
    for (const NameSpace &installed : m_nameSpaces)
        if (IsEqualGUID(installed.providerId, *providerId))
            return RefuseNameSpace(WSANO_RECOVERY);
    memcpy(added.identifier, identifier, (wcslen(identifier) + 1) * sizeof(WCHAR));
    added.providerId = *providerId;
    added.nameSpace = nameSpace;
    added.version = version;
    m_nameSpaces.push_back(added);
    Save();
    return 0;
}

int MemoryCatalog::UnInstallNameSpace(GUID *providerId)
{
    int failure;
    if (Failing(WscCall::UnInstallNameSpace, &failure))
        return RefuseNameSpace(failure);
    for (size_t i = 0; providerId && i < m_nameSpaces.size(); i++) {
        if (IsEqualGUID(m_nameSpaces[i].providerId, *providerId)) {
            m_nameSpaces.erase(m_nameSpaces.begin() + i);
            Save();
            return 0;
        }
    }
    return RefuseNameSpace(WSAEINVAL);
}
