// Configuration import and export through the real reader and writer, the real registry, real
// files and, for URLs, WinINet against a server on 127.0.0.1.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ClientSettings.h"
#include "ConfigExchange.h"
#include "Seams.h"
#include "http_server.h"
#include "installed_client.h"
#include "nt/regutil.h"
#include "regnames.h"
#include "tls_server.h"
#include "xrimpl.h"

namespace {

std::vector<std::string> g_shown;

void RecordError(const char *title, const char *what, const char *cause)
{
    g_shown.push_back(std::string(title) + "|" + what + "|" + cause);
}

int RecordMessage(HWND, const char *text, const char *caption, UINT)
{
    g_shown.push_back(std::string("message ") + caption + "|" + text);
    return IDOK;
}

const char kExchangeFile[] = "set 0=2\n"
                             "set 2=1\n"
                             "set 3=1\n"
                             "set 5=1\n"
                             "socks5 - 10.0.0.0/8 - - proxy.example:1080\n"
                             "noproxy - intranet.example - -\n"
                             "localdns corp.example\n"
                             "localdns lab.example\n"
                             "remotedns far.example\n"
                             "yes C:\\Tools\\browser.exe\n"
                             "no C:\\Tools\\updater.exe\n";

class ConfigExchangeTest : public InstalledClientTest {
protected:
    void SetUp() override
    {
        InstalledClientTest::SetUp();
        g_shown.clear();
        saved_ = g_shellSeams;
        g_shellSeams.errorDialog = RecordError;
        g_shellSeams.messageBox = RecordMessage;
        // WinINet would otherwise take a proxy from the environment.
        for (const char *name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "no_proxy"})
            SetEnvironmentVariableA(name, nullptr);
        Write("client.cfg", "socks4 - - - - old.example:1080\n");
        Write("apps.cfg", "yes C:\\Old\\app.exe\n");
        SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 0);
        SetNumber(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD, 0);
        settings_.Load();
    }
    void TearDown() override
    {
        g_shellSeams = saved_;
        InstalledClientTest::TearDown();
    }

    // Everything an import may change.
    std::string State()
    {
        return ClientKeySnapshot() + Read(ConfigFile()) + Read(ApplicationFile()) + Settings();
    }
    std::string Settings()
    {
        std::string text = std::to_string(settings_.servers.size()) + " routes, dns " + std::to_string(settings_.dnsMode)
                           + " [" + settings_.localDns + "][" + settings_.remoteDns + "]";
        for (const PathList *list : {&settings_.includeList, &settings_.excludeList})
            for (const std::string &path : *list)
                text += " " + path;
        return text;
    }

    ClientSettings settings_;
    ShellSeams saved_;
};

TEST_F(ConfigExchangeTest, FileImportTakesEverythingOverAndStoresItAtOnce)
{
    ASSERT_TRUE(ImportFromFile(settings_, Write("exchange.cfg", kExchangeFile).c_str()));
    EXPECT_TRUE(g_shown.empty());

    EXPECT_EQ("2", Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_SUPPORT_MULTIPLE_SERVER));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD));
    EXPECT_EQ("<missing>", Value(XR_CLIENT_KEY, XR_VALUE_SOCKSIFY_ALL)); // no entry: unchanged
    EXPECT_EQ("corp.example lab.example ", Value(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS));
    EXPECT_EQ("far.example ", Value(XR_CLIENT_KEY, XR_VALUE_REMOTE_DNS_DOMAINS));

    std::string config = Read(ConfigFile());
    EXPECT_NE(std::string::npos, config.find("socks5 - 10.0.0.0/8 - - proxy.example:1080")) << config;
    EXPECT_NE(std::string::npos, config.find("noproxy - intranet.example - -")) << config;
    EXPECT_EQ(std::string::npos, config.find("old.example")) << config;
    std::string apps = Read(ApplicationFile());
    EXPECT_NE(std::string::npos, apps.find("yes C:\\Tools\\browser.exe")) << apps;
    EXPECT_NE(std::string::npos, apps.find("no C:\\Tools\\updater.exe")) << apps;
    EXPECT_EQ(std::string::npos, apps.find("Old")) << apps;

    EXPECT_FALSE(settings_.serversChanged || settings_.applicationsChanged || settings_.dnsChanged);
    EXPECT_EQ(2u, settings_.servers.size());
}

struct BadImport {
    const char *name;
    const char *text;
    const char *cause; // part of the possible cause shown
};

const BadImport kBadImports[] = {
    {"SwitchOutOfRange", "socks5 - - - - s:1\nset 3=2\n", "setting 3 has the value \"2\""},
    {"DnsModeOutOfRange", "set 0=3\n", "setting 0 has the value \"3\""},
    {"SwitchNotANumber", "yes C:\\a.exe\nset 4=on\n", "setting 4 has the value \"on\""},
    {"UnreadableLine", "yes C:\\a.exe\nsocks5 - d p n\n", "not a valid import file"},
    {"MissingFile", nullptr, "Either the file does not exist"},
};

