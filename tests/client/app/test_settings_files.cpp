#include "ClientSettings.h"

#include <stdio.h>

#include <random>
#include <string>
#include <vector>

#include "nt/nt_log.h"
#include "settings_fixture.h"

namespace {

using ServerListFile = SettingsTest;
using ApplicationListFile = SettingsTest;

// The "sys" lines that a write produces on this machine now.
std::string SystemLines()
{
    ClientSettings machine;
    machine.RebuildSystemList();
    std::string lines;
    for (const std::string &path : machine.systemList)
        lines += "sys " + path + "\n";
    return lines;
}

void ExpectLogged(const std::string &logged, const std::string &what, const std::string &path,
                  const std::string &reason)
{
    std::string line = "Settings: " + what + " cannot be written to " + path + ": " + reason;
    EXPECT_NE(logged.find(line), std::string::npos) << line << "\n" << logged;
}

TEST_F(ServerListFile, AdjacentAlikeRoutesComeBackAsOneRule)
{
    std::string path = Write("socks.cfg", "socks5 - - - - a:1080\n"
                                          "socks5 - - - - b:1081\n"
                                          "noproxy - 10.0.0.0 - -\n"
                                          "noproxy - 10.0.0.0 - -\n"
                                          "socks4 - 10.2.0.0 80 - c\n"
                                          "socks5 - 10.2.0.0 80 - d\n"
                                          "socks5 - 10.2.0.0 81 - e\n");
    ClientSettings settings;
    ASSERT_EQ(settings.ReadServers(path.c_str()), 0);
    ASSERT_EQ(settings.servers.size(), 7u);

    ASSERT_EQ(settings.SaveServers(path.c_str()), 0);

    EXPECT_EQ(Read(path), Crlf("socks5 - - - - a:1080,b:1081\n"
                               "noproxy - 10.0.0.0 - - \n"
                               "noproxy - 10.0.0.0 - - \n"
                               "socks4 - 10.2.0.0 80 - c:1080\n"
                               "socks5 - 10.2.0.0 80 - d:1080\n"
                               "socks5 - 10.2.0.0 81 - e:1080\n"));
    ASSERT_EQ(settings.servers.size(), 6u);
    EXPECT_EQ(settings.servers[0].servers,
              (std::vector<RouteServer> {{"a", "1080"}, {"b", "1081"}}));
}

TEST_F(ServerListFile, RuleIsWrittenBackWithDashCommandColumn)
{
    std::string path = Write("socks.cfg", "socks4 connect 10.1.0.0 80 alice,bob h:1080\n");
    ClientSettings settings;
    ASSERT_EQ(settings.ReadServers(path.c_str()), 0);
    ASSERT_EQ(settings.SaveServers(path.c_str()), 0);
    EXPECT_EQ(Read(path), Crlf("socks4 - 10.1.0.0 80 alice,bob h:1080\n"));
}

TEST_F(ServerListFile, OtherSectionsOfTheFileAreKept)
{
    std::string path = Write("socks.cfg", "remotedns corp.example\n"
                                          "set retries=3\n"
                                          "socks5 - - - - old:1080\n"
                                          "yes C:\\Apps\\mail.exe\n");
    ClientSettings settings;
    settings.servers.push_back(RouteEntry::ServerRoute("new", "1081", 5, "-", "-"));
    ASSERT_EQ(settings.SaveServers(path.c_str()), 0);
    EXPECT_EQ(Read(path), Crlf("set retries=3\n"
                               "socks5 - - - - new:1081\n"
                               "remotedns corp.example\n"
                               "yes C:\\Apps\\mail.exe\n"));
}

TEST_F(ServerListFile, MissingFileIsCreatedByTheFirstSave)
{
    ClientSettings settings;
    settings.servers.push_back(RouteEntry::DirectRoute("127.0.0.1", "-"));
    settings.servers.push_back(RouteEntry::ServerRoute("gate", "", 4, "-", "-"));
    ASSERT_EQ(settings.SaveServers(Path("new.cfg").c_str()), 0);
    EXPECT_EQ(Read(Path("new.cfg")), Crlf("noproxy - 127.0.0.1 - - \n"
                                          "socks4 - - - - gate\n"));
}

TEST_F(ServerListFile, UnreadableFileIsReplacedByTheServerListAndKeptAsBackup)
{
    const std::string old = "set retries=3\nsocks5 - - - -\n";
    std::string path = Write("socks.cfg", old);
    ClientSettings settings;
    EXPECT_EQ(settings.ReadServers(path.c_str()), XR_SETTINGS_OPEN_FAILED);
    settings.servers.push_back(RouteEntry::ServerRoute("gate", "1080", 5, "-", "-"));
    ASSERT_EQ(settings.SaveServers(path.c_str()), 0);
    EXPECT_EQ(Read(path), Crlf("socks5 - - - - gate:1080\n"));
    EXPECT_EQ(Read(path + ".bak"), old);
}

TEST_F(ServerListFile, UnreadableFileThatCannotBeKeptStaysAsItWasAndTheLogSaysWhy)
{
    const std::string old = "set retries=3\nsocks5 - - - -\n";
    std::string path = Write("socks.cfg", old);
    // A folder where the copy would go makes the copy fail.
    ASSERT_TRUE(CreateDirectoryA((path + ".bak").c_str(), nullptr));
    LogToFile();
    ClientSettings settings;
    settings.servers.push_back(RouteEntry::ServerRoute("gate", "1080", 5, "-", "-"));
    EXPECT_EQ(settings.SaveServers(path.c_str()), XR_SETTINGS_OPEN_FAILED);
    std::string logged = LoggedText();
    EXPECT_EQ(Read(path), old);
    EXPECT_NE(logged.find("Settings: cannot keep a copy of " + path + ": "), std::string::npos)
        << logged;
    EXPECT_EQ(logged.find("%m"), std::string::npos) << logged;
}

TEST_F(ServerListFile, FileInMissingFolderFailsToOpen)
{
    ClientSettings settings;
    std::string path = Path("missing\\socks.cfg");
    EXPECT_EQ(settings.ReadServers(path.c_str()), XR_SETTINGS_OPEN_FAILED);
    EXPECT_EQ(settings.SaveServers(path.c_str()), XR_SETTINGS_OPEN_FAILED);
    EXPECT_TRUE(settings.servers.empty());
}

TEST_F(ApplicationListFile, ListsAreReadByKindAndReplaceWhatWasThere)
{
    std::string path = Write("apps.cfg", "yes C:\\Program Files\\Mail\\mail.exe\n"
                                         "no C:\\Tools\\ftp.exe\n"
                                         "sys C:\\WINNT\\svc.exe\n"
                                         "yes C:\\web.exe\n");
    ClientSettings settings;
    settings.includeList = {"C:\\old.exe"};
    settings.excludeList = {"C:\\old.exe"};
    ASSERT_EQ(settings.ReadApplicationLists(path.c_str()), 0);
    EXPECT_EQ(settings.includeList,
              (PathList {"C:\\Program Files\\Mail\\mail.exe", "C:\\web.exe"}));
    EXPECT_EQ(settings.excludeList, PathList {"C:\\Tools\\ftp.exe"});
    EXPECT_EQ(settings.systemList, PathList {"C:\\WINNT\\svc.exe"});
}

TEST_F(ApplicationListFile, SaveWritesTheListsWithTheMachinesSystemList)
{
    std::string longest = "C:\\" + std::string(248, 'k') + ".exe";
    ASSERT_EQ(longest.size(), 255u);
    std::string path = Write("apps.cfg", "sys C:\\stale.exe\n");
    ClientSettings settings;
    settings.includeList = {"C:\\Program Files\\Mail\\mail.exe", longest};
    settings.excludeList = {"C:\\Tools\\ftp.exe"};
    settings.systemList = {"C:\\stale.exe"};
    ASSERT_EQ(settings.SaveApplicationLists(path.c_str()), 0);
    EXPECT_EQ(Read(path), Crlf("yes C:\\Program Files\\Mail\\mail.exe\n"
                               "yes "
                               + longest
                               + "\n"
                                 "no C:\\Tools\\ftp.exe\n"
                               + SystemLines()));
}

TEST_F(ApplicationListFile, RefreshRewritesOnlyTheSystemList)
{
    ClientSettings settings;
    EXPECT_EQ(settings.RefreshSystemList(), -1);
    settings.applicationFile = Write("apps.cfg", "no C:\\Tools\\ftp.exe\n"
                                                 "sys C:\\stale.exe\n");
    ASSERT_EQ(settings.RefreshSystemList(), 0);
    EXPECT_EQ(settings.excludeList, PathList {"C:\\Tools\\ftp.exe"});
    EXPECT_EQ(Read(settings.applicationFile), Crlf("no C:\\Tools\\ftp.exe\n" + SystemLines()));
}


TEST_F(ServerListFile, AdjacentRoutesOfDifferentUsersStayApart)
{
    std::string path = Write("socks.cfg", "socks5 - d p alice s1\n"
                                          "socks5 - d p bob s2\n"
                                          "socks5 - d p bob s3\n");
    ClientSettings settings;
    ASSERT_EQ(settings.ReadServers(path.c_str()), 0);
    ASSERT_EQ(settings.SaveServers(path.c_str()), 0);
    EXPECT_EQ(Read(path), Crlf("socks5 - d p alice s1:1080\n"
                               "socks5 - d p bob s2:1080,s3:1080\n"));
}

// What the settings cannot write so that it reads back fails the save with the entry and the
// field named in the log, and the file stays byte for byte.
TEST_F(ServerListFile, RouteThatCannotBeWrittenFailsTheSaveAndLeavesTheFile)
{
    struct Case {
        RouteEntry (*make)();
        const char *reason;
    } cases[] = {
        // A direct connection of the older product: network and mask with a blank between.
        {[] { return RouteEntry::DirectRoute("10.0.0.0 255.0.0.0", "-"); },
         "the destination holds white space"},
        {[] { return RouteEntry::ServerRoute("gw1", "1080", 5, "10.0.0.0 8", "-"); },
         "the destination holds white space"},
        {[] { return RouteEntry::ServerRoute("gw1", "1080", 5, "", "-"); }, "the destination is empty"},
        {[] { return RouteEntry::ServerRoute("gw1", "1080", 5, "-", "8\n0"); },
         "the destination port holds white space"},
        {[] { return RouteEntry::ServerRoute("gw 1", "1080", 5, "-", "-"); },
         "the server list holds white space or \",\""},
        {[] {
             RouteEntry route = RouteEntry::ServerRoute("gw1", "1080", 5, "-", "-");
             route.users = {"alice,bob"};
             return route;
         },
         "the name list holds white space or \",\""},
        {[] { return RouteEntry::ServerRoute("gw1", "1080", 5, std::string(256, 'd'), "-"); },
         "the destination is longer than 255 characters"},
    };
    const std::string old = "# kept by hand\nset retries=3\nsocks5 - - - - gate:1080\n";
    std::string path = Write("socks.cfg", old);
    LogToFile();
    for (const Case &c : cases) {
        ClientSettings settings;
        settings.servers = {RouteEntry::DirectRoute("127.0.0.1", "-"), c.make()};
        EXPECT_EQ(settings.SaveServers(path.c_str()), XR_SETTINGS_ADD_FAILED) << c.reason;
        EXPECT_EQ(Read(path), old) << c.reason;
    }
    std::string logged = LoggedText();
    EXPECT_EQ(Read(path + ".bak"), "");
    for (const Case &c : cases)
        ExpectLogged(logged, "route 2", path, c.reason);
}

TEST_F(ApplicationListFile, PathThatCannotBeWrittenFailsTheSaveAndLeavesTheFile)
{
    struct Case {
        bool exclude;
        std::string path;
        const char *reason;
    } cases[] = {
        {false, "   ", "the application name begins with white space"},
        {false, " C:\\lead.exe", "the application name begins with white space"},
        {true, "", "the application name is empty"},
        {true, "C:\\a\nb.exe", "the application name holds a line break"},
        {false, "C:\\" + std::string(249, 'l') + ".exe", "it is longer than 255 characters"},
    };
    const std::string old = "yes C:\\keep.exe\nno C:\\other.exe\nsys C:\\svc.exe\n";
    std::string path = Write("apps.cfg", old);
    LogToFile();
    for (const Case &c : cases) {
        ClientSettings settings;
        settings.includeList = {"C:\\mail.exe"};
        settings.excludeList = {"C:\\ftp.exe"};
        (c.exclude ? settings.excludeList : settings.includeList).push_back(c.path);
        EXPECT_EQ(settings.SaveApplicationLists(path.c_str()), XR_SETTINGS_ADD_FAILED) << c.reason;
        EXPECT_EQ(Read(path), old) << c.reason;
    }
    std::string logged = LoggedText();
    EXPECT_EQ(Read(path + ".bak"), "");
    for (const Case &c : cases)
        ExpectLogged(logged, c.exclude ? "exclude list path 2" : "include list path 2", path, c.reason);
}

// A save that cannot be made (a read-only file) fails with the save result and leaves the file.
TEST_F(SettingsTest, ReadOnlyFilesAreLeftAsTheyWere)
{
    const std::string config = "socks5 - - - - gate:1080\n", apps = "yes C:\\keep.exe\n";
    std::string configPath = Write("socks.cfg", config), appPath = Write("apps.cfg", apps);
    for (const std::string &path : {configPath, appPath})
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ClientSettings settings;
    settings.servers.push_back(RouteEntry::ServerRoute("new", "1081", 5, "-", "-"));
    settings.includeList = {"C:\\new.exe"};
    EXPECT_EQ(settings.SaveServers(configPath.c_str()), XR_SETTINGS_SAVE_FAILED);
    EXPECT_EQ(settings.SaveApplicationLists(appPath.c_str()), XR_SETTINGS_SAVE_FAILED);
    EXPECT_EQ(Read(configPath), config);
    EXPECT_EQ(Read(appPath), apps);
    for (const std::string &path : {configPath, appPath})
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Text in another encoding, or with a NUL byte, cannot be read as lines: it is kept as the
// backup before the save replaces it, like any file that cannot be read.
TEST_F(SettingsTest, FileThatIsNotEightBitTextIsKeptAsBackup)
{
    std::string wide;
    for (char c : std::string("\xff\xfesocks5 - - - - old:1080\r\n"))
        wide += std::string(1, c) + (c == '\xff' || c == '\xfe' ? "" : std::string(1, '\0'));
    const std::string withNul = std::string("yes C:\\a.exe\nyes C:\\b") + '\0' + "c.exe\nyes C:\\d.exe\n";
    std::string configPath = Write("socks.cfg", wide), appPath = Write("apps.cfg", withNul);
    ClientSettings settings;
    EXPECT_EQ(settings.ReadServers(configPath.c_str()), XR_SETTINGS_OPEN_FAILED);
    EXPECT_EQ(settings.ReadApplicationLists(appPath.c_str()), XR_SETTINGS_OPEN_FAILED);
    settings.servers.push_back(RouteEntry::ServerRoute("gate", "1080", 5, "-", "-"));
    settings.includeList = {"C:\\new.exe"};
    ASSERT_EQ(settings.SaveServers(configPath.c_str()), 0);
    ASSERT_EQ(settings.SaveApplicationLists(appPath.c_str()), 0);
    EXPECT_EQ(Read(configPath + ".bak"), wide);
    EXPECT_EQ(Read(appPath + ".bak"), withNul);
    EXPECT_EQ(Read(configPath), Crlf("socks5 - - - - gate:1080\n"));
}

// Texts for the settings' fields: mostly plain, now and then with blanks, commas, quotes, line
// breaks, Ctrl-Z, empty or longer than any record field.
class SettingsGenerator {
public:
    explicit SettingsGenerator(uint32_t seed) : random_(seed) {}

    int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool OneIn(int n) { return Number(1, n) == 1; }

    std::string Text(const char *plain)
    {
        static const char kHostile[] = " \t\r\n,\"#=:\x1a\xe9";
        if (OneIn(25))
            return "";
        if (OneIn(25))
            return std::string(Number(250, 300), 'x');
        std::string text = plain;
        for (int i = Number(0, 2); i > 0 && OneIn(3); i--)
            text.insert(Number(0, static_cast<int>(text.size())), 1, kHostile[Number(0, sizeof kHostile - 2)]);
        return text;
    }

private:
    std::mt19937 random_;
};

// One save of generated settings: it works and check() finds the file read back as the
// settings, or it refuses an entry and the file stays byte for byte.
struct SaveOutcomes {
    int saved = 0, refused = 0;

    template <typename Saver, typename Checker>
    void Save(const std::string &path, int iteration, Saver save, Checker check)
    {
        SCOPED_TRACE("iteration " + std::to_string(iteration));
        std::string before = SettingsTest::Read(path);
        int result = save();
        if (result == 0) {
            saved++;
            check();
            return;
        }
        refused++;
        EXPECT_EQ(result, XR_SETTINGS_ADD_FAILED);
        EXPECT_EQ(SettingsTest::Read(path), before);
    }
};

std::vector<std::string> Describe(const std::vector<RouteEntry> &routes)
{
    std::vector<std::string> lines;
    for (const RouteEntry &route : routes) {
        std::string line = std::to_string(route.kind) + "|" + route.destination + "|" + route.destPort + "|"
                           + route.commands + "|";
        for (const std::string &user : route.users)
            line += user + ";";
        for (const RouteServer &server : route.servers)
            line += "|" + server.first + ":" + server.second;
        lines.push_back(line);
    }
    return lines;
}

// Whatever server list the settings hold: the save writes a file whose routes read back as the
// list (as the save left it: merged), or it fails and the file stays byte for byte.
TEST_F(ServerListFile, GeneratedServerListsReadBackOrTheFileStays)
{
    SettingsGenerator generator(20250117);
    std::string path = Write("socks.cfg", "set retries=3\nremotedns corp.example\n");
    SaveOutcomes outcomes;
    for (int iteration = 0; iteration < 150; iteration++) {
        ClientSettings settings;
        for (int i = generator.Number(0, 5); i > 0; i--) {
            // Now and then the next route of the same users, so that the merge has work.
            if (!settings.servers.empty() && generator.OneIn(4)) {
                RouteEntry next = settings.servers.back();
                next.servers = {{generator.Text("gw2"), generator.Text("1081")}};
                settings.servers.push_back(next);
                continue;
            }
            RouteEntry route;
            route.kind = generator.OneIn(10) ? generator.Number(0, 7) : generator.Number(1, 4);
            route.destination = generator.Text("10.1.0.0");
            route.destPort = generator.Text("80");
            if (generator.OneIn(10))
                route.commands = generator.Text("connect");
            for (int u = generator.Number(0, 2); u > 0; u--)
                route.users.push_back(generator.Text("alice"));
            for (int h = generator.Number(route.kind == XR_ROUTE_DIRECT ? 0 : 1, 3); h > 0; h--)
                route.servers.emplace_back(generator.Text("gw1"), generator.OneIn(4) ? "" : generator.Text("1080"));
            if (route.kind == XR_CFG_RULE_GBIND && !generator.OneIn(4))
                route.users.clear();
            settings.servers.push_back(route);
        }
        outcomes.Save(path, iteration, [&] { return settings.SaveServers(path.c_str()); }, [&] {
            ClientSettings read;
            ASSERT_EQ(read.ReadServers(path.c_str()), 0);
            EXPECT_EQ(Describe(read.servers), Describe(settings.servers));
        });
    }
    EXPECT_EQ(Read(path).find("set retries=3\r\n"), 0u);
    EXPECT_GT(outcomes.saved, 40);
    EXPECT_GT(outcomes.refused, 40);
}

// The same for the application lists: they read back (with the system list the save rebuilt),
// or the save fails and the file stays.
TEST_F(ApplicationListFile, GeneratedListsReadBackOrTheFileStays)
{
    SettingsGenerator generator(20250118);
    std::string path = Write("apps.cfg", "yes C:\\first.exe\n");
    SaveOutcomes outcomes;
    for (int iteration = 0; iteration < 50; iteration++) {
        ClientSettings settings;
        for (PathList *list : {&settings.includeList, &settings.excludeList})
            for (int i = generator.Number(0, 3); i > 0; i--)
                list->push_back(generator.Text("C:\\Program Files\\App\\app.exe"));
        outcomes.Save(path, iteration, [&] { return settings.SaveApplicationLists(path.c_str()); }, [&] {
            ClientSettings read;
            ASSERT_EQ(read.ReadApplicationLists(path.c_str()), 0);
            EXPECT_EQ(read.includeList, settings.includeList);
            EXPECT_EQ(read.excludeList, settings.excludeList);
            EXPECT_EQ(read.systemList, settings.systemList);
        });
    }
    EXPECT_GT(outcomes.saved, 10);
    EXPECT_GT(outcomes.refused, 10);
}
}
