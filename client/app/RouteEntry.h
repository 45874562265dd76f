// One route of the server list: which SOCKS servers (or none) serve which destination.
#ifndef CLIENT_APP_ROUTEENTRY_H
#define CLIENT_APP_ROUTEENTRY_H

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "xrcfg.h"

// Route kinds, the proxy rule kinds of the configuration file.
#define XR_ROUTE_DIRECT XR_CFG_RULE_NOPROXY
#define XR_ROUTE_SOCKS4 XR_CFG_RULE_SOCKS4
#define XR_ROUTE_SOCKS5 XR_CFG_RULE_SOCKS5

// A server's host and port, as texts.
typedef std::pair<std::string, std::string> RouteServer;

class RouteEntry {
public:
    // One server; SOCKS version 5 gives a SOCKS5 route, any other version a SOCKS4 route.
    static RouteEntry ServerRoute(const std::string &host, const std::string &port, int version,
                                  const std::string &destination, const std::string &destPort);
    static RouteEntry DirectRoute(const std::string &destination, const std::string &destPort);
    // The record's kind, destination, port and users; its servers split at their last ':'
    // (port "1080" when there is none). The command column is not taken over.
    static RouteEntry FromRecord(const XrCfgProxy &record);

    // Fills a proxy rule record; the lists are the caller's, freed with XrCfgFreeRecord. A text
    // longer than its record field, a command column other than "-" (the file's is not read
    // back) or a server port holding ":" (the text is split at its last one) is refused: -1 with
    // the reason in problem (may be null), as when memory runs out (nothing is left to free
    // then).
    int BuildRecord(XrCfgProxy *record, std::string *problem = nullptr) const;
    // The entry as the file gives it back once written: a direct route has no servers, no
    // users is "-" (but for kind 4, whose line has no user list), an empty port is 1080.
    void TakeStoredForm();

    std::vector<RouteServer> servers; // empty for direct routes
    int32_t kind = XR_ROUTE_DIRECT;
    std::string destination; // "-": any
    std::string destPort;    // "-": any
    std::string commands = "-";
    std::vector<std::string> users;
};

#endif