class BadImportTest : public ConfigExchangeTest, public ::testing::WithParamInterface<BadImport> {};

TEST_P(BadImportTest, FailedImportChangesNothing)
{
    std::string before = State();
    std::string path = GetParam().text ? Write("exchange.cfg", GetParam().text) : Path("none.cfg");
    EXPECT_FALSE(ImportFromFile(settings_, path.c_str()));
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_EQ(0u, g_shown[0].find("Ferrowin Client|Could not open import file.|")) << g_shown[0];
    EXPECT_NE(std::string::npos, g_shown[0].find(GetParam().cause)) << g_shown[0];
    EXPECT_EQ(before, State());
}

INSTANTIATE_TEST_SUITE_P(Files, BadImportTest, ::testing::ValuesIn(kBadImports),
                         [](const ::testing::TestParamInfo<BadImport> &info) { return info.param.name; });

struct UrlCase {
    const char *name;
    LoopbackHttpServer::Mode mode;
    int status;
    const char *body;
    const char *shown; // "" when the import succeeds
};

const char kDenied[] = "Ferrowin Client|Access denied by web server.|The URL is incorrect or the server was not "
                       "configured correctly.";
const char kNoFile[] = "Ferrowin Client|Could not find configuration file on web server.|Error: ( ";

const UrlCase kUrlCases[] = {
    {"Ok", LoopbackHttpServer::Mode::Respond, 200, kExchangeFile, ""},
    {"Unauthorized", LoopbackHttpServer::Mode::Respond, 401, "no", kDenied},
    {"Forbidden", LoopbackHttpServer::Mode::Respond, 403, "no", kDenied},
    {"NotFound", LoopbackHttpServer::Mode::Respond, 404, "no",
     "Ferrowin Client|The URL was not found.|The URL is incorrect or the server was not configured correctly."},
    {"RedirectNotFollowed", LoopbackHttpServer::Mode::Respond, 302, "",
     "Ferrowin Client|The URL was not found.|Server returned status code: 302."},
    {"ServerError", LoopbackHttpServer::Mode::Respond, 500, "oops",
     "Ferrowin Client|The URL was not found.|Server returned status code: 500."},
    {"JunkBody", LoopbackHttpServer::Mode::Respond, 200, "\x01\x02 socks9 ### {{{\n\xff\xfe",
     "Ferrowin Client|Could not open import file.|"},
    {"ClosesEarly", LoopbackHttpServer::Mode::CloseEarly, 200, "", kNoFile},
    {"NeverAnswers", LoopbackHttpServer::Mode::NeverAnswer, 200, "", kNoFile},
};

class UrlImportTest : public ConfigExchangeTest, public ::testing::WithParamInterface<UrlCase> {};

TEST_P(UrlImportTest, AnswerOfTheServerDecidesTheImport)
{
    const UrlCase &c = GetParam();
    LoopbackHttpServer server;
    server.SetMode(c.mode);
    server.Respond(c.status, c.body, c.status == 302 ? "Location: /elsewhere\r\n" : "");
    std::string before = State();
    int socksifyCalls = XrImplSocksifyCalls();

    // Typed without a scheme: "http://" goes in front.
    bool imported = ImportUrlWithPrefix(settings_, ("127.0.0.1:" + std::to_string(server.Port()) + "/cfg").c_str());

    EXPECT_EQ(1, XrImplGetSocksify());
    EXPECT_EQ(socksifyCalls + 2, XrImplSocksifyCalls());
    if (!*c.shown) {
        EXPECT_TRUE(imported);
        EXPECT_TRUE(g_shown.empty()) << g_shown[0];
        EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
        EXPECT_NE(std::string::npos, Read(ConfigFile()).find("proxy.example:1080"));
        std::string request = server.LastRequest();
        EXPECT_EQ(0u, request.find("GET /cfg HTTP/1.1\r\n")) << request;
        EXPECT_NE(std::string::npos, request.find("User-Agent: QVClient\r\n")) << request;
        EXPECT_NE(std::string::npos, request.find("Accept: text/*\r\n")) << request;
        return;
    }
    EXPECT_FALSE(imported);
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_EQ(0u, g_shown[0].find(c.shown)) << g_shown[0];
    EXPECT_EQ(before, State());
    EXPECT_EQ(1, server.Requests());
}

INSTANTIATE_TEST_SUITE_P(Http, UrlImportTest, ::testing::ValuesIn(kUrlCases),
                         [](const ::testing::TestParamInfo<UrlCase> &info) { return info.param.name; });

TEST_F(ConfigExchangeTest, OversizedResponseFailsTheImport)
{
    LoopbackHttpServer server;
    server.Respond(200, std::string(5 * 1024 * 1024, '#'));
    std::string before = State();
    EXPECT_FALSE(ImportFromUrl(settings_, server.Url("/big").c_str(), false));
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_NE(std::string::npos, g_shown[0].find("too large")) << g_shown[0];
    EXPECT_EQ(before, State());
}

