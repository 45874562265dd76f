// The General page driven as a user would, on the real main sheet where the page asks the sheet
// for something, alone on a sheet otherwise: the real registry and plug-in registry, real
// settings and exchange files, a web server on 127.0.0.1.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "GeneralPage.h"
#include "http_server.h"
#include "main_sheet.h"
#include "page_driver.h"
#include "pages_resource.h"
#include "regnames.h"
#include "test_tools.h"
#include "wizard_resource.h"
#include "xrplugin_host.h"

namespace {

const char kExchangeFile[] = "set 3=1\n"
                             "set 5=0\n"
                             "socks5 - - - - gateway.example:1080\n"
                             "localdns corp.example\n"
                             "yes C:\\Tools\\browser.exe\n";
const char kOverrideUrl[] = "message Settings from remote configuration file will override manual settings.";
const char kOverrideFile[] = "message Settings from configuration file will override current settings.";

const int kManual = 0;
const int kByUrl = 1;

bool Shown(HWND page, int id)
{
    return IsWindowVisible(GetDlgItem(page, id)) != FALSE;
}

class GeneralPageTest : public MainSheetTest {
protected:
    void SetUp() override
    {
        MainSheetTest::SetUp();
        SetString(XR_RUN_KEY, XR_VALUE_STARTUP, "stale");
        SetNumber(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD, 0);
        SetNumber(XR_CLIENT_KEY, XR_VALUE_SUPPORT_MULTIPLE_SERVER, 0);
        Write("client.cfg", "socks5 - - - - old.example:1080\n");
        Write("apps.cfg", "yes C:\\Old\\app.exe\n");
    }
};

TEST_F(GeneralPageTest, MethodSwitchRebuildsThePagesKeepingTheActiveIndex)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, kByUrl);
    SetString(XR_CLIENT_KEY, XR_VALUE_LAST_IMPORT_URL, "127.0.0.1:9/never.cfg");
    std::string before, after;
    bool urlShown = false, authenticationShown = true, switched = false;
    int active = -1;
    RunMainSheet([&](HWND sheet) {
        before = SheetTabs(sheet);
        HWND page = CurrentPage(sheet);
        urlShown = Shown(page, IDC_GENERAL_URL) && Shown(page, IDC_GENERAL_UPDATE);
        authenticationShown = Shown(page, IDC_GENERAL_AUTH);
        Choose(page, IDC_GENERAL_METHOD, kManual);
        switched = Shown(page, IDC_GENERAL_AUTH) && Shown(page, IDC_GENERAL_NO_AUTH) && !Shown(page, IDC_GENERAL_URL);
        SendMessageA(sheet, PSM_SETCURSEL, 1, 0); // Diagnostics
        Click(sheet, kApplyButton);
        WaitFor([&] { return SheetTabs(sheet) != before; });
        after = SheetTabs(sheet);
        active = ActiveIndex(sheet);
        Click(sheet, IDCANCEL);
    });
    EXPECT_EQ("General,Diagnostics", before);
    EXPECT_TRUE(urlShown);
    EXPECT_FALSE(authenticationShown);
    EXPECT_TRUE(switched);
    EXPECT_EQ("General,Proxy,Applications,DNS,Diagnostics", after);
    // The index stays: the page there now is the proxy page.
    EXPECT_EQ(1, active);
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT));
    // Neither detection nor a configuration URL needs the logon refresh any more.
    EXPECT_EQ("<missing>", Value(XR_RUN_KEY, XR_VALUE_STARTUP));
    EXPECT_TRUE(Journal().empty());
}

TEST_F(GeneralPageTest, ApplyRefusedByAnotherPageKeepsThatPagesEdits)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_ENABLE_PROXY, 0);
    bool keptWindow = false;
    std::string direct;
    RunMainSheet([&](HWND sheet) {
        Click(CurrentPage(sheet), IDC_GENERAL_PROXY);
        SendMessageA(sheet, PSM_SETCURSEL, 1, 0);
        HWND proxy = CurrentPage(sheet);
        Type(proxy, IDC_SINGLE_SERVER, "");
        Type(proxy, IDC_SINGLE_DIRECT, "keep.example");
        Click(sheet, kApplyButton);
        // Handled after the General page's request to rebuild, which the Apply posted first.
        PostMessageA(sheet, PSM_SETCURSEL, 0, 0);
        WaitFor([&] { return ActiveIndex(sheet) == 0; });
        keptWindow = IsWindow(proxy) && PageAt(sheet, 1) == proxy;
        direct = TextOf(proxy, IDC_SINGLE_DIRECT);
        Click(sheet, IDCANCEL);
    });
    EXPECT_TRUE(keptWindow);
    EXPECT_EQ("keep.example", direct);
    EXPECT_EQ(1, Count("message Server name cannot be empty!"));
    // The General page applied before the proxy page refused.
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_PROXY));
    EXPECT_EQ("socks5 - - - - old.example:1080\n", Read(ConfigFile()));
}

