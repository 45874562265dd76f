// client.exe run as a process, as the installer, the Run entry and a user start it: a copy of the
// program in a folder of the test's own with its libraries and a stand-in credential manager, a
// prepared client key, a loopback web server. The program's message boxes, error dialogs and
// icon calls go to a journal file; its sheets are real windows that the test finds and drives.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "client_process.h"
#include "http_server.h"
#include "installed_client.h"
#include "page_driver.h"
#include "pages_resource.h"
#include "regnames.h"
#include "test_tools.h"
#include "tls_server.h"
#include "wizard_resource.h"
#include "xrplugin_host.h"

namespace {

const char kSheetCaption[] = "Ferrowin Client Properties";
const char kWizardCaption[] = "Ferrowin Client Setup Wizard";
const char kPlugIn[] = "testplug.dll";
const char kModule[] = "tauth";
// The wizard's Finish button.
const int kFinishButton = 0x3025;

const char kExchangeFile[] = "set 3=1\n"
                             "set 5=1\n"
                             "socks5 - - - - gateway.example:1080\n"
                             "localdns corp.example\n"
                             "yes C:\\Tools\\browser.exe\n";

class ClientProcessTest : public InstalledClientTest {
protected:
    void SetUp() override
    {
        InstalledClientTest::SetUp();
        bin_ = Path("bin");
        std::filesystem::create_directories(bin_);
        std::string from = ProgramFolder();
        for (const char *name : {"client.exe", "xrimpl.dll", "xrcred.dll"})
            ASSERT_TRUE(CopyFileA((from + "\\" + name).c_str(), (bin_ + "\\" + name).c_str(), FALSE)) << name;
        ASSERT_TRUE(CopyFileA((from + "\\fake_xrcredmgr.exe").c_str(), (bin_ + "\\xrcredmgr.exe").c_str(), FALSE));
        SetEnvironmentVariableA("FERROWIN_CLIENT_JOURNAL", Path("journal.txt").c_str());
        SetEnvironmentVariableA("XRCRED_JOURNAL", Path("xrcred.txt").c_str());
        for (const char *name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "no_proxy"})
            SetEnvironmentVariableA(name, nullptr);
        Write("client.cfg", "socks4 - - - - old.example:1080\n");
        Write("apps.cfg", "yes C:\\Old\\app.exe\n");
        InstallPlugIns({kPlugIn});
    }
    void TearDown() override
    {
        started_.End();
        InstalledClientTest::TearDown();
    }

    // Started from the test's folder, not the program's.
    PROCESS_INFORMATION Start(const std::string &parameters)
    {
        return StartProgram("\"" + bin_ + "\\client.exe\" " + parameters);
    }

    // Ended at the latest when the test ends.
    PROCESS_INFORMATION StartProgram(const std::string &command) { return started_.Run(command, dir_); }

    std::vector<std::string> Lines(const char *name) const
    {
        std::vector<std::string> lines;
        std::istringstream in(Read(Path(name)));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(0, line.find('\r')));
        return lines;
    }

    std::string Journal() const { return Read(Path("journal.txt")); }

    void TrayRoundTrip(bool journal);

    std::string bin_;
    StartedProcesses started_;
};

class StartupWordTest : public ClientProcessTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(StartupWordTest, WordSelectsTheLogonRefresh)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 1);
    PROCESS_INFORMATION client = Start(GetParam());
    ASSERT_TRUE(Ends(client));
    // The refresh rewrote the authentication modules' flags, and opened no credential cache.
    EXPECT_EQ(1, ModuleEnabled(kModule));
    EXPECT_EQ(std::string::npos, Read(Path("xrcred.txt")).find("XrCC_Init"));
    EXPECT_EQ("<missing>", Journal());
}

INSTANTIATE_TEST_SUITE_P(Forms, StartupWordTest, ::testing::Values("StartUp", "/startup", "-STARTUP", "other startup"));

TEST_F(ClientProcessTest, OtherWordsGiveTheNormalStart)
{
    PROCESS_INFORMATION client = Start("/setup readme.txt");
    HWND sheet = WindowOf(client, kSheetCaption);
    ASSERT_NE(nullptr, sheet);
    EXPECT_EQ(0, ModuleEnabled(kModule)); // no refresh
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(Ends(client));
}

