// The settings that several pages share: the server list, the DNS mode and domains, and the
// three application lists. Loaded once at start; only what changed is written back.
//
// The server list lives in the engine's configuration file (path "Client Library File"), the
// application lists in the application list file ("Application File"), the DNS settings in the
// client key.
#ifndef CLIENT_APP_CLIENTSETTINGS_H
#define CLIENT_APP_CLIENTSETTINGS_H

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "RouteEntry.h"

// Results of the file writes. A write that fails leaves the file as it was.
#define XR_SETTINGS_OPEN_FAILED (-2) // the file can neither be opened nor created
#define XR_SETTINGS_ADD_FAILED (-3)  // an entry would not read back as it is (the log says why)
#define XR_SETTINGS_SAVE_FAILED (-4) // the file cannot be written (read-only, say)

// Longest path that the application list file holds.
#define XR_SETTINGS_MAX_PATH 255

typedef std::vector<std::string> PathList;

class ClientSettings {
public:
    // Reads the client key's values and both files; on a machine where nothing is configured
    // yet, takes over the older product's settings. Always 0.
    int Load();

    // Writes the DNS mode and domains to the client key; -1 when the key cannot be opened.
    int SaveDns();
    // The server list as the file's proxy rules (other sections are kept). Adjacent alike routes
    // (kind, destination, port and users) are merged first, in the list itself; after a save the
    // list holds what the file reads back as (RouteEntry::TakeStoredForm). 0 or one of
    // XR_SETTINGS_*.
    int SaveServers(const char *path);
    // The three application lists, the system list rebuilt first. 0 or one of XR_SETTINGS_*.
    int SaveApplicationLists(const char *path);
    // Saves what the changed flags name and clears them. Always 0.
    int SavePendingChanges();

    // Append the file's routes / replace the application lists with the file's. 0, or
    // XR_SETTINGS_OPEN_FAILED.
    int ReadServers(const char *path);
    int ReadApplicationLists(const char *path);

    // Reads the application list file and writes it back with a new system list; -1 when no
    // application list file is configured.
    int RefreshSystemList();
    // The executables of the installed services and of the server product on this machine.
    void RebuildSystemList();

    void RemoveAllServers();

    // Takes the older product's routes, DNS mode and application profiles from the current
    // user's registry and sets all changed flags. 0, or -1 (lastError then holds the failed
    // read's system code; what was taken before stays).
    int TakeOverVeltrix();

    DWORD lastError = 0;
    std::string configFile;
    std::string applicationFile;
    std::vector<RouteEntry> servers;
    DWORD dnsMode = 0;
    std::string localDns;
    std::string remoteDns;
    PathList includeList;
    PathList excludeList;
    PathList systemList;
    uint8_t serversChanged = 0;
    uint8_t applicationsChanged = 0;
    uint8_t dnsChanged = 0;

private:
    PathList &ListOfKind(int32_t kind);
    void MergeAdjacentRoutes();
};

// A service's executable path without its arguments: blanks are kept while a backslash still
// follows them, the first blank with none after it ends the path.
std::string StripServiceArguments(const char *path);

#endif