TEST_F(ConfigExchangeTest, SchemeDecidesWhetherAUrlIsTried)
{
    LoopbackHttpServer server;
    server.Respond(200, kExchangeFile);
    std::string port = std::to_string(server.Port());
    // A scheme in capitals is kept; another scheme is refused without a request.
    EXPECT_TRUE(ImportUrlWithPrefix(settings_, ("HTTP://127.0.0.1:" + port + "/cfg").c_str()));
    EXPECT_FALSE(ImportUrlWithPrefix(settings_, ("ftp://127.0.0.1:" + port + "/cfg").c_str()));
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_EQ("Ferrowin Client|Could not connect to the web server.|Invalid URL, URL does not beginning with http://.",
              g_shown[0]);
    EXPECT_EQ(1, server.Requests());
}

TEST_F(ConfigExchangeTest, ExportCarriesTheSwitchesToAnotherMachine)
{
    ASSERT_TRUE(ImportFromFile(settings_, Write("exchange.cfg", kExchangeFile).c_str()));
    SetNumber(XR_CLIENT_KEY, XR_VALUE_ALLOW_SAVE_CREDENTIAL, 1);
    std::string exported = Path("export.cfg");
    ASSERT_TRUE(ExportToFile(settings_, exported.c_str()));
    std::string text = Read(exported);
    for (const char *line : {"set 0=2", "set 2=1", "set 3=1", "set 5=1", "set 6=1", "localdns corp.example",
                             "localdns lab.example", "remotedns far.example", "yes C:\\Tools\\browser.exe",
                             "socks5 - 10.0.0.0/8 - - proxy.example:1080"})
        EXPECT_NE(std::string::npos, text.find(line)) << line << " in\n" << text;

    // The other machine: nothing set yet.
    for (const char *name : {XR_VALUE_ENABLE_DNS_PROXY, XR_VALUE_SUPPORT_MULTIPLE_SERVER, XR_VALUE_USE_AUTHENTICATION,
                             XR_VALUE_PROXY_METHOD, XR_VALUE_ALLOW_SAVE_CREDENTIAL})
        SetNumber(XR_CLIENT_KEY, name, 0);
    ClientSettings other;
    other.Load();
    ASSERT_TRUE(ImportFromFile(other, exported.c_str()));
    EXPECT_EQ("2", Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_ALLOW_SAVE_CREDENTIAL));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD));
    EXPECT_TRUE(g_shown.empty());
}

// Without the client key there is no installation to import into or export from: each says so,
// and nothing changes.
TEST_F(ConfigExchangeTest, MissingClientKeyStopsImportAndExport)
{
    std::string exchange = Write("exchange.cfg", kExchangeFile);
    std::string before = Read(ConfigFile()) + Read(ApplicationFile()) + Settings();
    ASSERT_EQ(0, XrRegDeleteTree(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, nullptr));

    EXPECT_FALSE(ImportFromFile(settings_, exchange.c_str()));
    EXPECT_FALSE(ExportToFile(settings_, Path("export.cfg").c_str()));
    std::vector<std::string> expected
        = {"Ferrowin Client|Could not retrieve path to application list file.|The program was not installed correctly.",
           "Ferrowin Client|Could not get path for application list file.|The program was not installed correctly."};
    EXPECT_EQ(expected, g_shown);
    EXPECT_EQ(before, Read(ConfigFile()) + Read(ApplicationFile()) + Settings());
    EXPECT_EQ("<missing>", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
}

// An entry that the file format cannot hold (a path that begins with a blank would read back
// without it) is reported; the export goes on with the next section.
TEST_F(ConfigExchangeTest, ExportReportsAnEntryItCannotAdd)
{
    settings_.includeList = {"C:\\Tools\\first.exe", " C:\\Tools\\blank.exe"};
    std::string exported = Path("export.cfg");
    EXPECT_TRUE(ExportToFile(settings_, exported.c_str()));
    EXPECT_EQ(std::vector<std::string>{"message Ferrowin Client|Save Failed!(InfoAdd)"}, g_shown);
    std::string text = Read(exported);
    EXPECT_NE(std::string::npos, text.find("yes C:\\Tools\\first.exe")) << text;
    EXPECT_EQ(std::string::npos, text.find("blank.exe")) << text;
    EXPECT_NE(std::string::npos, text.find("socks4 - - - - old.example:1080")) << text;
}

// A TLS server on loopback whose self-signed certificate nothing trusts: the https URL is tried,
// with the certificate checks on, and refused with a clear cause.
TEST_F(ConfigExchangeTest, HttpsImportRefusesAnUntrustedServer)
{
    Write("exchange.cfg", kExchangeFile);
    LoopbackTlsServer server(dir_, LoopbackTlsServer::Certificate::SelfSigned);
    ASSERT_TRUE(server.Ready());
    std::string before = State();
    EXPECT_FALSE(ImportUrlWithPrefix(settings_, server.Url("exchange.cfg").c_str()));
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_EQ("Ferrowin Client|Could not find configuration file on web server.|The web server's certificate is "
              "not trusted. Error: ( 12045 ) ",
              g_shown[0]);
    EXPECT_EQ(before, State());
}

}
