/* Shared by the credential manager's tests: temporary directories and files, registry values
 * that clean up after themselves, and catalogs with the base entries of a TCP/IP stack and the
 * entries of other providers. */
#ifndef TESTS_XRCREDMGR_SUPPORT_H
#define TESTS_XRCREDMGR_SUPPORT_H

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "MemoryCatalog.h"

/* A new empty directory under the temporary directory, removed with its content at the end. */
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    /* With a trailing backslash. */
    const std::string &Path() const { return m_path; }
    std::string File(const char *name) const { return m_path + name; }

private:
    std::string m_path;
};

/* The file's bytes; empty when it cannot be read. */
std::string ReadBytes(const std::string &path);
/* The file read as text (line ends as "\n"); empty when it cannot be read. */
std::string ReadText(const std::string &path);
bool FileExists(const std::string &path);

/* Remembers which keys of a path exist; at its end removes those that did not, deepest first,
 * as long as they are empty (no values, no subkeys). */
class KeyTrail {
public:
    KeyTrail(HKEY root, const std::string &path);
    ~KeyTrail();
    KeyTrail(const KeyTrail &) = delete;
    KeyTrail &operator=(const KeyTrail &) = delete;

private:
    HKEY m_root;
    std::vector<std::string> m_created;
};

/* A registry value for the life of the object; removed again with the keys it needed. */
class ScopedRegValue {
public:
    ScopedRegValue(HKEY root, const std::string &path, const char *name, DWORD type,
                   const void *data, DWORD size);
    ScopedRegValue(HKEY root, const std::string &path, const char *name, DWORD number);
    ScopedRegValue(HKEY root, const std::string &path, const char *name, const char *text);
    ~ScopedRegValue();
    ScopedRegValue(const ScopedRegValue &) = delete;
    ScopedRegValue &operator=(const ScopedRegValue &) = delete;

private:
    KeyTrail m_trail;
    HKEY m_root;
    std::string m_path;
    std::string m_name;
};

/* Sets an environment variable for the life of the object (null value: removes it). */
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string m_name;
    std::string m_saved;
    bool m_hadValue;
};

/* Each installs one entry under a new GUID of its own and returns its catalog id. A base entry
 * (chain length 1); a layered entry; a chain over links (top first), a copy of the last link's
 * entry, as providers build them. */
DWORD AddBaseEntry(MemoryCatalog &catalog, const wchar_t *name, int family, int type,
                   int protocol);
DWORD AddLayeredEntry(MemoryCatalog &catalog, const wchar_t *name, const wchar_t *library);
DWORD AddChainEntry(MemoryCatalog &catalog, const wchar_t *name, const std::vector<DWORD> &links,
                    const wchar_t *library);
/* Rewrites the order with ids first, as a provider's installer puts its chains at the head. */
void PutFirst(MemoryCatalog &catalog, const std::vector<DWORD> &ids);
/* What a clean installation and removal of the layered provider print over AddTcpIpBases. */
extern const char kInstallOutput[];
extern const char kRemoveOutput[];

/* "Tcpip [TCP/IP]" and "Tcpip [UDP/IP]" of family 2, "Tcpip [TCP/IPv6]" of family 23. */
void AddTcpIpBases(MemoryCatalog &catalog);
/* The catalog's entries in catalog order. */
std::vector<WSAPROTOCOL_INFOW> CatalogEntries(MemoryCatalog &catalog);
std::string EntryName(const WSAPROTOCOL_INFOW &entry);

#endif
