#include "RouteEntry.h"

#include <stdlib.h>
#include <string.h>

#include "xrstr.h"

namespace {

const char kDefaultSocksPort[] = "1080";

// A heap list of count items of one record list type; null for none (and when memory runs out).
template <typename Item> Item *NewList(size_t count)
{
    return count ? static_cast<Item *>(calloc(count, sizeof(Item))) : nullptr;
}

RouteServer ParseServer(const char *text)
{
    const char *colon = strrchr(text, ':');
    if (!colon)
        return RouteServer(text, kDefaultSocksPort);
    return RouteServer(std::string(text, colon), colon + 1);
}

}

RouteEntry RouteEntry::ServerRoute(const std::string &host, const std::string &port, int version,
                                   const std::string &destination, const std::string &destPort)
{
    RouteEntry entry = DirectRoute(destination, destPort);
    entry.kind = version == 5 ? XR_ROUTE_SOCKS5 : XR_ROUTE_SOCKS4;
    entry.servers.emplace_back(host, port);
    return entry;
}

RouteEntry RouteEntry::DirectRoute(const std::string &destination, const std::string &destPort)
{
    RouteEntry entry;
    entry.destination = destination;
    entry.destPort = destPort;
    entry.users.push_back("-");
    return entry;
}

RouteEntry RouteEntry::FromRecord(const XrCfgProxy &record)
{
    RouteEntry entry;
    entry.kind = record.ruleKind;
    entry.destination = record.destination;
    entry.destPort = record.destPort;
    if (record.ruleKind != XR_ROUTE_DIRECT)
        for (int32_t i = 0; i < record.serverCount; i++)
            entry.servers.push_back(ParseServer(record.serverList[i]));
    for (int32_t i = 0; i < record.nameCount; i++)
        entry.users.push_back(record.nameList[i]);
    return entry;
}

int RouteEntry::BuildRecord(XrCfgProxy *record) const
{
    memset(record, 0, sizeof *record);
    size_t serverCount = kind == XR_ROUTE_DIRECT ? 0 : servers.size();
    XrCfgText256 *serverList = NewList<XrCfgText256>(serverCount);
    XrCfgText128 *nameList = NewList<XrCfgText128>(users.size());
    if ((serverCount && !serverList) || (!users.empty() && !nameList)) {
        free(serverList);
        free(nameList);
        return -1;
    }
    record->ruleKind = kind;
    XrStrCopy(record->destination, sizeof record->destination, destination.c_str());
    XrStrCopy(record->destPort, sizeof record->destPort, destPort.c_str());
    XrStrCopy(record->leadField, sizeof record->leadField, commands.c_str());
    for (size_t i = 0; i < serverCount; i++) {
        const RouteServer &server = servers[i];
        std::string text
            = server.second.empty() ? server.first : server.first + ":" + server.second;
        XrStrCopy(serverList[i], sizeof serverList[i], text.c_str());
    }
    for (size_t i = 0; i < users.size(); i++)
        XrStrCopy(nameList[i], sizeof nameList[i], users[i].c_str());
    record->serverList = serverList;
    record->serverCount = static_cast<int32_t>(serverCount);
    record->nameList = nameList;
    record->nameCount = static_cast<int32_t>(users.size());
    return 0;
}
