// The server list in the engine's configuration file: one proxy rule per route.
#include "ClientSettings.h"
#include "SettingsFile.h"

#include <cstddef>
#include <string>

namespace {

// Routes for different users stay apart: one line holds one user list.
bool Alike(const RouteEntry &a, const RouteEntry &b)
{
    return a.kind == b.kind && a.kind != XR_ROUTE_DIRECT && a.destination == b.destination
           && a.destPort == b.destPort && a.users == b.users;
}

}

int ClientSettings::ReadServers(const char *path)
{
    XrCfg *cfg = nullptr;
    if (XrCfgOpen(path, XR_CFG_FORM_CLIENT, XR_CFG_SECTION_PROXY, &cfg) != 0)
        return XR_SETTINGS_OPEN_FAILED;
    XrSettingsEachRecord<XrCfgProxy>(cfg, XR_CFG_KIND_PROXY, [this](const XrCfgProxy &record) {
        servers.push_back(RouteEntry::FromRecord(record));
    });
    XrCfgClose(cfg);
    return 0;
}

// The proxy page keeps one server per row; the engine wants one rule with the servers in order.
void ClientSettings::MergeAdjacentRoutes()
{
    size_t current = 0;
    while (current + 1 < servers.size()) {
        RouteEntry &next = servers[current + 1];
        if (!Alike(servers[current], next)) {
            current++;
            continue;
        }
        std::vector<RouteServer> &into = servers[current].servers;
        into.insert(into.end(), next.servers.begin(), next.servers.end());
        servers.erase(servers.begin() + static_cast<std::ptrdiff_t>(current + 1));
    }
}

int ClientSettings::SaveServers(const char *path)
{
    XrCfg *cfg = nullptr;
    // The whole file is read so that its other sections are written back unchanged.
    if (XrSettingsOpenFile(path, 0, XR_CFG_SECTION_PROXY, &cfg) != 0)
        return XR_SETTINGS_OPEN_FAILED;
    MergeAdjacentRoutes();
    // Fails only when the file held no rules, which is as good as done.
    XrCfgDelete(cfg, XR_CFG_KIND_PROXY, nullptr);
    int result = 0;
    for (size_t i = 0; i < servers.size() && result == 0; i++) {
        std::string what = "route " + std::to_string(i + 1);
        XrCfgProxy record;
        std::string problem;
        if (servers[i].BuildRecord(&record, &problem) != 0) {
            result = XrSettingsRefuse(what, path, problem);
            break;
        }
        result = XrSettingsAppend(cfg, XR_CFG_KIND_PROXY, &record, what, path);
        XrCfgFreeRecord(XR_CFG_KIND_PROXY, &record);
    }
    result = XrSettingsSaveFile(path, 0, cfg, result);
    // The list now holds what the file reads back as.
    if (result == 0)
        for (RouteEntry &entry : servers)
            entry.TakeStoredForm();
    return result;
}

void ClientSettings::RemoveAllServers()
{
    servers.clear();
}