struct UrlCase {
    const char *name;
    int status;   // 0: no server is asked
    bool withUrl; // the URL box holds the server's address, else nothing
    bool fetched;
    std::vector<std::string> journal;
};

const UrlCase kUrlCases[] = {
    {"Fetched", 200, true, true, {kOverrideUrl}},
    {"NotFound", 404, true, false,
     {kOverrideUrl, "error The URL was not found.|The URL is incorrect or the server was not configured correctly."}},
    {"EmptyUrl", 0, false, false, {"error Could not open file.|Invalid URL."}},
};

class UrlApplyTest : public GeneralPageTest, public ::testing::WithParamInterface<UrlCase> {};

TEST_P(UrlApplyTest, MethodIsStoredOnlyWithTheFetchedConfiguration)
{
    const UrlCase &c = GetParam();
    InstallPlugIns({"testplug.dll", XR_PLUGIN_NULL_NAME});
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, kManual);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 0);
    LoopbackHttpServer server;
    server.Respond(c.status, kExchangeFile);
    std::string typed = c.withUrl ? "127.0.0.1:" + std::to_string(server.Port()) + "/client.cfg" : "";
    std::string before = ClientKeySnapshot();
    std::string tabs;
    bool stayed = false;
    RunMainSheet([&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        Choose(page, IDC_GENERAL_METHOD, kByUrl);
        Type(page, IDC_GENERAL_URL, typed);
        Click(sheet, kApplyButton);
        if (c.fetched)
            WaitFor([&] { return SheetTabs(sheet) == "General,Credential,Diagnostics"; });
        tabs = SheetTabs(sheet);
        stayed = CurrentPage(sheet) == page && Enabled(sheet, kApplyButton);
        Click(sheet, IDCANCEL);
    });
    EXPECT_EQ(c.journal, Journal());
    EXPECT_EQ(c.status ? 1 : 0, server.Requests());
    if (!c.fetched) {
        // Nothing is stored; the sheet stays on the page with its edits.
        EXPECT_TRUE(stayed);
        EXPECT_EQ(before, ClientKeySnapshot());
        EXPECT_EQ("General,Proxy,Applications,DNS,Diagnostics", tabs);
        EXPECT_EQ("stale", Value(XR_RUN_KEY, XR_VALUE_STARTUP));
        EXPECT_EQ(0, ModuleEnabled("tauth"));
        return;
    }
    EXPECT_EQ("General,Credential,Diagnostics", tabs);
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT));
    EXPECT_EQ(typed, Value(XR_CLIENT_KEY, XR_VALUE_LAST_IMPORT_URL));
    std::string program = dir_ + "\\client.exe";
    if (program.find(' ') != std::string::npos)
        program = "\"" + program + "\"";
    EXPECT_EQ(program + " startup", Value(XR_RUN_KEY, XR_VALUE_STARTUP));
    // The file's switch wins over the page's hidden buttons and reaches the plug-ins.
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
    EXPECT_EQ(1, ModuleEnabled("tauth"));
    EXPECT_EQ(1, ModuleEnabled("null"));
    EXPECT_EQ("corp.example ", Value(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS));
    EXPECT_NE(std::string::npos, Read(ConfigFile()).find("socks5 - - - - gateway.example:1080")) << Read(ConfigFile());
    EXPECT_EQ(std::string::npos, Read(ConfigFile()).find("old.example"));
    EXPECT_NE(std::string::npos, Read(ApplicationFile()).find("yes C:\\Tools\\browser.exe"));
}

INSTANTIATE_TEST_SUITE_P(Cases, UrlApplyTest, ::testing::ValuesIn(kUrlCases),
                         [](const ::testing::TestParamInfo<UrlCase> &info) { return info.param.name; });

TEST_F(GeneralPageTest, TrayCheckBoxStoresOnlyItsValueAndRemovesTheIcon)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_SHOW_ICON_ON_TASKBAR, 1);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_ENABLE_PROXY, 0);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 0);
    std::string afterClick;
    bool hidden = false, restored = false;
    RunMainSheet([&](HWND sheet) {
        // OK hides the sheet behind its icon; the icon's double click brings it back.
        PostMessageA(sheet, WM_COMMAND, IDOK, 0);
        hidden = WaitGone(sheet);
        PostMessageA(sheet, RegisterWindowMessageA("WM_ICONNOTIFY"), 100, WM_LBUTTONDBLCLK);
        restored = WaitFor([&] { return IsWindowVisible(sheet) != FALSE; });
        HWND page = CurrentPage(sheet);
        Click(page, IDC_GENERAL_PROXY);
        Click(page, IDC_GENERAL_AUTH);
        Click(page, IDC_GENERAL_TRAY);
        afterClick = Value(XR_CLIENT_KEY, XR_VALUE_SHOW_ICON_ON_TASKBAR) + " " +
                     Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_PROXY) + " " +
                     Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION);
        // Without the icon option Cancel closes the sheet and drops the other edits.
        Click(sheet, IDCANCEL);
    });
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(restored);
    EXPECT_EQ("0 0 0", afterClick);
    EXPECT_EQ((std::vector<std::string>{"tray add", "tray delete"}), Journal());
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_PROXY));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
}

