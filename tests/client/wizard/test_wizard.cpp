// The setup wizard on the test's thread, driven from a second thread through its buttons and
// controls; what it leaves in the settings files, the client key, the Run entry and the plug-in
// registry is checked afterwards. Message boxes, error dialogs and the file dialog go through
// the shell's seams; discovery asks a responder on 127.0.0.1.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ClientSettings.h"
#include "QVWizard.h"
#include "Seams.h"
#include "detect_responder.h"
#include "http_server.h"
#include "main_sheet.h"
#include "page_driver.h"
#include "pages_resource.h"
#include "regnames.h"
#include "wizard_resource.h"
#include "xrplugin_host.h"
#include "xrstr.h"

namespace {

const char kWizardCaption[] = "Ferrowin Client Setup Wizard";
const char kRoutes[] = "socks5 - - - - old.example:1080\r\n";
const char kExchangeFile[] = "set 3=1\n"
                             "socks5 - - - - gateway.example:1080\n"
                             "yes C:\\Tools\\browser.exe\n";
const char kModule[] = "tauth";

// Page counts of a set-up by hand, by the page shown.
const int kStartupPages = 1;
const int kServerPages = 2;
const int kProxyPages = 3;
const int kAuthPages = 4;
const int kApplicationPages = 5;
const int kEndPages = 6;

uint16_t g_responderPort = 0;
// The wizard whose Back and Next buttons a discovery notes: 1 when either could be pressed.
std::atomic<HWND> g_wizard{nullptr};
std::atomic<int> g_movableWhileDetecting{-1};

// The page's request, sent to the responder instead of the subnet.
uint32_t LoopbackDetect(DetectParams *params, DetectResult *result)
{
    if (HWND wizard = g_wizard.load())
        g_movableWhileDetecting = IsWindowEnabled(GetDlgItem(wizard, kWizardBackButton))
                                 || IsWindowEnabled(GetDlgItem(wizard, kWizardNextButton));
    params->useAddress = 1;
    XrStrCopy(params->address, sizeof params->address, "127.0.0.1");
    params->port = g_responderPort;
    return DetectSocksServer(params, result);
}

int PageCount(HWND sheet)
{
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    return static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
}

bool Checked(HWND page, int id)
{
    return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class WizardTest : public MainSheetTest {
protected:
    void SetUp() override
    {
        MainSheetTest::SetUp();
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        g_shellSeams.detect = LoopbackDetect;
        for (const char *name : {"http_proxy", "HTTP_PROXY", "all_proxy", "no_proxy"})
            SetEnvironmentVariableA(name, nullptr);
        Write("client.cfg", kRoutes);
        Write("apps.cfg", "yes C:\\Old\\app.exe\r\n");
        InstallPlugIns({"testplug.dll", XR_PLUGIN_NULL_NAME});
    }

    void TearDown() override
    {
        WSACleanup();
        MainSheetTest::TearDown();
    }

    // Runs the wizard as the program does; act gets the sheet once it shows its first page. A
    // wizard that act left open is cancelled.
    INT_PTR Run(const std::function<void(HWND sheet)> &act)
    {
        settings_.Load();
        QVWizard wizard(settings_);
        DWORD thread = GetCurrentThreadId();
        bool acted = false;
        std::thread driver([&] {
            HWND sheet = WaitForWindow(thread, kWizardCaption);
            if (!sheet) {
                PostThreadMessageA(thread, WM_QUIT, 0, 0);
                return;
            }
            act(sheet);
            acted = true;
            if (IsWindow(sheet) && CurrentPage(sheet))
                PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            PostMessageA(sheet, WM_NULL, 0, 0);
        });
        INT_PTR result = wizard.DoModal();
        driver.join();
        EXPECT_TRUE(acted);
        return result;
    }

    // The seams' notes of messages and error dialogs.
    static std::vector<std::string> Complaints()
    {
        std::vector<std::string> complaints;
        for (const std::string &line : Journal())
            if (line.rfind("message ", 0) == 0 || line.rfind("error ", 0) == 0)
                complaints.push_back(line);
        return complaints;
    }

    // Presses a wizard button; true once the wizard shows that many pages.
    static bool Press(HWND sheet, int button, int pages)
    {
        SendMessageA(sheet, PSM_PRESSBUTTON, button, 0);
        return WaitFor([&] { return PageCount(sheet) == pages; });
    }

    // From the first page by hand to the server choice's proxy page (the single-server page filled
    // in as given).
    static void ToProxyPage(HWND sheet, int serverChoice, const char *server = "gw.example", const char *port = "1081")
    {
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, kServerPages));
        Click(CurrentPage(sheet), serverChoice);
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, kProxyPages));
        if (serverChoice == IDC_WIZ_ONE) {
            HWND page = CurrentPage(sheet);
            Type(page, IDC_SINGLE_SERVER, server);
            Type(page, IDC_SINGLE_PORT, port);
            Type(page, IDC_SINGLE_DIRECT, "intranet.local");
        }
    }

    // From the proxy page on to the end: authentication required, the applications as offered.
    static void ToEnd(HWND sheet)
    {
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, kAuthPages));
        Click(CurrentPage(sheet), IDC_WIZ_AUTH);
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, kApplicationPages));
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, kEndPages));
    }

    std::string RunEntry() const { return Value(XR_RUN_KEY, XR_VALUE_STARTUP); }
    std::string ExpectedRunEntry() const { return dir_ + "\\client.exe startup"; }
};

