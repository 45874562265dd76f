// The proxy pages on a sheet of its own, driven through its controls and the sheet's buttons;
// what it leaves in the configuration file and the client key is checked afterwards. Discovery
// goes through the shell's seam to a responder on 127.0.0.1.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ClientSettings.h"
#include "ProxyPage.h"
#include "Seams.h"
#include "SingleProxyPage.h"
#include "detect_responder.h"
#include "installed_client.h"
#include "page_driver.h"
#include "pages_resource.h"
#include "regnames.h"
#include "xrstr.h"

namespace {

const char kRoutes[] = "socks4 - 10.1.0.0 80 alice,bob s4.example:1081\r\n"
                       "socks5 - - - - a.example:1080,b.example:1080\r\n"
                       "noproxy - intranet.local - - \r\n"
                       "socks5 - 10.9.0.0 - - old.example:1080\r\n";

std::vector<std::string> g_messages;
std::vector<std::string> g_errors;
uint16_t g_responderPort = 0;
std::atomic<int> g_detectCalls{0};
// Runs on the page's thread when the page asks for a discovery, before the discovery itself.
std::function<void()> g_onDetect;

int RecordMessage(HWND, const char *text, const char *, UINT)
{
    g_messages.push_back(text);
    return IDOK;
}

void RecordError(const char *, const char *what, const char *)
{
    g_errors.push_back(what);
}

// The page's own request, sent to the responder instead of the subnet.
uint32_t LoopbackDetect(DetectParams *params, DetectResult *result)
{
    g_detectCalls++;
    EXPECT_EQ(1080, params->port);
    EXPECT_EQ(1, params->waitMode);
    EXPECT_EQ(0, params->useAddress);
    EXPECT_NE(nullptr, params->doneEvent);
    if (g_onDetect)
        g_onDetect();
    params->useAddress = 1;
    XrStrCopy(params->address, sizeof params->address, "127.0.0.1");
    params->port = g_responderPort;
    return DetectSocksServer(params, result);
}

class ProxyPageTest : public InstalledClientTest {
protected:
    void SetUp() override
    {
        InstalledClientTest::SetUp();
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        saved_ = g_shellSeams;
        g_shellSeams.messageBox = RecordMessage;
        g_shellSeams.errorDialog = RecordError;
        g_shellSeams.detect = LoopbackDetect;
        g_messages.clear();
        g_errors.clear();
        g_detectCalls = 0;
        g_onDetect = nullptr;
    }

    void TearDown() override
    {
        g_shellSeams = saved_;
        g_onDetect = nullptr;
        WSACleanup();
        InstalledClientTest::TearDown();
    }

    // Loads the settings as the program does and shows the page; act gets the sheet and the page
    // and must close the sheet.
    template <typename Page = ProxyPage>
    INT_PTR Show(std::function<void(HWND sheet, HWND page)> act)
    {
        settings_.Load();
        Page page(settings_);
        bool acted = false;
        INT_PTR result = ShowOnSheet(page, act, acted);
        EXPECT_TRUE(acted);
        return result;
    }

    // Opens the properties dialog with a posted command (New, or Edit) and answers it.
    static void Properties(HWND page, std::function<void()> open, std::function<void(HWND)> answer)
    {
        open();
        HWND dialog = WaitForWindow(GetWindowThreadProcessId(page, nullptr), "Proxy Properties");
        ASSERT_NE(nullptr, dialog);
        answer(dialog);
        // The page goes on with the answer once the dialog is gone; a message sent now is
        // handled after that.
        ASSERT_TRUE(WaitDestroyed(dialog));
        SendMessageA(page, WM_NULL, 0, 0);
    }

    static void FillRoute(HWND dialog, const char *server, const char *port, const char *destination,
                          const char *destPort)
    {
        Type(dialog, IDC_SERVER_NAME, server);
        Type(dialog, IDC_SERVER_PORT, port);
        Type(dialog, IDC_DEST_NAME, destination);
        Type(dialog, IDC_DEST_PORT, destPort);
    }