TEST_F(GeneralPageTest, AuthenticationSwitchRewritesThePlugInFlags)
{
    InstallPlugIns({"testplug.dll", XR_PLUGIN_NULL_NAME});
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 0);
    std::vector<std::string> seen;
    auto state = [&] {
        return Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION) + " tauth=" + std::to_string(ModuleEnabled("tauth")) +
               " null=" + std::to_string(ModuleEnabled("null"));
    };
    settings_.Load();
    GeneralPage page(settings_);
    RunAlone(page, [&](HWND sheet, HWND general) {
        for (int button : {IDC_GENERAL_AUTH, IDC_GENERAL_NO_AUTH}) {
            Click(general, button);
            Click(sheet, kApplyButton);
            seen.push_back(state());
        }
        Click(sheet, IDCANCEL);
    });
    // The built-in null authentication is never switched.
    EXPECT_EQ((std::vector<std::string>{"1 tauth=1 null=1", "0 tauth=0 null=1"}), seen);
    EXPECT_TRUE(Journal().empty());
}

TEST_F(GeneralPageTest, FailedFileImportIsReportedOnceAndChangesNothing)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, kByUrl);
    AnswerFiles(Write("junk.txt", "this is no configuration\n"));
    std::string before = ClientKeySnapshot() + Read(ConfigFile()) + Read(ApplicationFile());
    settings_.Load();
    GeneralPage page(settings_);
    RunAlone(page, [&](HWND sheet, HWND general) {
        SendMessageA(general, WM_COMMAND, MAKEWPARAM(IDC_GENERAL_OPEN, BN_CLICKED), 0);
        Click(sheet, IDCANCEL);
    });
    std::vector<std::string> journal = Journal();
    ASSERT_EQ(3u, journal.size());
    EXPECT_EQ("file open", journal[0]);
    EXPECT_EQ(kOverrideFile, journal[1]);
    EXPECT_EQ(0u, journal[2].find("error Could not open import file.|")) << journal[2];
    EXPECT_EQ(before, ClientKeySnapshot() + Read(ConfigFile()) + Read(ApplicationFile()));
}

TEST_F(GeneralPageTest, SetupWizardRunsOverTheSheetAndOnlyItsFinishRebuildsThePages)
{
    LoopbackHttpServer server;
    server.Respond(200, "set 3=0\nsocks5 - - - - gateway.example:1080\n");
    bool sheetDisabled = false, cancelled = false, samePage = false, finished = false;
    std::string tabsAfterCancel, tabsAfterFinish;
    RunMainSheet([&](HWND sheet) {
        DWORD thread = GetWindowThreadProcessId(sheet, nullptr);
        HWND general = CurrentPage(sheet);
        PostCommand(general, IDC_GENERAL_WIZARD);
        HWND wizard = WaitForWindow(thread, "Ferrowin Client Setup Wizard");
        sheetDisabled = wizard && !IsWindowEnabled(sheet);
        PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        cancelled = WaitDestroyed(wizard);
        // Handled after anything the page posted when the wizard ended.
        PostMessageA(sheet, PSM_SETCURSEL, 1, 0);
        WaitFor([&] { return ActiveIndex(sheet) == 1; });
        samePage = IsWindow(general) && PageAt(sheet, 0) == general && IsWindowEnabled(sheet);
        tabsAfterCancel = SheetTabs(sheet);

        SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
        PostCommand(general, IDC_GENERAL_WIZARD);
        wizard = WaitForWindow(thread, "Ferrowin Client Setup Wizard");
        HWND first = wizard ? CurrentPage(wizard) : nullptr;
        Click(first, IDC_WIZ_URL_SCRIPT);
        Type(first, IDC_WIZ_URL, "127.0.0.1:" + std::to_string(server.Port()) + "/client.txt");
        SendMessageA(wizard, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        SendMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        finished = WaitDestroyed(wizard);
        WaitFor([&] { return SheetTabs(sheet) == "General,Diagnostics"; });
        tabsAfterFinish = SheetTabs(sheet);
        Click(sheet, IDCANCEL);
    });
    EXPECT_TRUE(sheetDisabled);
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(samePage);
    EXPECT_EQ("General,Proxy,Applications,DNS,Diagnostics", tabsAfterCancel);
    EXPECT_TRUE(finished);
    // The wizard's choice, a configuration by URL, leaves the pages of an imported configuration.
    EXPECT_EQ("General,Diagnostics", tabsAfterFinish);
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT));
}