struct ServerCase {
    const char *name;
    int choice;
    const char *proxyMethod;
    const char *multipleServers;
    bool runEntry;
};

class ManualSetupTest : public WizardTest, public ::testing::WithParamInterface<ServerCase> {};

TEST_P(ManualSetupTest, FinishAppliesEveryPageAndSavesTheFiles)
{
    const ServerCase &server = GetParam();
    DetectResponder responder;
    ASSERT_EQ(0, responder.Start(ResponderOptions()));
    g_responderPort = responder.Port();
    bool setUpPreselected = false, detected = false;
    g_movableWhileDetecting = -1;
    INT_PTR result = Run([&](HWND sheet) {
        g_wizard = sheet;
        setUpPreselected = Checked(CurrentPage(sheet), IDC_WIZ_SET_UP);
        ToProxyPage(sheet, server.choice);
        if (server.choice == IDC_WIZ_DETECT)
            detected = WaitForText(CurrentPage(sheet), IDC_PROXY_OUTPUT, "Found 1 server(s).");
        ToEnd(sheet);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    });
    EXPECT_EQ(ID_WIZFINISH, result);
    EXPECT_TRUE(setUpPreselected);
    EXPECT_TRUE(Complaints().empty());
    EXPECT_EQ(server.proxyMethod, Value(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD));
    EXPECT_EQ(server.multipleServers, Value(XR_CLIENT_KEY, XR_VALUE_SUPPORT_MULTIPLE_SERVER));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
    EXPECT_EQ(1, ModuleEnabled(kModule));
    EXPECT_EQ(server.runEntry ? ExpectedRunEntry() : "<missing>", RunEntry());
    EXPECT_NE(std::string::npos, Read(ApplicationFile()).find("yes C:\\Old\\app.exe"));
    std::string config = Read(ConfigFile());
    if (server.choice == IDC_WIZ_ONE) {
        EXPECT_NE(std::string::npos, config.find("intranet.local")) << config;
        EXPECT_NE(std::string::npos, config.find("gw.example:1081")) << config;
        EXPECT_EQ(std::string::npos, config.find("old.example")) << config;
    } else {
        EXPECT_NE(std::string::npos, config.find("old.example:1080")) << config;
    }
    g_wizard = nullptr;
    if (server.choice == IDC_WIZ_DETECT) {
        EXPECT_TRUE(detected);
        // The page cannot be left while its discovery runs; after it, Next took the wizard on.
        EXPECT_EQ(0, g_movableWhileDetecting);
        EXPECT_EQ("127.0.0.1:" + std::to_string(g_responderPort), Value(XR_CLIENT_KEY, XR_VALUE_SERVER));
    }
}

