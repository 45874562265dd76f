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

// A server as its file text: the host, ":" and the port; the bare host for an empty port,
// unless the host is empty or holds a ":" itself, when the default port is written out so that
// the text reads back as that host.
std::string ServerText(const RouteServer &server)
{
    if (!server.second.empty())
        return server.first + ":" + server.second;
    if (!server.first.empty() && server.first.find(':') == std::string::npos)
        return server.first;
    return server.first + ":" + kDefaultSocksPort;
}

// Copies text into a record field; false with the reason when it does not fit.
template <size_t N>
bool Fits(char (&field)[N], const std::string &text, const std::string &what, std::string *problem)
{
    if (XrStrCopy(field, N, text.c_str()) == 0)
        return true;
    *problem = what + " is longer than " + std::to_string(N - 1) + " characters";
    return false;
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

int RouteEntry::BuildRecord(XrCfgProxy *record, std::string *problem) const
{
    std::string unused;
    if (!problem)
        problem = &unused;
    memset(record, 0, sizeof *record);
    // Every route reads back with "-" in the command column, so no other text can be written.
    if (commands != "-") {
        *problem = "the command column is not \"-\"";
        return -1;
    }
    if (!Fits(record->destination, destination, "the destination", problem)
        || !Fits(record->destPort, destPort, "the destination port", problem))
        return -1;
    size_t serverCount = kind == XR_ROUTE_DIRECT ? 0 : servers.size();
    for (size_t i = 0; i < serverCount; i++)
        if (servers[i].second.find(':') != std::string::npos) {
            *problem = "the port of server " + std::to_string(i + 1) + " holds \":\"";
            return -1;
        }
    record->ruleKind = kind;
    // A gbind line has no command column.
    if (kind != XR_CFG_RULE_GBIND)
        XrStrCopy(record->leadField, sizeof record->leadField, commands.c_str());
    record->serverList = NewList<XrCfgText256>(serverCount);
    record->serverCount = record->serverList ? static_cast<int32_t>(serverCount) : 0;
    record->nameList = NewList<XrCfgText128>(users.size());
    record->nameCount = record->nameList ? static_cast<int32_t>(users.size()) : 0;
    bool built = static_cast<size_t>(record->serverCount) == serverCount
                 && static_cast<size_t>(record->nameCount) == users.size();
    if (!built)
        *problem = "no memory";
    for (size_t i = 0; built && i < serverCount; i++)
        built = Fits(record->serverList[i], ServerText(servers[i]),
                     "server " + std::to_string(i + 1), problem);
    for (size_t i = 0; built && i < users.size(); i++)
        built = Fits(record->nameList[i], users[i], "user " + std::to_string(i + 1), problem);
    if (built)
        return 0;
    XrCfgFreeRecord(XR_CFG_KIND_PROXY, record);
    return -1;
}

void RouteEntry::TakeStoredForm()
{
    if (kind == XR_ROUTE_DIRECT)
        servers.clear();
    if (users.empty() && kind != XR_CFG_RULE_GBIND)
        users.push_back("-");
    for (RouteServer &server : servers)
        if (server.second.empty())
            server.second = kDefaultSocksPort;
}
