#include "ClientSettings.h"

#include "../gui/modal_driver.h"
#include "nt/regutil.h"
#include "regnames.h"
#include "resource.h"
#include "settings_fixture.h"

namespace {

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const HKEY kUser = HKEY_CURRENT_USER;

class ClientSettingsTest : public SettingsTest {
protected:
    // An installed client whose two files hold a route and an include list.
    void Install()
    {
        configFile_ = Write("socks.cfg", "set retries=3\n"
                                         "socks5 - - - - gate:1080\n");
        appFile_ = Write("apps.cfg", "yes C:\\Apps\\mail.exe\n");
        SetString(kMachine, XR_CLIENT_KEY, XR_VALUE_CLIENT_LIBRARY_FILE, configFile_);
        SetString(kMachine, XR_CLIENT_KEY, XR_VALUE_APPLICATION_FILE, appFile_);
        SetNumber(kMachine, XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY, 2);
        SetString(kMachine, XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS, "lan.example");
        SetString(kMachine, XR_CLIENT_KEY, XR_VALUE_REMOTE_DNS_DOMAINS, "corp.example");
    }

    // The older product's settings of a user.
    static void InstallVeltrix(const char *direct, DWORD resolveType = 1)
    {
        SetString(kUser, XR_VELTRIX_CONNECTIONS_KEY, XR_VELTRIX_DIRECT_CONNECTIONS, direct);
        SetString(kUser, XR_VELTRIX_CONNECTIONS_KEY, XR_VELTRIX_SOCKS_SERVER, "old-gate");
        SetNumber(kUser, XR_VELTRIX_CONNECTIONS_KEY, XR_VELTRIX_SOCKS_PORT, 1081);
        SetNumber(kUser, XR_VELTRIX_PROTOCOL_KEY, XR_VELTRIX_SOCKS_VERSION, 5);
        SetNumber(kUser, XR_VELTRIX_PROTOCOL_KEY, XR_VELTRIX_RESOLVE_TYPE, resolveType);
        std::string profiles = XR_VELTRIX_APPPROFILES_KEY;
        SetString(kUser, (profiles + "\\mail").c_str(), XR_VELTRIX_COMMAND_PATH,
                  "C:\\Mail\\mail.exe");
        SetString(kUser, (profiles + "\\none").c_str(), "other", "x");
        SetString(kUser, (profiles + "\\web").c_str(), XR_VELTRIX_COMMAND_PATH, "C:\\Web\\web.exe");
    }