TEST_F(ClientProcessTest, SecondStartRestoresTheFirstSheetAndEnds)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 1);
    PROCESS_INFORMATION first = Start("");
    HWND sheet = WindowOf(first, kSheetCaption);
    ASSERT_NE(nullptr, sheet);
    ShowWindow(sheet, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(sheet) != FALSE; }));

    // Also with the word of the logon refresh: the open program is only brought forward.
    PROCESS_INFORMATION second = Start("startup");
    ASSERT_TRUE(Ends(second));
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(sheet); }));
    EXPECT_EQ(0, ModuleEnabled(kModule));

    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(Ends(first));
    // Only the first process initialised the credential cache; its exit shut it down twice, once
    // through the plug-in framework.
    std::vector<std::string> expected = {"XrCC_Init 1 0x80000001 Software\\Varo\\SOCKS5 Credentials\\3.0",
                                         "XrCC_Exit", "XrCC_Exit"};
    EXPECT_EQ(expected, Lines("xrcred.txt"));
}

TEST_F(ClientProcessTest, SetupInProgressOpensTheWizardOnTopUntilFinish)
{
    SetString(XR_RUNONCE_KEY, XR_VALUE_STARTUP, "client.exe");
    SetNumber(XR_CLIENT_KEY, XR_VALUE_SETUP_IN_PROGRESS, 1);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_START_AS_WIZARD, 1);

    PROCESS_INFORMATION cancelled = Start("");
    HWND wizard = WindowOf(cancelled, kWizardCaption);
    ASSERT_NE(nullptr, wizard);
    EXPECT_TRUE(GetWindowLongPtrA(wizard, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ("<missing>", Value(XR_RUNONCE_KEY, XR_VALUE_STARTUP));
    HWND splash = FindWindowA("FerrowinSplash", nullptr);
    EXPECT_EQ(nullptr, splash);
    // The credential manager beside the program, whatever the current directory; it runs detached
    // at idle priority, so its note may come after the wizard's window.
    EXPECT_TRUE(WaitFor([&] {
        return Journal().find("credential manager started " + bin_ + "\\xrcredmgr.exe") != std::string::npos;
    })) << Journal();
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    ASSERT_TRUE(Ends(cancelled));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_SETUP_IN_PROGRESS));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_START_AS_WIZARD));

    PROCESS_INFORMATION finished = Start("");
    wizard = WindowOf(finished, kWizardCaption);
    ASSERT_NE(nullptr, wizard);
    // By hand with one server, through the server, proxy, authentication and application pages
    // to the end.
    for (int page = 0; page < 5; page++)
        PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    ASSERT_TRUE(Ends(finished));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_SETUP_IN_PROGRESS));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_START_AS_WIZARD));
    // Finish applied every page.
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT));
}

// Presses a wizard button of another process; true once the wizard shows the page that holds
// control id.
bool PressFor(HWND wizard, int button, int id)
{
    PostMessageA(wizard, PSM_PRESSBUTTON, button, 0);
    return WaitFor([&] { return GetDlgItem(CurrentPage(wizard), id) != nullptr; });
}

// Presses Next on the last page before the end; true once Finish can be pressed.
bool NextToFinish(HWND wizard)
{
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    HWND finish = GetDlgItem(wizard, kFinishButton);
    return WaitFor([&] { return IsWindowVisible(finish) && IsWindowEnabled(finish); });
}

// The include and exclude lines of an application list file; the system list after them is the
// machine's services.
std::string UserLists(const std::string &bytes)
{
    return bytes.substr(0, bytes.find("sys "));
}