    ClientSettings settings_;
    ShellSeams saved_;
};

std::vector<std::string> Rows(HWND list)
{
    std::vector<std::string> rows;
    for (int row = 0; row < GridDataRows(list); row++)
        rows.push_back(GridRow(list, row));
    return rows;
}

TEST_F(ProxyPageTest, EditedRoutesReachTheFileWithTheirKindsAndUsers)
{
    Write("client.cfg", kRoutes);
    SetString(XR_CLIENT_KEY, XR_VALUE_SERVER, "10.0.0.1:1080");
    SetString(XR_RUN_KEY, XR_VALUE_STARTUP, "stale");
    std::vector<std::string> loaded, edited, afterApply;
    bool newDefaults = false, directDisablesServer = false, editShowsDirect = false;
    Show([&](HWND sheet, HWND page) {
        HWND list = GridList(page, IDC_ROUTE_GRID);
        loaded = Rows(list);
        SelectGridRow(list, 2);
        SendMessageA(page, WM_COMMAND, IDC_ROUTE_UP, 0); // b before a
        SelectGridRow(list, 0);
        SendMessageA(page, WM_COMMAND, IDC_ROUTE_UP, 0); // the first row stays
        SelectGridRow(list, 4);
        SendMessageA(page, WM_COMMAND, IDC_ROUTE_DOWN, 0); // the last row stays
        SendMessageA(page, WM_COMMAND, IDC_ROUTE_REMOVE, 0);
        Properties(page, [&] { DoubleClickGridRow(list, 3); }, [&](HWND dialog) {
            editShowsDirect = IsDlgButtonChecked(dialog, IDC_KIND_DIRECT) && !Enabled(dialog, IDC_SERVER_NAME);
            Type(dialog, IDC_DEST_NAME, "intranet.example");
            Click(dialog, IDOK);
        });
        Properties(page, [&] { PostCommand(page, IDC_ROUTE_NEW); }, [&](HWND dialog) {
            newDefaults = IsDlgButtonChecked(dialog, IDC_KIND_SOCKS5) && Enabled(dialog, IDC_SERVER_NAME) &&
                          TextOf(dialog, IDC_SERVER_NAME).empty() && TextOf(dialog, IDC_SERVER_PORT) == "1080" &&
                          TextOf(dialog, IDC_DEST_NAME) == "-" && TextOf(dialog, IDC_DEST_PORT) == "-";
            Click(dialog, IDC_KIND_DIRECT);
            directDisablesServer = !Enabled(dialog, IDC_SERVER_NAME) && !Enabled(dialog, IDC_SERVER_PORT);
            Click(dialog, IDC_KIND_SOCKS5);
            FillRoute(dialog, "c.example", "1085", "192.168.7.0", "443");
            Click(dialog, IDOK);
        });
        edited = Rows(list);
        Click(sheet, kApplyButton);
        afterApply = Rows(list);
        Click(sheet, IDCANCEL);
    });
    EXPECT_EQ((std::vector<std::string>{"s4.example|1081|10.1.0.0|80", "a.example|1080|-|-", "b.example|1080|-|-",
                                        "Direct||intranet.local|-", "old.example|1080|10.9.0.0|-"}),
              loaded);
    std::vector<std::string> expected = {"s4.example|1081|10.1.0.0|80", "b.example|1080|-|-", "a.example|1080|-|-",
                                         "Direct||intranet.example|-", "c.example|1085|192.168.7.0|443"};
    EXPECT_EQ(expected, edited);
    EXPECT_EQ(expected, afterApply);
    EXPECT_TRUE(newDefaults);
    EXPECT_TRUE(directDisablesServer);
    EXPECT_TRUE(editShowsDirect);
    // Rows of one route next to each other are one line; SOCKS4 and its users stay.
    EXPECT_EQ("socks4 - 10.1.0.0 80 alice,bob s4.example:1081\r\n"
              "socks5 - - - - b.example:1080,a.example:1080\r\n"
              "noproxy - intranet.example - - \r\n"
              "socks5 - 192.168.7.0 443 - c.example:1085\r\n",
              Read(ConfigFile()));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_CONFIGURATION_FILE));
    EXPECT_EQ("", Value(XR_CLIENT_KEY, XR_VALUE_SERVER));
    EXPECT_EQ(ConfigFile(), Value(XR_CLIENT_KEY, XR_VALUE_CLIENT_LIBRARY_FILE));
    EXPECT_EQ("<missing>", Value(XR_RUN_KEY, XR_VALUE_STARTUP));
    EXPECT_EQ(0, settings_.serversChanged);
    EXPECT_TRUE(g_messages.empty());
    EXPECT_TRUE(g_errors.empty());
}

struct BadRow {
    const char *name;
    const char *server, *port, *destination, *destPort;
    const char *message;
};

