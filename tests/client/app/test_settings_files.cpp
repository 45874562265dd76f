#include "ClientSettings.h"

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
    std::string logPath = Path("settings.log");
    XrLogParams params = {XR_LOG_VERSION, "settings test", logPath.c_str(), 16384,
                          XR_LOG_POLICY_STOP, nullptr, nullptr};
    ASSERT_EQ(XrLogOpen(XrLogProcessHandle(), XR_LOG_FILE, XR_LOG_DETAIL, &params), 0);
    ClientSettings settings;
    settings.servers.push_back(RouteEntry::ServerRoute("gate", "1080", 5, "-", "-"));
    EXPECT_EQ(settings.SaveServers(path.c_str()), XR_SETTINGS_OPEN_FAILED);
    XrLogClose(XrLogProcessHandle());
    EXPECT_EQ(Read(path), old);
    std::string logged = Read(logPath);
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

TEST_F(ApplicationListFile, SaveWritesTheListsWithTheMachinesSystemListAndSkipsLongPaths)
{
    std::string kept = "C:\\" + std::string(248, 'k') + ".exe";
    std::string tooLong = "C:\\" + std::string(249, 'l') + ".exe";
    ASSERT_EQ(kept.size(), 255u);
    std::string path = Write("apps.cfg", "sys C:\\stale.exe\n");
    ClientSettings settings;
    settings.includeList = {"C:\\Program Files\\Mail\\mail.exe", tooLong, kept};
    settings.excludeList = {"C:\\Tools\\ftp.exe"};
    settings.systemList = {"C:\\stale.exe"};
    ASSERT_EQ(settings.SaveApplicationLists(path.c_str()), 0);
    EXPECT_EQ(Read(path), Crlf("yes C:\\Program Files\\Mail\\mail.exe\n"
                               "yes "
                               + kept
                               + "\n"
                                 "no C:\\Tools\\ftp.exe\n"
                               + SystemLines()));
    EXPECT_EQ(settings.includeList.size(), 3u);
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

}