// A user's first days with the program: the first-run wizard by hand with one server, then the
// sheet, the move to several servers through the General page's wizard, and a route of their own.
TEST_F(ClientProcessTest, FirstSetupThenMultipleServersLeaveExactlyTheUsersChoices)
{
    // As the installer leaves it: empty settings files, the wizard due at the first start.
    Write("client.cfg", "");
    Write("apps.cfg", "");
    SetNumber(XR_CLIENT_KEY, XR_VALUE_SETUP_IN_PROGRESS, 1);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_START_AS_WIZARD, 1);
    const std::string browser = Write("browser.exe", "MZ");
    SetEnvironmentVariableA("FERROWIN_CLIENT_FILE", browser.c_str());
    const std::string oneServer = "noproxy - intranet.local - - \r\n"
                                  "socks5 - - - - gw.example:1081\r\n";
    const std::string lists = "yes " + browser + "\r\n";
    const char tabs[] = "General,Proxy,Applications,DNS,Diagnostics";

    PROCESS_INFORMATION first = Start("");
    HWND wizard = WindowOf(first, kWizardCaption);
    ASSERT_NE(nullptr, wizard);
    ASSERT_TRUE(PressFor(wizard, PSBTN_NEXT, IDC_WIZ_ONE));
    Click(CurrentPage(wizard), IDC_WIZ_ONE);
    ASSERT_TRUE(PressFor(wizard, PSBTN_NEXT, IDC_SINGLE_SERVER));
    HWND page = CurrentPage(wizard);
    Type(page, IDC_SINGLE_SERVER, "gw.example");
    Type(page, IDC_SINGLE_PORT, "1081");
    Type(page, IDC_SINGLE_DIRECT, "intranet.local");
    ASSERT_TRUE(PressFor(wizard, PSBTN_NEXT, IDC_WIZ_NO_AUTH));
    Click(CurrentPage(wizard), IDC_WIZ_NO_AUTH);
    ASSERT_TRUE(PressFor(wizard, PSBTN_NEXT, IDC_PROXY_ONLY));
    // Only the browser goes through the server.
    page = CurrentPage(wizard);
    Click(page, IDC_PROXY_ONLY);
    PostCommand(page, IDC_INCLUDE_LIST);
    HWND list = WindowOf(first, "Include List");
    ASSERT_NE(nullptr, list);
    Click(list, IDC_APP_ADD);
    Click(list, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(list); }));
    ASSERT_TRUE(NextToFinish(wizard));
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    ASSERT_TRUE(Ends(first));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_SETUP_IN_PROGRESS));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_START_AS_WIZARD));
    EXPECT_EQ(oneServer, Read(ConfigFile()));
    EXPECT_EQ(lists, UserLists(Read(ApplicationFile())));

    // The next start shows the sheet, its proxy page the one server.
    PROCESS_INFORMATION second = Start("");
    HWND sheet = WindowOf(second, kSheetCaption);
    ASSERT_NE(nullptr, sheet);
    EXPECT_EQ(tabs, SheetTabs(sheet));
    SendMessageA(sheet, PSM_SETCURSEL, 1, 0);
    page = CurrentPage(sheet);
    EXPECT_EQ("gw.example", TextOf(page, IDC_SINGLE_SERVER));
    EXPECT_EQ("1081", TextOf(page, IDC_SINGLE_PORT));
    EXPECT_EQ("intranet.local", TextOf(page, IDC_SINGLE_DIRECT));

    // Several servers: the General page's wizard, which keeps the routes so far.
    SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
    PostCommand(CurrentPage(sheet), IDC_GENERAL_WIZARD);
    wizard = WindowOf(second, kWizardCaption);
    ASSERT_NE(nullptr, wizard);
    ASSERT_TRUE(PressFor(wizard, PSBTN_NEXT, IDC_WIZ_MULTIPLE));
    Click(CurrentPage(wizard), IDC_WIZ_MULTIPLE);
    ASSERT_TRUE(PressFor(wizard, PSBTN_NEXT, IDC_ROUTE_GRID));
    EXPECT_EQ(2, GridDataRows(GridList(CurrentPage(wizard), IDC_ROUTE_GRID)));
    ASSERT_TRUE(PressFor(wizard, PSBTN_NEXT, IDC_WIZ_NO_AUTH));
    ASSERT_TRUE(PressFor(wizard, PSBTN_NEXT, IDC_PROXY_ONLY));
    ASSERT_TRUE(NextToFinish(wizard));
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(wizard); }));

    // The route table takes the single-server page's place, under the same tab.
    PostMessageA(sheet, PSM_SETCURSEL, 1, 0);
    ASSERT_TRUE(WaitFor([&] { return GetDlgItem(CurrentPage(sheet), IDC_ROUTE_GRID) != nullptr; }));
    EXPECT_EQ(tabs, SheetTabs(sheet));
    page = CurrentPage(sheet);
    HWND grid = GridList(page, IDC_ROUTE_GRID);
    EXPECT_EQ(2, GridDataRows(grid));
    PostCommand(page, IDC_ROUTE_NEW);
    HWND properties = WindowOf(second, "Proxy Properties");
    ASSERT_NE(nullptr, properties);
    Type(properties, IDC_SERVER_NAME, "second.example");
    Type(properties, IDC_DEST_NAME, "10.0.0.0");
    Type(properties, IDC_DEST_PORT, "443");
    Click(properties, IDOK);
    ASSERT_TRUE(WaitFor([&] { return GridDataRows(grid) == 3; }));
    Click(sheet, kApplyButton);
    PostMessageA(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(Ends(second));
    SetEnvironmentVariableA("FERROWIN_CLIENT_FILE", nullptr);

    EXPECT_EQ(oneServer + "socks5 - 10.0.0.0 443 - second.example:1080\r\n", Read(ConfigFile()));
    std::string applications = Read(ApplicationFile());
    EXPECT_EQ(lists, UserLists(applications));
    std::istringstream machine(applications.substr(lists.size()));
    for (std::string line; std::getline(machine, line);)
        EXPECT_EQ(0u, line.find("sys ")) << line;
    const std::vector<std::pair<const char *, const char *>> values = {
        {XR_VALUE_SETUP_IN_PROGRESS, "0"},       {XR_VALUE_START_AS_WIZARD, "0"},
        {XR_VALUE_WIZARD_LAST_USED_IMPORT, "0"}, {XR_VALUE_PROXY_METHOD, "0"},
        {XR_VALUE_SUPPORT_MULTIPLE_SERVER, "1"}, {XR_VALUE_USE_AUTHENTICATION, "0"},
        {XR_VALUE_SOCKSIFY_ALL, "0"},            {XR_VALUE_ENABLE_CONFIGURATION_FILE, "1"}};
    for (const auto &[name, value] : values)
        EXPECT_EQ(value, Value(XR_CLIENT_KEY, name)) << name;
    EXPECT_EQ("<missing>", Value(XR_RUN_KEY, XR_VALUE_STARTUP));
    // Nothing was refused or asked on the way.
    EXPECT_EQ(std::string::npos, Journal().find("error ")) << Journal();
    EXPECT_EQ(std::string::npos, Journal().find("message ")) << Journal();
}