INSTANTIATE_TEST_SUITE_P(ServerChoices, ManualSetupTest,
                         ::testing::Values(ServerCase{"Automatic", IDC_WIZ_DETECT, "1", "0", true},
                                           ServerCase{"Multiple", IDC_WIZ_MULTIPLE, "0", "1", false},
                                           ServerCase{"One", IDC_WIZ_ONE, "0", "0", false}),
                         [](const ::testing::TestParamInfo<ServerCase> &info) { return info.param.name; });

TEST_F(WizardTest, UrlScriptImportsAndLeadsStraightToTheEnd)
{
    LoopbackHttpServer web;
    web.Respond(200, kExchangeFile);
    std::string url = "127.0.0.1:" + std::to_string(web.Port()) + "/client.txt";
    int pagesAfterEmpty = 0, pagesAfterImport = 0, endIndex = -1;
    std::vector<std::string> errorsAfterEmpty;
    INT_PTR result = Run([&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        Click(page, IDC_WIZ_URL_SCRIPT);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        pagesAfterEmpty = PageCount(sheet);
        errorsAfterEmpty = Complaints();
        Type(page, IDC_WIZ_URL, url);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        pagesAfterImport = PageCount(sheet);
        endIndex = ActiveIndex(sheet);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    });
    EXPECT_EQ(ID_WIZFINISH, result);
    EXPECT_EQ(kStartupPages, pagesAfterEmpty);
    EXPECT_EQ(std::vector<std::string>{"error Could not open file.|Invalid URL."}, errorsAfterEmpty);
    EXPECT_EQ(2, pagesAfterImport);
    EXPECT_EQ(1, endIndex);
    EXPECT_EQ(1u, Complaints().size());
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT));
    EXPECT_EQ(url, Value(XR_CLIENT_KEY, XR_VALUE_LAST_IMPORT_URL));
    EXPECT_EQ(ExpectedRunEntry(), RunEntry());
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
    EXPECT_NE(std::string::npos, Read(ConfigFile()).find("gateway.example:1080"));
}

// Leaving the URL script for a file drops the logon refresh the script needed.
TEST_F(WizardTest, FileImportLeadsToTheEndAndDropsTheUrlRefresh)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, 1);
    SetString(XR_RUN_KEY, XR_VALUE_STARTUP, ExpectedRunEntry());
    std::string exchange = Write("exchange.txt", kExchangeFile);
    AnswerFiles(exchange);
    bool urlPreselected = false, pathEnabledBefore = true, pathEnabledAfter = false;
    std::string pathShown;
    int pagesAfterImport = 0;
    INT_PTR result = Run([&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        urlPreselected = Checked(page, IDC_WIZ_URL_SCRIPT);
        pathEnabledBefore = Enabled(page, IDC_WIZ_PATH);
        Click(page, IDC_WIZ_IMPORT_FILE);
        pathEnabledAfter = Enabled(page, IDC_WIZ_PATH) && Enabled(page, IDC_WIZ_BROWSE) && !Enabled(page, IDC_WIZ_URL);
        Click(page, IDC_WIZ_BROWSE);
        pathShown = TextOf(page, IDC_WIZ_PATH);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        pagesAfterImport = PageCount(sheet);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    });
    EXPECT_EQ(ID_WIZFINISH, result);
    EXPECT_TRUE(urlPreselected);
    EXPECT_FALSE(pathEnabledBefore);
    EXPECT_TRUE(pathEnabledAfter);
    EXPECT_EQ(exchange, pathShown);
    EXPECT_EQ(2, pagesAfterImport);
    EXPECT_TRUE(Complaints().empty());
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT));
    EXPECT_EQ(exchange, Value(XR_CLIENT_KEY, XR_VALUE_LAST_IMPORT_PATH));
    EXPECT_EQ("<missing>", RunEntry());
    EXPECT_NE(std::string::npos, Read(ConfigFile()).find("gateway.example:1080"));
}