// The two halves of a round trip between two Wine prefixes (exchange_round_trip.sh): the export
// in the suite's prefix, the import in a fresh one. Each skips without FERROWIN_EXCHANGE_FILE,
// the exchange file's Windows path without its extension.
std::string ExchangeFile()
{
    const char *path = getenv("FERROWIN_EXCHANGE_FILE");
    return path ? path : "";
}

// Switches by position in the file: Enable DNS Proxy, Enable Netmask Check, Support Multiple
// Server, Use Authentication, Socksify All, Proxy method, Allow save credential.
const char *const kSwitches[] = {XR_VALUE_ENABLE_DNS_PROXY, XR_VALUE_ENABLE_NETMASK_CHECK,
                                 XR_VALUE_SUPPORT_MULTIPLE_SERVER, XR_VALUE_USE_AUTHENTICATION,
                                 XR_VALUE_SOCKSIFY_ALL, XR_VALUE_PROXY_METHOD, XR_VALUE_ALLOW_SAVE_CREDENTIAL};
const DWORD kExported[] = {2, 1, 1, 1, 1, 0, 1};
const char kRoutes[] = "socks4 - 10.1.0.0 80 alice,bob s4.example:1081\r\n"
                       "socks5 - - - - a.example:1080,b.example:1080\r\n";
const char kLists[] = "yes C:\\Tools\\browser.exe\nno C:\\Games\\game.exe\n";

TEST_F(GeneralPageTest, ExchangeRoundTripExportHere)
{
    if (ExchangeFile().empty())
        GTEST_SKIP() << "half of exchange_round_trip.sh";
    for (int position = 0; position < 7; position++)
        SetNumber(XR_CLIENT_KEY, kSwitches[position], kExported[position]);
    SetString(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS, "corp.example lan.example");
    SetString(XR_CLIENT_KEY, XR_VALUE_REMOTE_DNS_DOMAINS, "outside.example");
    Write("client.cfg", kRoutes);
    Write("apps.cfg", kLists);
    settings_.Load();
    GeneralPage page(settings_);
    RunAlone(page, [&](HWND sheet, HWND general) {
        // Without an extension ".txt" is added; one in capitals stays as it is.
        for (const std::string &name : {ExchangeFile(), Path("COPY.TXT")}) {
            AnswerFiles(name);
            SendMessageA(general, WM_COMMAND, MAKEWPARAM(IDC_GENERAL_SAVE, BN_CLICKED), 0);
        }
        Click(sheet, IDCANCEL);
    });
    EXPECT_EQ((std::vector<std::string>{"file save", "message File was saved.", "file save",
                                        "message File was saved."}),
              Journal());
    std::string exported = Read(ExchangeFile() + ".txt");
    EXPECT_NE(std::string::npos, exported.find("set 3=1")) << exported;
    EXPECT_EQ(exported, Read(Path("COPY.TXT")));
    EXPECT_EQ("<missing>", Read(Path("COPY.TXT.txt")));
}

TEST_F(GeneralPageTest, ExchangeRoundTripImportHere)
{
    if (ExchangeFile().empty())
        GTEST_SKIP() << "half of exchange_round_trip.sh";
    for (const char *name : kSwitches)
        SetNumber(XR_CLIENT_KEY, name, 0);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, kByUrl);
    AnswerFiles(ExchangeFile() + ".txt");
    settings_.Load();
    GeneralPage page(settings_);
    RunAlone(page, [&](HWND sheet, HWND general) {
        SendMessageA(general, WM_COMMAND, MAKEWPARAM(IDC_GENERAL_OPEN, BN_CLICKED), 0);
        Click(sheet, IDCANCEL);
    });
    EXPECT_EQ((std::vector<std::string>{"file open", kOverrideFile}), Journal());
    for (int position = 0; position < 7; position++)
        EXPECT_EQ(std::to_string(kExported[position]), Value(XR_CLIENT_KEY, kSwitches[position])) << position;
    EXPECT_EQ("corp.example lan.example ", Value(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS));
    EXPECT_EQ("outside.example ", Value(XR_CLIENT_KEY, XR_VALUE_REMOTE_DNS_DOMAINS));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT));
    EXPECT_EQ(kRoutes, Read(ConfigFile()));
    std::string lists = Read(ApplicationFile());
    EXPECT_NE(std::string::npos, lists.find("yes C:\\Tools\\browser.exe")) << lists;
    EXPECT_NE(std::string::npos, lists.find("no C:\\Games\\game.exe")) << lists;
}

}