TEST_F(ClientProcessTest, StartupWithStartAsWizardRunsTheNormalStart)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_START_AS_WIZARD, 1);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 1);
    PROCESS_INFORMATION client = Start("startup");
    HWND wizard = WindowOf(client, kWizardCaption);
    ASSERT_NE(nullptr, wizard);
    EXPECT_EQ(0, ModuleEnabled(kModule));
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    ASSERT_TRUE(Ends(client));
    EXPECT_EQ("XrCC_Init 1 0x80000001 Software\\Varo\\SOCKS5 Credentials\\3.0", Lines("xrcred.txt").at(0));
}

// OK hides the sheet behind its icon, the icon's double click shows it again, the close command
// hides it, the icon menu's Close ends the program.
void ClientProcessTest::TrayRoundTrip(bool journal)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_SHOW_ICON_ON_TASKBAR, 1);
    PROCESS_INFORMATION client = Start("");
    HWND sheet = WindowOf(client, kSheetCaption);
    ASSERT_NE(nullptr, sheet);

    // The sheet hides only once the shell took its icon.
    PostMessageA(sheet, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(sheet); }));
    if (journal) {
        EXPECT_NE(std::string::npos, Journal().find("tray add 100 Ferrowin Client")) << Journal();
    }
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(client.hProcess, 0));

    PostMessageA(sheet, RegisterWindowMessageA("WM_ICONNOTIFY"), 100, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(sheet) != FALSE; }));
    PostMessageA(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(sheet); }));

    PostMessageA(sheet, WM_COMMAND, 32772, 0);
    ASSERT_TRUE(Ends(client));
    if (journal) {
        EXPECT_NE(std::string::npos, Journal().find("tray delete 100")) << Journal();
    }
}

TEST_F(ClientProcessTest, TrayOptionHidesTheSheetUntilTheIconCloses)
{
    TrayRoundTrip(true);
}