    std::string configFile_;
    std::string appFile_;
};

std::vector<std::string> Describe(const std::vector<RouteEntry> &routes)
{
    std::vector<std::string> lines;
    for (const RouteEntry &route : routes) {
        std::string line
            = std::to_string(route.kind) + " " + route.destination + " " + route.destPort;
        for (const RouteServer &server : route.servers)
            line += " " + server.first + ":" + server.second;
        lines.push_back(line);
    }
    return lines;
}

TEST_F(ClientSettingsTest, LoadEditAndSavePendingChangesWritesFilesAndRegistry)
{
    Install();
    ClientSettings settings;
    ASSERT_EQ(settings.Load(), 0);
    EXPECT_EQ(settings.configFile, configFile_);
    EXPECT_EQ(settings.applicationFile, appFile_);
    EXPECT_EQ(settings.dnsMode, 2u);
    EXPECT_EQ(settings.localDns, "lan.example");
    EXPECT_EQ(settings.remoteDns, "corp.example");
    EXPECT_EQ(Describe(settings.servers), std::vector<std::string> {"3 - - gate:1080"});
    EXPECT_EQ(settings.includeList, PathList {"C:\\Apps\\mail.exe"});

    settings.servers.insert(settings.servers.begin(), RouteEntry::DirectRoute("10.0.0.0", "-"));
    settings.servers.push_back(RouteEntry::ServerRoute("spare", "1081", 5, "-", "-"));
    settings.excludeList.push_back("C:\\Tools\\ftp.exe");
    settings.dnsMode = 1;
    settings.remoteDns = "remote.example";
    settings.serversChanged = settings.applicationsChanged = settings.dnsChanged = 1;
    ASSERT_EQ(settings.SavePendingChanges(), 0);

    EXPECT_EQ(Read(configFile_), Crlf("set retries=3\n"
                                      "noproxy - 10.0.0.0 - - \n"
                                      "socks5 - - - - gate:1080,spare:1081\n"));
    std::string apps = Read(appFile_);
    EXPECT_EQ(apps.substr(0, apps.find("sys ")), Crlf("yes C:\\Apps\\mail.exe\n"
                                                      "no C:\\Tools\\ftp.exe\n"));
    EXPECT_EQ(RawValue(kMachine, XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY),
              std::string("\1\0\0\0", 4));
    EXPECT_EQ(TextValue(kMachine, XR_CLIENT_KEY, XR_VALUE_REMOTE_DNS_DOMAINS), "remote.example");
    EXPECT_EQ(TextValue(kMachine, XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS), "lan.example");
    EXPECT_FALSE(settings.serversChanged || settings.applicationsChanged || settings.dnsChanged);
}

TEST_F(ClientSettingsTest, SavePendingChangesWithoutFlagsLeavesEverythingAlone)
{
    Install();
    std::string config
        = Write("socks.cfg", "# kept until the next save\nsocks5 - - - - gate:1080\n");
    ClientSettings settings;
    settings.Load();
    settings.servers.clear();
    settings.dnsMode = 0;
    ASSERT_EQ(settings.SavePendingChanges(), 0);
    EXPECT_EQ(Read(config), "# kept until the next save\nsocks5 - - - - gate:1080\n");
    EXPECT_EQ(Read(appFile_), "yes C:\\Apps\\mail.exe\n");
    EXPECT_EQ(RawValue(kMachine, XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY),
              std::string("\2\0\0\0", 4));
}

TEST_F(ClientSettingsTest, EmptyConfigurationPathLoadsNoServers)
{
    Install();
    SetString(kMachine, XR_CLIENT_KEY, XR_VALUE_CLIENT_LIBRARY_FILE, "");
    InstallVeltrix("10.0.0.0");
    ClientSettings settings;
    settings.Load();
    EXPECT_TRUE(settings.configFile.empty());
    EXPECT_TRUE(settings.servers.empty());
    EXPECT_EQ(settings.includeList, PathList {"C:\\Apps\\mail.exe"});
    EXPECT_FALSE(settings.serversChanged);
}

TEST_F(ClientSettingsTest, SaveDnsWritesModeAndDomains)
{
    SetString(kMachine, XR_CLIENT_KEY, XR_VALUE_APPLICATION_FILE, "");
    ClientSettings settings;
    settings.dnsMode = 2;
    settings.localDns = "a.example,b.example";
    ASSERT_EQ(settings.SaveDns(), 0);
    EXPECT_EQ(RawValue(kMachine, XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY),
              std::string("\2\0\0\0", 4));
    EXPECT_EQ(TextValue(kMachine, XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS),
              "a.example,b.example");
    EXPECT_EQ(TextValue(kMachine, XR_CLIENT_KEY, XR_VALUE_REMOTE_DNS_DOMAINS), "");
}

TEST_F(ClientSettingsTest, FreshMachineTakesOverTheOlderProductsSettings)
{
    SetString(kMachine, XR_CLIENT_KEY, XR_VALUE_CLIENT_LIBRARY_FILE, "");
    InstallVeltrix("10.0.0.0,192.168.1.1");
    ClientSettings settings;
    ASSERT_EQ(settings.Load(), 0);
    EXPECT_EQ(
        Describe(settings.servers),
        (std::vector<std::string> {"1 10.0.0.0 -", "1 192.168.1.1 -", "3 - - old-gate:1081"}));
    EXPECT_EQ(settings.dnsMode, 2u);
    EXPECT_EQ(settings.includeList, (PathList {"C:\\Mail\\mail.exe", "C:\\Web\\web.exe"}));
    EXPECT_TRUE(settings.serversChanged && settings.applicationsChanged && settings.dnsChanged);
    EXPECT_EQ(settings.lastError, 0u);
}

TEST_F(ClientSettingsTest, TakeoverSplitsDirectConnectionsAtCommas)
{
    struct Case {
        const char *direct;
        std::vector<std::string> routes;
    } cases[] = {
        {"", {"3 - - old-gate:1081"}},
        {"a.example,", {"1 a.example -", "3 - - old-gate:1081"}},
        {"a.example,,b.example", {"1 a.example -", "1 b.example -", "3 - - old-gate:1081"}},
        {"a.example, b.example", {"1 a.example -", "1 b.example -", "3 - - old-gate:1081"}},
    };
    for (const Case &c : cases) {
        InstallVeltrix(c.direct);
        ClientSettings settings;
        EXPECT_EQ(settings.TakeOverVeltrix(), 0);
        EXPECT_EQ(Describe(settings.servers), c.routes) << c.direct;
    }
}

TEST_F(ClientSettingsTest, TakeoverMapsResolveTypeToDnsMode)
{
    const DWORD cases[][2] = {{0, 0}, {1, 2}, {2, 1}, {7, 1}};
    for (const auto &c : cases) {
        InstallVeltrix("", c[0]);
        ClientSettings settings;
        settings.dnsMode = 9;
        ASSERT_EQ(settings.TakeOverVeltrix(), 0);
        EXPECT_EQ(settings.dnsMode, c[1]) << c[0];
    }
}

TEST_F(ClientSettingsTest, TakeoverWithoutTheOlderProductChangesNothing)
{
    SetString(kUser, XR_VELTRIX_CONNECTIONS_KEY, XR_VELTRIX_DIRECT_CONNECTIONS, "10.0.0.0");
    SetNumber(kUser, XR_VELTRIX_PROTOCOL_KEY, XR_VELTRIX_SOCKS_VERSION, 5);
    ClientSettings settings;
    settings.lastError = 5;
    EXPECT_EQ(settings.TakeOverVeltrix(), -1);
    EXPECT_TRUE(settings.servers.empty());
    EXPECT_EQ(settings.lastError, 5u);
    EXPECT_FALSE(settings.serversChanged || settings.applicationsChanged || settings.dnsChanged);
}

TEST_F(ClientSettingsTest, TakeoverStoppedByAMissingValueKeepsWhatItTook)
{
    InstallVeltrix("10.0.0.0");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(kUser, XR_VELTRIX_CONNECTIONS_KEY, 0, KEY_WRITE, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, XR_VELTRIX_SOCKS_PORT);
    RegCloseKey(key);
    ClientSettings settings;
    EXPECT_EQ(settings.TakeOverVeltrix(), -1);
    EXPECT_EQ(settings.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Describe(settings.servers), std::vector<std::string> {"1 10.0.0.0 -"});
    EXPECT_TRUE(settings.includeList.empty());
    EXPECT_TRUE(settings.serversChanged && settings.applicationsChanged && settings.dnsChanged);
}


// The machine as this process sees it without the client key: the local-machine hive is
// replaced, for this process only, by an empty key of the test's own.
class WithoutClientKey {
public:
    WithoutClientKey()
    {
        XrRegDeleteTree(HKEY_CURRENT_USER, kEmptyHive, nullptr);
        RegCreateKeyExA(HKEY_CURRENT_USER, kEmptyHive, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hive_, nullptr);
        overridden_ = hive_ && RegOverridePredefKey(HKEY_LOCAL_MACHINE, hive_) == ERROR_SUCCESS;
    }
    ~WithoutClientKey()
    {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        if (hive_)
            RegCloseKey(hive_);
        XrRegDeleteTree(HKEY_CURRENT_USER, kEmptyHive, nullptr);
    }
    bool Overridden() const { return overridden_; }

private:
    static constexpr const char *kEmptyHive = "Software\\Varo\\Ferrowin Settings Test Hive";
    HKEY hive_ = nullptr;
    bool overridden_ = false;
};

struct ErrorShown {
    std::string caption, what, cause;
};

// Runs action while a second thread waits for the error dialog it shows, reads it and closes it.
template <typename Action>
ErrorShown ExpectErrorDialog(Action action)
{
    ErrorShown shown;
    ModalDriver driver([&](HWND dialog) {
        shown.caption = ModalDriver::Text(dialog);
        shown.what = ModalDriver::ItemText(dialog, IDC_ERROR_WHAT);
        shown.cause = ModalDriver::ItemText(dialog, IDC_ERROR_CAUSE);
        ModalDriver::Click(dialog, IDOK);
    });
    action();
    EXPECT_TRUE(driver.Acted());
    return shown;
}

TEST_F(ClientSettingsTest, WithoutTheClientKeyLoadAndSaveDnsSayWhyAndWriteNothing)
{
    Install();
    ClientSettings settings;
    ErrorShown loading, saving;
    int saved = 0;
    {
        WithoutClientKey machine;
        ASSERT_TRUE(machine.Overridden());
        loading = ExpectErrorDialog([&] { EXPECT_EQ(settings.Load(), 0); });
        settings.dnsMode = 1;
        settings.remoteDns = "remote.example";
        saving = ExpectErrorDialog([&] { saved = settings.SaveDns(); });
    }
    for (const ErrorShown &shown : {loading, saving}) {
        EXPECT_EQ(shown.caption, "Ferrowin Client error");
        EXPECT_EQ(shown.what, "Could not open Ferrowin Client registry.");
        EXPECT_EQ(shown.cause, "The program was not installed correctly.");
    }
    // Load read no path, so no file; the installed values stay as they were.
    EXPECT_TRUE(settings.configFile.empty() && settings.applicationFile.empty());
    EXPECT_TRUE(settings.servers.empty() && settings.includeList.empty());
    EXPECT_EQ(saved, -1);
    EXPECT_EQ(RawValue(kMachine, XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY), std::string("\2\0\0\0", 4));
    EXPECT_EQ(TextValue(kMachine, XR_CLIENT_KEY, XR_VALUE_REMOTE_DNS_DOMAINS), "corp.example");
}
}
