#include "RouteEntry.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "xrstr.h"

namespace {

// A proxy rule record as the configuration file's reader hands it out.
struct RecordFixture {
    XrCfgProxy record = {};
    RecordFixture(int32_t kind, const std::vector<std::string> &servers,
                  const std::vector<std::string> &users)
    {
        record.ruleKind = kind;
        XrStrCopy(record.destination, sizeof record.destination, "10.1.0.0");
        XrStrCopy(record.destPort, sizeof record.destPort, "80");
        XrStrCopy(record.leadField, sizeof record.leadField, "connect");
        record.serverCount = static_cast<int32_t>(servers.size());
        record.serverList
            = static_cast<XrCfgText256 *>(calloc(servers.size() + 1, sizeof(XrCfgText256)));
        for (size_t i = 0; i < servers.size(); i++)
            XrStrCopy(record.serverList[i], sizeof record.serverList[i], servers[i].c_str());
        record.nameCount = static_cast<int32_t>(users.size());
        record.nameList
            = static_cast<XrCfgText128 *>(calloc(users.size() + 1, sizeof(XrCfgText128)));
        for (size_t i = 0; i < users.size(); i++)
            XrStrCopy(record.nameList[i], sizeof record.nameList[i], users[i].c_str());
    }
    ~RecordFixture() { XrCfgFreeRecord(XR_CFG_KIND_PROXY, &record); }
};

std::vector<std::string> Servers(const XrCfgProxy &record)
{
    return std::vector<std::string>(record.serverList, record.serverList + record.serverCount);
}

TEST(RouteEntry, ServerRouteOfVersionFiveIsSocks5AndAnyOtherSocks4)
{
    struct Case {
        int version;
        int32_t kind;
    } cases[]
        = {{5, XR_ROUTE_SOCKS5}, {4, XR_ROUTE_SOCKS4}, {0, XR_ROUTE_SOCKS4}, {6, XR_ROUTE_SOCKS4}};
    for (const Case &c : cases) {
        RouteEntry entry = RouteEntry::ServerRoute("proxy", "1080", c.version, "-", "-");
        EXPECT_EQ(entry.kind, c.kind) << c.version;
        EXPECT_EQ(entry.servers, (std::vector<RouteServer> {{"proxy", "1080"}}));
        EXPECT_EQ(entry.commands, "-");
        EXPECT_EQ(entry.users, std::vector<std::string> {"-"});
    }
}

TEST(RouteEntry, DirectRouteHasNoServers)
{
    RouteEntry entry = RouteEntry::DirectRoute("192.168.0.0", "-");
    EXPECT_EQ(entry.kind, XR_ROUTE_DIRECT);
    EXPECT_TRUE(entry.servers.empty());
    EXPECT_EQ(entry.destination, "192.168.0.0");
    EXPECT_EQ(entry.destPort, "-");
    EXPECT_EQ(entry.users, std::vector<std::string> {"-"});
}

TEST(RouteEntry, ServerTextsSplitAtTheirLastColon)
{
    RecordFixture file(XR_ROUTE_SOCKS5, {"gate:1081", "bare", "a:b:99", "tail:"}, {"alice", "bob"});
    RouteEntry entry = RouteEntry::FromRecord(file.record);
    EXPECT_EQ(entry.servers, (std::vector<RouteServer> {{"gate", "1081"},
                                                        {"bare", "1080"},
                                                        {"a:b", "99"},
                                                        {"tail", ""}}));
    EXPECT_EQ(entry.users, (std::vector<std::string> {"alice", "bob"}));
    EXPECT_EQ(entry.destination, "10.1.0.0");
    EXPECT_EQ(entry.destPort, "80");
    EXPECT_EQ(entry.commands, "-");
}

TEST(RouteEntry, DirectRecordTakesNoServersAndUnknownKindStays)
{
    RecordFixture direct(XR_ROUTE_DIRECT, {"stray:1080"}, {"-"});
    EXPECT_TRUE(RouteEntry::FromRecord(direct.record).servers.empty());
    RecordFixture bind(XR_CFG_RULE_GBIND, {"gb:1080"}, {});
    RouteEntry entry = RouteEntry::FromRecord(bind.record);
    EXPECT_EQ(entry.kind, XR_CFG_RULE_GBIND);
    EXPECT_EQ(entry.servers, (std::vector<RouteServer> {{"gb", "1080"}}));
}

TEST(RouteEntry, RecordJoinsHostAndPortAndWritesBareHostWithoutPort)
{
    RouteEntry entry = RouteEntry::ServerRoute("one", "1081", 5, "-", "-");
    // Without a port the bare host, unless that would not read back as the host.
    entry.servers.emplace_back("two", "");
    entry.servers.emplace_back("a:b", "");
    entry.servers.emplace_back("", "");
    XrCfgProxy record;
    ASSERT_EQ(entry.BuildRecord(&record), 0);
    EXPECT_EQ(Servers(record), (std::vector<std::string> {"one:1081", "two", "a:b:1080", ":1080"}));
    EXPECT_STREQ(record.leadField, "-");
    EXPECT_EQ(record.ruleKind, XR_ROUTE_SOCKS5);
    ASSERT_EQ(record.nameCount, 1);
    EXPECT_STREQ(record.nameList[0], "-");
    XrCfgFreeRecord(XR_CFG_KIND_PROXY, &record);
}

// A cut text would be another route (a shorter destination, another server), so a text that
// does not fit is refused, as is what the file cannot give back.
TEST(RouteEntry, RecordRefusesWhatItCannotHoldAndSaysWhy)
{
    struct Case {
        const char *name;
        void (*change)(RouteEntry &entry);
        const char *problem; // null: built
    } cases[] = {
        {"LongestTexts",
         [](RouteEntry &e) {
             e.destination = std::string(255, 'd');
             e.destPort = std::string(63, '9');
             e.users = {std::string(127, 'u')};
             e.servers = {{std::string(250, 'h'), "1080"}};
         },
         nullptr},
        {"LongDestination", [](RouteEntry &e) { e.destination = std::string(256, 'd'); },
         "the destination is longer than 255 characters"},
        {"LongPort", [](RouteEntry &e) { e.destPort = std::string(64, '9'); },
         "the destination port is longer than 63 characters"},
        {"LongUser", [](RouteEntry &e) { e.users.push_back(std::string(128, 'u')); },
         "user 2 is longer than 127 characters"},
        {"LongServer", [](RouteEntry &e) { e.servers = {{std::string(251, 'h'), "1080"}}; },
         "server 1 is longer than 255 characters"},
        {"PortWithColon", [](RouteEntry &e) { e.servers.emplace_back("h", "1:2"); },
         "the port of server 2 holds \":\""},
        {"CommandColumn", [](RouteEntry &e) { e.commands = "connect"; },
         "the command column is not \"-\""},
    };
    for (const Case &c : cases) {
        RouteEntry entry = RouteEntry::ServerRoute("h", "1080", 4, "d", "p");
        c.change(entry);
        XrCfgProxy record;
        std::string problem;
        int built = entry.BuildRecord(&record, &problem);
        EXPECT_EQ(built, c.problem ? -1 : 0) << c.name;
        EXPECT_EQ(problem, c.problem ? c.problem : "") << c.name;
        if (built == 0) {
            EXPECT_EQ(std::string(record.destination), entry.destination) << c.name;
        }
        XrCfgFreeRecord(XR_CFG_KIND_PROXY, &record);
    }
}

TEST(RouteEntry, GbindRecordHasNoCommandColumn)
{
    RecordFixture file(XR_CFG_RULE_GBIND, {"gb:1080"}, {});
    RouteEntry entry = RouteEntry::FromRecord(file.record);
    XrCfgProxy record;
    ASSERT_EQ(entry.BuildRecord(&record), 0);
    EXPECT_STREQ(record.leadField, "");
    EXPECT_EQ(record.nameCount, 0);
    XrCfgFreeRecord(XR_CFG_KIND_PROXY, &record);
}

TEST(RouteEntry, DirectRecordCarriesNoServerList)
{
    RouteEntry entry = RouteEntry::DirectRoute("10.0.0.0", "-");
    entry.servers.emplace_back("ignored", "1080");
    XrCfgProxy record;
    ASSERT_EQ(entry.BuildRecord(&record), 0);
    EXPECT_EQ(record.serverCount, 0);
    EXPECT_EQ(record.serverList, nullptr);
    XrCfgFreeRecord(XR_CFG_KIND_PROXY, &record);
}

}