const BadRow kBadRows[] = {
    {"BlankInServer", "gate way", "1080", "-", "-", "Row 2: the server's name or address"},
    {"EmptyServer", "", "1080", "-", "-", "Row 2: the server's name or address"},
    {"ServerPortTooHigh", "gate", "65536", "-", "-", "Row 2: the server's port"},
    {"ServerPortZero", "gate", "0", "-", "-", "Row 2: the server's port"},
    {"LineBreakInDestination", "gate", "1080", "a\r\nb", "-", "Row 2: the destination address"},
    {"EmptyDestination", "gate", "1080", "", "-", "Row 2: the destination address"},
    {"DestinationPortWord", "gate", "1080", "-", "http", "Row 2: the destination port"},
};

class BadRowTest : public ProxyPageTest, public ::testing::WithParamInterface<BadRow> {};

TEST_P(BadRowTest, ApplyIsRefusedNamingRowAndFieldAndNothingIsWritten)
{
    const BadRow &bad = GetParam();
    const char routes[] = "socks5 - - - - a.example:1080\r\n";
    Write("client.cfg", routes);
    std::string before = ClientKeySnapshot();
    bool stillOpen = false, applyAvailable = false;
    Show([&](HWND sheet, HWND page) {
        Properties(page, [&] { PostCommand(page, IDC_ROUTE_NEW); }, [&](HWND dialog) {
            FillRoute(dialog, bad.server, bad.port, bad.destination, bad.destPort);
            Click(dialog, IDOK);
        });
        Click(sheet, IDOK);
        stillOpen = CurrentPage(sheet) != nullptr;
        applyAvailable = Enabled(sheet, kApplyButton);
        Click(sheet, IDCANCEL);
    });
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(0u, g_messages[0].find(bad.message)) << g_messages[0];
    EXPECT_TRUE(g_errors.empty());
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(applyAvailable);
    EXPECT_EQ(routes, Read(ConfigFile()));
    EXPECT_EQ(before, ClientKeySnapshot());
}

INSTANTIATE_TEST_SUITE_P(Rows, BadRowTest, ::testing::ValuesIn(kBadRows),
                         [](const ::testing::TestParamInfo<BadRow> &info) { return info.param.name; });

TEST_F(ProxyPageTest, FailedWriteIsReportedAndKeepsTheChange)
{
    const char routes[] = "socks5 - - - - a.example:1080\r\n";
    Write("client.cfg", routes);
    SetFileAttributesA(ConfigFile().c_str(), FILE_ATTRIBUTE_READONLY);
    bool stillOpen = false;
    Show([&](HWND sheet, HWND page) {
        Properties(page, [&] { PostCommand(page, IDC_ROUTE_NEW); }, [&](HWND dialog) {
            FillRoute(dialog, "b.example", "1080", "10.0.0.0", "-");
            Click(dialog, IDOK);
        });
        Click(sheet, IDOK);
        stillOpen = CurrentPage(sheet) != nullptr;
        Click(sheet, IDCANCEL);
    });
    SetFileAttributesA(ConfigFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(1u, g_errors.size());
    EXPECT_EQ("Could not write the proxy routes to the configuration file " + ConfigFile() + ".", g_errors[0]);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(1, settings_.serversChanged);
    EXPECT_EQ(routes, Read(ConfigFile()));
    EXPECT_EQ("<missing>", Value(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD));
}

TEST_F(ProxyPageTest, AutomaticDetectionStoresTheServerFoundAndApplyTheMethod)
{
    Write("client.cfg", kRoutes);
    DetectResponder responder;
    ASSERT_EQ(0, responder.Start(ResponderOptions()));
    g_responderPort = responder.Port();
    std::string output, shownAgain;
    bool tableHidden = false, tableBack = false;
    std::vector<std::string> rowsBack;
    Show([&](HWND sheet, HWND page) {
        Choose(page, IDC_PROXY_METHOD, 1);
        ASSERT_TRUE(WaitForText(page, IDC_PROXY_OUTPUT, "server(s).")); // the discovery has ended
        output = TextOf(page, IDC_PROXY_OUTPUT);
        tableHidden = !IsWindowVisible(GetDlgItem(page, IDC_ROUTE_GRID)) &&
                      IsWindowVisible(GetDlgItem(page, IDC_PROXY_OUTPUT));
        Click(sheet, kApplyButton);
        // Becoming active again shows what is stored.
        SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
        shownAgain = TextOf(page, IDC_PROXY_OUTPUT);
        Choose(page, IDC_PROXY_METHOD, 0);
        tableBack = IsWindowVisible(GetDlgItem(page, IDC_ROUTE_GRID)) != FALSE;
        rowsBack = Rows(GridList(page, IDC_ROUTE_GRID));
        Click(sheet, IDCANCEL);
    });
    std::string server = "127.0.0.1:" + std::to_string(g_responderPort);
    EXPECT_EQ("============================================\r\n"
              "Searching for Ferrowin server. Please wait...\r\n"
              "Found 1 server(s).\r\n"
              "Server list:\r\n\r\n"
              "1   " + server + "\r\n"
              "\r\nEnd server list.\r\n",
              output);
    EXPECT_EQ("============================================\r\n"
              "Current server list:\r\n\r\n" + server + "\r\n\r\nEnd server list.\r\n",
              shownAgain);
    EXPECT_TRUE(tableHidden);
    EXPECT_TRUE(tableBack);
    EXPECT_EQ(5u, rowsBack.size());
    EXPECT_EQ(1, g_detectCalls);
    EXPECT_EQ(server, Value(XR_CLIENT_KEY, XR_VALUE_SERVER));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_CONFIGURATION_FILE));
    EXPECT_EQ(dir_ + "\\client.exe startup", Value(XR_RUN_KEY, XR_VALUE_STARTUP));
    EXPECT_EQ(kRoutes, Read(ConfigFile()));
}

