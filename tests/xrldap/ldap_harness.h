/* What the LDAP plug-in tests and its benchmark share: a host for xrldap.dll built from the
 * real engine stand-in and credential cache, with the module's log lines kept in memory, the
 * module's options, and a connected loopback socket pair. Windows only. */
#ifndef TESTS_XRLDAP_LDAP_HARNESS_H
#define TESTS_XRLDAP_LDAP_HARNESS_H

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "xrplugin.h"

using LdapOptions = std::vector<std::pair<std::string, std::string>>;

/* xrldap.dll beside the running program, initialized with the harness's host. */
struct LdapPlugin {
    XrPlugInOperations ops = {};
    std::vector<XrPlugInOption> options;
    XrPlugInModule module = {};

    static std::string LibraryPath();
    bool Load();
    /* Both sides with these options. */
    bool Configure(const LdapOptions &values);
};

/* The credential-cache services (8 to 15) as the engine hands them to an authentication
 * module; null for any other number. */
void *__cdecl LdapCacheService(int32_t service);

/* Lines the module logged since the last clear, and how often one line was logged. */
void LdapLogClear();
int LdapLogCount(const std::string &line);
std::vector<std::string> LdapLogLines();

/* Two connected TCP sockets on the loopback interface, without send coalescing. */
struct LdapSocketPair {
    SOCKET client = INVALID_SOCKET;
    SOCKET server = INVALID_SOCKET;
    LdapSocketPair();
    ~LdapSocketPair();
};

#endif