// Run by under_display.sh with a display: the shell's own notification-area icon.
TEST_F(ClientProcessTest, RealTrayIconUnderADisplay)
{
    char flag[8] = "";
    if (!GetEnvironmentVariableA("FERROWIN_DISPLAY_TESTS", flag, sizeof flag))
        GTEST_SKIP() << "needs a display (under_display.sh)";
    SetEnvironmentVariableA("FERROWIN_CLIENT_JOURNAL", nullptr);
    TrayRoundTrip(false);
}

TEST_F(ClientProcessTest, LogonRefreshTakesTheUrlsConfigurationOverForTheEngine)
{
    LoopbackHttpServer server;
    server.Respond(200, kExchangeFile);
    // The imported method is automatic detection: a discovery responder on loopback answers it.
    int port = FreeLoopbackPort(SOCK_DGRAM);
    StartProgram("\"" + ProgramFolder() + "\\xrresponder.exe\" --address 127.0.0.1 --port " + std::to_string(port)
                 + " --seconds 20");
    SetEnvironmentVariableA("FERROWIN_CLIENT_DETECT", ("127.0.0.1:" + std::to_string(port)).c_str());
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, 1);
    SetString(XR_CLIENT_KEY, XR_VALUE_LAST_IMPORT_URL, "127.0.0.1:" + std::to_string(server.Port()) + "/client.cfg");
    PROCESS_INFORMATION client = Start("startup");
    ASSERT_TRUE(Ends(client));

    EXPECT_EQ(std::string::npos, Journal().find("error")) << Journal();
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD));
    EXPECT_EQ("corp.example ", Value(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS));
    EXPECT_NE(std::string::npos, Read(ConfigFile()).find("socks5 - - - - gateway.example:1080")) << Read(ConfigFile());
    EXPECT_EQ(std::string::npos, Read(ConfigFile()).find("old.example"));
    EXPECT_NE(std::string::npos, Read(ApplicationFile()).find("yes C:\\Tools\\browser.exe"));
    // The imported method asks for detection, and the imported authentication switch reaches
    // the plug-in registry in the same refresh.
    EXPECT_EQ(0u, Value(XR_CLIENT_KEY, XR_VALUE_SERVER).find("127.0.0.1:")) << Journal();
    EXPECT_EQ(1, ModuleEnabled(kModule));
    SetEnvironmentVariableA("FERROWIN_CLIENT_DETECT", nullptr);
}

// A configuration fetched over TLS from a server whose root the prefix trusts, checks left on.
TEST_F(ClientProcessTest, LogonRefreshImportsOverHttpsFromATrustedServer)
{
    Write("exchange.cfg", kExchangeFile);
    LoopbackTlsServer server(dir_, LoopbackTlsServer::Certificate::FromTestRoot);
    ASSERT_TRUE(server.Ready());
    ASSERT_TRUE(server.Trust());
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, 1);
    SetString(XR_CLIENT_KEY, XR_VALUE_LAST_IMPORT_URL, server.Url("exchange.cfg"));

    PROCESS_INFORMATION client = Start("startup");
    ASSERT_TRUE(Ends(client));
    EXPECT_EQ(std::string::npos, Journal().find("error")) << Journal();
    EXPECT_EQ("corp.example ", Value(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS));
    EXPECT_NE(std::string::npos, Read(ConfigFile()).find("socks5 - - - - gateway.example:1080")) << Read(ConfigFile());
    EXPECT_NE(std::string::npos, Read(ApplicationFile()).find("yes C:\\Tools\\browser.exe"));
}

TEST_F(ClientProcessTest, FailedLogonImportLeavesEverythingAsItWas)
{
    LoopbackHttpServer server;
    server.Respond(404, "gone");
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, 1);
    SetString(XR_CLIENT_KEY, XR_VALUE_LAST_IMPORT_URL, server.Url("/client.cfg"));
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 1);
    std::string before = ClientKeySnapshot() + Read(ConfigFile()) + Read(ApplicationFile());

    PROCESS_INFORMATION client = Start("startup");
    ASSERT_TRUE(Ends(client));
    EXPECT_NE(std::string::npos, Journal().find("error Ferrowin Client|The URL was not found.|")) << Journal();
    EXPECT_EQ(before, ClientKeySnapshot() + Read(ConfigFile()) + Read(ApplicationFile()));
    // The refresh went on with its next steps.
    EXPECT_EQ(1, ModuleEnabled(kModule));
}

}