TEST_F(ProxyPageTest, DiscoveryHoldsTheSheetAndCannotStartTwice)
{
    Write("client.cfg", kRoutes);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD, 1);
    DetectResponder responder;
    ASSERT_EQ(0, responder.Start(ResponderOptions()));
    g_responderPort = responder.Port();
    HWND sheetWindow = nullptr, pageWindow = nullptr;
    std::vector<bool> during;
    g_onDetect = [&] {
        for (int id : {IDOK, IDCANCEL, kApplyButton})
            during.push_back(Enabled(sheetWindow, id));
        during.push_back(Enabled(pageWindow, IDC_PROXY_METHOD));
        during.push_back(ToolEnabled(pageWindow, IDC_DETECT_BAR, IDC_DETECT_SERVER));
        // Handled while the discovery waits.
        PostMessageA(pageWindow, RegisterWindowMessageA("WM_USER_DISCOVER"), 0, 0);
        PostMessageA(pageWindow, WM_COMMAND, MAKEWPARAM(IDC_DETECT_SERVER, BN_CLICKED), 0);
    };
    std::vector<bool> after;
    std::string output;
    Show([&](HWND sheet, HWND page) {
        sheetWindow = sheet;
        pageWindow = page;
        PostCommand(page, IDC_DETECT_SERVER);
        ASSERT_TRUE(WaitForText(page, IDC_PROXY_OUTPUT, "server(s).")); // the discovery has ended
        // Anything the discovery's wait let through has been handled by now.
        SendMessageA(page, WM_NULL, 0, 0);
        output = TextOf(page, IDC_PROXY_OUTPUT);
        for (int id : {IDOK, IDCANCEL, kApplyButton})
            after.push_back(Enabled(sheet, id));
        after.push_back(Enabled(page, IDC_PROXY_METHOD));
        after.push_back(ToolEnabled(page, IDC_DETECT_BAR, IDC_DETECT_SERVER));
        Click(sheet, IDCANCEL);
    });
    EXPECT_EQ(1, g_detectCalls);
    EXPECT_EQ(std::vector<bool>(5, false), during);
    EXPECT_EQ(std::vector<bool>(5, true), after);
    EXPECT_EQ(output.find("Searching"), output.rfind("Searching"));
}