TEST_F(WizardTest, BackToTheFirstPageAndAnImportDropsTheManualPages)
{
    std::string exchange = Write("exchange.txt", kExchangeFile);
    AnswerFiles(exchange);
    int pagesBack = 0, pagesAfterImport = 0;
    INT_PTR result = Run([&](HWND sheet) {
        ToProxyPage(sheet, IDC_WIZ_MULTIPLE);
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, kAuthPages));
        Click(CurrentPage(sheet), IDC_WIZ_AUTH);
        for (int back = 0; back < 3; back++)
            SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_BACK, 0);
        WaitFor([&] { return PageCount(sheet) == kStartupPages; });
        pagesBack = PageCount(sheet);
        HWND page = CurrentPage(sheet);
        Click(page, IDC_WIZ_IMPORT_FILE);
        Click(page, IDC_WIZ_BROWSE);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        pagesAfterImport = PageCount(sheet);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    });
    EXPECT_EQ(ID_WIZFINISH, result);
    EXPECT_EQ(kStartupPages, pagesBack);
    EXPECT_EQ(2, pagesAfterImport);
    // The import's switch, not the dropped authentication page's choice.
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
    EXPECT_EQ(0, ModuleEnabled(kModule));
    EXPECT_EQ("<missing>", Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_CONFIGURATION_FILE));
}

struct RefusalCase {
    const char *name;
    const char *server;
    const char *port;
    const char *message;
};

class RefusedFinishTest : public WizardTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedFinishTest, MovesToTheRefusingPageAndSavesNothing)
{
    const RefusalCase &refusal = GetParam();
    int indexAfterRefusal = -1, pagesAfterRefusal = 0;
    bool stillOpen = false;
    std::string configAfterRefusal, authenticationAfterRefusal;
    INT_PTR result = Run([&](HWND sheet) {
        ToProxyPage(sheet, IDC_WIZ_ONE, refusal.server, refusal.port);
        ToEnd(sheet);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        WaitFor([&] { return PageCount(sheet) == kProxyPages; });
        stillOpen = CurrentPage(sheet) != nullptr;
        indexAfterRefusal = ActiveIndex(sheet);
        pagesAfterRefusal = PageCount(sheet);
        configAfterRefusal = Read(ConfigFile());
        authenticationAfterRefusal = Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION);
        // Corrected, the wizard goes on to its end again.
        HWND page = CurrentPage(sheet);
        Type(page, IDC_SINGLE_SERVER, "gw.example");
        Type(page, IDC_SINGLE_PORT, "1081");
        ToEnd(sheet);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    });
    EXPECT_EQ(ID_WIZFINISH, result);
    ASSERT_FALSE(Complaints().empty());
    EXPECT_EQ(std::string("message ") + refusal.message, Complaints()[0]);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(2, indexAfterRefusal);
    EXPECT_EQ(kProxyPages, pagesAfterRefusal);
    EXPECT_EQ(kRoutes, configAfterRefusal);
    // Nothing after the refusing page was applied.
    EXPECT_EQ("<missing>", authenticationAfterRefusal);
    EXPECT_NE(std::string::npos, Read(ConfigFile()).find("gw.example:1081"));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RefusedFinishTest,
    ::testing::Values(RefusalCase{"EmptyServer", "", "1080", "Server name cannot be empty!"},
                      RefusalCase{"BadPort", "gw.example", "70000",
                                  "The server's port must be a number from 1 to 65535, or empty for 1080."}),
    [](const ::testing::TestParamInfo<RefusalCase> &info) { return info.param.name; });

TEST_F(WizardTest, CancelLeavesEverythingAsItWas)
{
    std::string exchange = Write("exchange.txt", kExchangeFile);
    AnswerFiles(exchange);
    std::string snapshot = ClientKeySnapshot();
    INT_PTR result = Run([&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        Click(page, IDC_WIZ_URL_SCRIPT);
        Type(page, IDC_WIZ_URL, "config.example/client.txt");
        Click(page, IDC_WIZ_IMPORT_FILE);
        Click(page, IDC_WIZ_BROWSE);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(snapshot, ClientKeySnapshot());
    EXPECT_EQ("<missing>", RunEntry());
    EXPECT_EQ(kRoutes, Read(ConfigFile()));
    EXPECT_EQ(0, ModuleEnabled(kModule));
}

}
