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

    // Fills a proxy rule record, texts cut to the record's fields. The lists are the caller's,
    // freed with XrCfgFreeRecord. -1 when memory runs out (nothing is left to free).
    int BuildRecord(XrCfgProxy *record) const;

    std::vector<RouteServer> servers; // empty for direct routes
    int32_t kind = XR_ROUTE_DIRECT;
    std::string destination; // "-": any
    std::string destPort;    // "-": any
    std::string commands = "-";
    std::vector<std::string> users;
};

#endif