TEST_F(ProxyPageTest, QuitDuringDiscoveryEndsTheSheetAndStopsTheWorker)
{
    Write("client.cfg", kRoutes);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD, 1);
    DetectResponder responder;
    ResponderOptions silent;
    silent.mode = ResponderMode::Silent;
    ASSERT_EQ(0, responder.Start(silent));
    g_responderPort = responder.Port();
    DWORD thread = GetCurrentThreadId();
    INT_PTR result = Show([&](HWND sheet, HWND page) {
        PostCommand(page, IDC_DETECT_SERVER);
        ASSERT_TRUE(responder.WaitForRequests(1, 10000));
        PostThreadMessageA(thread, WM_QUIT, 0, 0);
        // A sheet that missed the quit is closed so that the test ends.
        if (!WaitGone(sheet))
            PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(IDCANCEL, result);
    // The worker was stopped before its second request, and had ended when the sheet closed.
    EXPECT_EQ(1u, responder.Requests().size());
    EXPECT_EQ("<missing>", Value(XR_CLIENT_KEY, XR_VALUE_SERVER));
}

struct SingleCase {
    const char *name;
    // Null leaves the field as loaded.
    const char *server, *port, *direct;
    const char *file;    // after the sheet's OK and the save of pending changes
    const char *message; // the refusal, or null
};

const char kSingleRoutes[] = "noproxy - 10. - - \r\n"
                             "noproxy - intranet - - \r\n"
                             "socks5 - - - - gate.example:1080,second.example:1080\r\n"
                             "socks5 - 10.9.0.0 - - other.example:1080\r\n";

const SingleCase kSingleCases[] = {
    {"VisitKeepsRoutesThePageDoesNotShow", nullptr, nullptr, nullptr, kSingleRoutes, nullptr},
    {"ChangeReplacesTheList", "new.example", "", "a.example,, b.example\r\nc.example",
     "noproxy - a.example - - \r\nnoproxy - b.example - - \r\nnoproxy - c.example - - \r\n"
     "socks5 - - - - new.example\r\n",
     nullptr},
    {"EmptyServerRefused", "", nullptr, nullptr, kSingleRoutes, "Server name cannot be empty!"},
    {"PortChecked", nullptr, "99999", nullptr, kSingleRoutes, "The server's port must be a number"},
    {"ServerChecked", "gate example", nullptr, nullptr, kSingleRoutes, "The server's name or address"},
};

class SingleProxyPageTest : public ProxyPageTest, public ::testing::WithParamInterface<SingleCase> {};

TEST_P(SingleProxyPageTest, ShowsTheDefaultRouteAndRebuildsTheListOnlyWhenChanged)
{
    const SingleCase &c = GetParam();
    Write("client.cfg", kSingleRoutes);
    std::string server, port, direct;
    bool stillOpen = false;
    Show<SingleProxyPage>([&](HWND sheet, HWND page) {
        server = TextOf(page, IDC_SINGLE_SERVER);
        port = TextOf(page, IDC_SINGLE_PORT);
        direct = TextOf(page, IDC_SINGLE_DIRECT);
        if (c.server)
            Type(page, IDC_SINGLE_SERVER, c.server);
        if (c.port)
            Type(page, IDC_SINGLE_PORT, c.port);
        if (c.direct)
            Type(page, IDC_SINGLE_DIRECT, c.direct);
        Click(sheet, IDOK);
        stillOpen = CurrentPage(sheet) != nullptr;
        if (stillOpen)
            Click(sheet, IDCANCEL);
    });
    settings_.SavePendingChanges();
    EXPECT_EQ("gate.example", server);
    EXPECT_EQ("1080", port);
    EXPECT_EQ("10., intranet", direct);
    EXPECT_EQ(c.file, Read(ConfigFile()));
    EXPECT_EQ(c.message != nullptr, stillOpen);
    if (c.message) {
        ASSERT_EQ(1u, g_messages.size());
        EXPECT_EQ(0u, g_messages[0].find(c.message)) << g_messages[0];
    } else {
        EXPECT_TRUE(g_messages.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, SingleProxyPageTest, ::testing::ValuesIn(kSingleCases),
                         [](const ::testing::TestParamInfo<SingleCase> &info) { return info.param.name; });


// Discovery as shipped, without the loopback seam: the request goes to the subnet's broadcast
// address. Only inside the network namespace of detect_netns.sh, where that stays on this host.
TEST_F(ProxyPageTest, BroadcastDiscoveryFindsTheServerOnTheSubnet)
{
    const char *inside = std::getenv("FERROWIN_DETECT_NETNS");
    if (!inside || std::strcmp(inside, "1") != 0)
        GTEST_SKIP() << "broadcasts only inside the network namespace of detect_netns.sh";
    g_shellSeams.detect = saved_.detect;
    DetectResponder responder;
    ResponderOptions options;
    options.address = "0.0.0.0";
    options.port = 1080;
    ASSERT_EQ(0, responder.Start(options));
    std::string output;
    Show([&](HWND sheet, HWND page) {
        Choose(page, IDC_PROXY_METHOD, 1);
        EXPECT_TRUE(WaitForText(page, IDC_PROXY_OUTPUT, "server(s)."));
        output = TextOf(page, IDC_PROXY_OUTPUT);
        Click(sheet, IDCANCEL);
    });
    EXPECT_NE(std::string::npos, output.find("Found 1 server(s).\r\nServer list:\r\n\r\n1   127.0.0.1:1080\r\n"))
        << output;
    // The request names the address it was sent to: the subnet's broadcast, not the responder.
    std::vector<ResponderRequest> requests = responder.Requests();
    ASSERT_EQ(1u, requests.size());
    ASSERT_GE(requests[0].bytes.size(), 13u);
    EXPECT_EQ(std::vector<unsigned char>({127, 0, 0, 255}),
              std::vector<unsigned char>(requests[0].bytes.begin() + 9, requests[0].bytes.begin() + 13));
}

}
