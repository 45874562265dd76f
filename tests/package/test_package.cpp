// The package's whole life under Wine, in the suite's own prefix: msiexec installs it silently,
// the installation's files and values are checked, the logon entries are run as the shell runs
// them at a logon, the programs' windows are driven (their message boxes and error dialogs go to
// a journal), and msiexec removes it again. Each test starts and ends with nothing installed.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client_process.h"
#include "http_server.h"
#include "installed_client.h"
#include "regnames.h"
#include "wizard_resource.h"
#include "xrplugin_host.h"

namespace {

const DWORD kInstallerWaitMs = 180000;
const char kSheetCaption[] = "Ferrowin Client Properties";
const char kWizardCaption[] = "Ferrowin Client Setup Wizard";
const char kProductName[] = "Ferrowin Client";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kPlugInName[] = "Varo SOCKS5 LDAP";
const char kPlugInModule[] = "ldap";
const char *const kPrograms[] = {"client.exe", "xrcredmgr.exe", "xrldap.dll", "xrimpl.dll", "xrcred.dll", "xrsetup.exe"};

// An administrator's exchange file: one route, a local domain, one application, authentication.
const char kExchangeFile[] = "set 3=1\n"
                             "socks5 - - - - gateway.example:1080\n"
                             "localdns corp.example\n"
                             "yes C:\\Tools\\browser.exe\n";
const char kImportedRoute[] = "socks5 - - - - gateway.example:1080";
const char kImportedApplication[] = "yes C:\\Tools\\browser.exe";

std::string WindowsPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string Folder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// A program's version resource as "a.b.c.d".
std::string FileVersion(const std::string &path)
{
    DWORD handle = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(path.c_str(), &handle));
    VS_FIXEDFILEINFO *info = nullptr;
    UINT size = 0;
    if (block.empty() || !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data())
        || !VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&info), &size))
        return "<none>";
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "."
           + std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The package's helpers use InstalledClientTest's readers of values and files; the installation
// itself is the package's, not the fixture's prepared one.
class PackageTest : public InstalledClientTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstalledVersions().empty()) << "a test before left the product installed";
        dir_ = Folder(CSIDL_PROGRAM_FILES) + "\\Ferrowin Client";
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        scratch_ = std::string(temp) + "ferrowin-package";
        std::filesystem::remove_all(scratch_);
        std::filesystem::create_directories(scratch_);
        SetEnvironmentVariableA("FERROWIN_CLIENT_JOURNAL", (scratch_ + "\\journal.txt").c_str());
    }

    void TearDown() override
    {
        started_.End();
        // A test that failed half-way still leaves nothing installed for the next one.
        for (const char *package : {FERROWIN_NEWER_PACKAGE, FERROWIN_PACKAGE})
            if (!InstalledVersions().empty())
                Msiexec("/x \"" + WindowsPath(package) + "\"");
        started_.End();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        std::filesystem::remove_all(scratch_, ignored);
    }

    // msiexec's exit code, silent, with its log in the scratch folder.
    int Msiexec(const std::string &arguments)
    {
        PROCESS_INFORMATION process = Run("msiexec.exe /qn " + arguments + " /l*v \"" + scratch_ + "\\msiexec.log\"");
        if (WaitForSingleObject(process.hProcess, kInstallerWaitMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return static_cast<int>(code);
    }
    int Install(const std::string &package, const std::string &properties = "")
    {
        return Msiexec("/i \"" + WindowsPath(package) + "\" " + properties);
    }

    // A command line as the shell runs it (a logon entry, say); ended at the latest with the test.
    PROCESS_INFORMATION Run(const std::string &command) { return started_.Run(command, scratch_); }
    PROCESS_INFORMATION RunLogonEntry(const char *key)
    {
        return Run(Value(key, XR_VALUE_STARTUP));
    }
    PROCESS_INFORMATION RunClient(const std::string &parameters)
    {
        return Run("\"" + Program("client.exe") + "\" " + parameters);
    }

    static DWORD ExitCode(const PROCESS_INFORMATION &process)
    {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    std::string Program(const char *name) const { return dir_ + "\\" + name; }
    std::string Journal() const { return Read(scratch_ + "\\journal.txt"); }
    std::string ExchangeFile() const
    {
        std::string path = scratch_ + "\\exchange.cfg";
        std::ofstream(path, std::ios::binary) << kExchangeFile;
        return path;
    }

    // The client key as an installation into folder writes it, as "name=value" lines: the folder
    // values, every number at 0, no import URL; changed gives other values ("name=value").
    static std::string InstalledKey(const std::string &folder, const std::vector<std::string> &changed)
    {
        std::vector<std::pair<std::string, std::string>> values = {
            {XR_VALUE_INSTALLATION_DIRECTORY, folder},
            {XR_VALUE_CLIENT_LIBRARY_FILE, folder + "client.cfg"},
            {XR_VALUE_APPLICATION_FILE, folder + "apps.cfg"},
            {XR_VALUE_LAST_IMPORT_URL, "<missing>"}};
        for (const char *name :
             {XR_VALUE_SETUP_IN_PROGRESS, XR_VALUE_START_AS_WIZARD, XR_VALUE_WIZARD_LAST_USED_IMPORT,
              XR_VALUE_PROXY_METHOD, XR_VALUE_SUPPORT_MULTIPLE_SERVER, XR_VALUE_USE_AUTHENTICATION,
              XR_VALUE_SHOW_ICON_ON_TASKBAR, XR_VALUE_ENABLE_PROXY, XR_VALUE_ENABLE_CONFIGURATION_FILE,
              XR_VALUE_SOCKSIFY_ALL, XR_VALUE_ALLOW_SAVE_CREDENTIAL, XR_VALUE_ENABLE_DNS_PROXY,
              XR_VALUE_ENABLE_NETMASK_CHECK, XR_VALUE_ENABLE_LOG_TO_FILE})
            values.emplace_back(name, "0");
        std::string expected;
        for (auto &[name, value] : values) {
            for (const std::string &setting : changed)
                if (setting.substr(0, setting.find('=')) == name)
                    value = setting.substr(setting.find('=') + 1);
            expected += name + "=" + value + "\n";
        }
        return expected;
    }
    // The same lines as the client key holds them.
    static std::string KeyNow(const std::string &expected)
    {
        std::string now;
        for (size_t at = 0; at < expected.size(); at = expected.find('\n', at) + 1) {
            std::string name = expected.substr(at, expected.find('=', at) - at);
            now += name + "=" + Value(XR_CLIENT_KEY, name.c_str()) + "\n";
        }
        return now;
    }

    // The installed product's versions, as the system's list of installed programs shows them.
    static std::vector<std::string> InstalledVersions()
    {
        std::vector<std::string> versions;
        HKEY uninstall;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall) != ERROR_SUCCESS)
            return versions;
        char name[256];
        for (DWORD i = 0; RegEnumKeyA(uninstall, i, name, sizeof name) == ERROR_SUCCESS; i++) {
            std::string product = std::string(kUninstallKey) + "\\" + name;
            if (Value(product.c_str(), "DisplayName") == kProductName)
                versions.push_back(Value(product.c_str(), "DisplayVersion"));
        }
        RegCloseKey(uninstall);
        return versions;
    }

    // What a removal must not leave: the programs, the shortcut, the client key and the logon
    // entries, the product's registration. Only settings files the user changed stay.
    void ExpectRemoved(const std::vector<std::string> &keptFiles) const
    {
        for (const char *name : kPrograms)
            EXPECT_FALSE(Exists(Program(name))) << name;
        for (const char *name : {"client.cfg", "apps.cfg"}) {
            bool kept = std::find(keptFiles.begin(), keptFiles.end(), name) != keptFiles.end();
            EXPECT_EQ(kept, Exists(Program(name))) << name;
        }
        if (keptFiles.empty()) {
            EXPECT_FALSE(Exists(dir_));
        }
        EXPECT_FALSE(Exists(MenuFolder()));
        HKEY key;
        EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Varo", 0, KEY_READ, &key));
        EXPECT_EQ("<missing>", Value(XR_RUN_KEY, XR_VALUE_STARTUP));
        EXPECT_EQ("<missing>", Value(XR_RUNONCE_KEY, XR_VALUE_STARTUP));
        EXPECT_TRUE(InstalledVersions().empty());
        EXPECT_EQ(nullptr, FindWindowA("xrcredmgr", nullptr)) << "the credential manager still runs";
    }

    // Wine's installer puts the per-machine shortcut into the installing user's menu; Windows
    // into the common one.
    static std::string MenuFolder()
    {
        std::string user = Folder(CSIDL_PROGRAMS) + "\\Ferrowin Client";
        return Exists(user) ? user : Folder(CSIDL_COMMON_PROGRAMS) + "\\Ferrowin Client";
    }

    std::string scratch_;
    StartedProcesses started_;
};

TEST_F(PackageTest, SilentInstallHandsOverToTheWizardAndRemovalLeavesOnlyChangedSettings)
{
    ASSERT_EQ(0, Install(FERROWIN_PACKAGE));
    std::string folder = dir_ + "\\";
    for (const char *name : kPrograms)
        EXPECT_TRUE(Exists(Program(name))) << name;
    EXPECT_EQ("", Read(Program("client.cfg")));
    EXPECT_EQ("", Read(Program("apps.cfg")));
    EXPECT_TRUE(Exists(MenuFolder() + "\\Ferrowin Client Properties.lnk"));
    // The package and the program's version resource have one source.
    EXPECT_EQ(std::vector<std::string>{FileVersion(Program("client.exe"))}, InstalledVersions());
    std::string installed = InstalledKey(folder, {"Setup in progress=1", "Start as wizard=1"});
    EXPECT_EQ(installed, KeyNow(installed));
    EXPECT_EQ("\"" + Program("client.exe") + "\"", Value(XR_RUNONCE_KEY, XR_VALUE_STARTUP));
    EXPECT_EQ("<missing>", Value(XR_RUN_KEY, XR_VALUE_STARTUP));
    EXPECT_EQ(Program("xrldap.dll"), Value((std::string(XR_PLUGINS_KEY) + "\\" + kPlugInName).c_str(), "DLL Path"));
    EXPECT_EQ(1, ModuleEnabled(kPlugInModule));

    // The first logon: the wizard on top, the RunOnce entry gone, the credential manager started.
    PROCESS_INFORMATION first = RunLogonEntry(XR_RUNONCE_KEY);
    HWND wizard = WindowOf(first, kWizardCaption);
    ASSERT_NE(nullptr, wizard) << "exit code " << ExitCode(first) << "; " << Journal();
    EXPECT_TRUE(GetWindowLongPtrA(wizard, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ("<missing>", Value(XR_RUNONCE_KEY, XR_VALUE_STARTUP));
    EXPECT_TRUE(WaitFor([] { return FindWindowA("xrcredmgr", nullptr) != nullptr; }));
    // The user takes an administrator's file over and finishes.
    HWND page = reinterpret_cast<HWND>(SendMessageA(wizard, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(nullptr, GetDlgItem(page, IDC_WIZ_IMPORT_FILE));
    SendMessageA(GetDlgItem(page, IDC_WIZ_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ExchangeFile().c_str()));
    PostMessageA(GetDlgItem(page, IDC_WIZ_IMPORT_FILE), BM_CLICK, 0, 0);
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    ASSERT_TRUE(Ends(first)) << Journal();
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_SETUP_IN_PROGRESS));
    EXPECT_EQ("0", Value(XR_CLIENT_KEY, XR_VALUE_START_AS_WIZARD));
    EXPECT_NE(std::string::npos, Read(Program("client.cfg")).find(kImportedRoute)) << Journal();
    EXPECT_NE(std::string::npos, Read(Program("apps.cfg")).find(kImportedApplication));

    // Later starts show the sheet.
    PROCESS_INFORMATION second = RunClient("");
    HWND sheet = WindowOf(second, kSheetCaption);
    ASSERT_NE(nullptr, sheet) << Journal();
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(Ends(second));

    // The logon refresh brings the plug-in record into line with "Use Authentication".
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 0);
    ASSERT_TRUE(Ends(RunClient("startup")));
    EXPECT_EQ(0, ModuleEnabled(kPlugInModule));
    EXPECT_EQ(std::string::npos, Journal().find("error")) << Journal();

    ASSERT_EQ(0, Msiexec("/x \"" + WindowsPath(FERROWIN_PACKAGE) + "\""));
    ExpectRemoved({"client.cfg", "apps.cfg"});
}

// What the deployment properties write, and that a removal before any first run takes it all.
struct DeploymentCase {
    const char *properties;
    std::vector<std::string> values; // the client key's values that differ from a plain installation
    bool runOnce;                    // the first start runs the wizard
    bool run;                        // every logon takes the configuration over
};

class DeploymentTest : public PackageTest, public ::testing::WithParamInterface<DeploymentCase> {};

TEST_P(DeploymentTest, PropertiesChooseTheFirstRunAndRemovalLeavesNothing)
{
    const DeploymentCase &deployment = GetParam();
    ASSERT_EQ(0, Install(FERROWIN_PACKAGE, deployment.properties));
    std::string installed = InstalledKey(dir_ + "\\", deployment.values);
    EXPECT_EQ(installed, KeyNow(installed));
    EXPECT_EQ(deployment.runOnce ? "\"" + Program("client.exe") + "\"" : "<missing>",
              Value(XR_RUNONCE_KEY, XR_VALUE_STARTUP));
    EXPECT_EQ(deployment.run ? "\"" + Program("client.exe") + "\" startup" : "<missing>",
              Value(XR_RUN_KEY, XR_VALUE_STARTUP));

    ASSERT_EQ(0, Msiexec("/x \"" + WindowsPath(FERROWIN_PACKAGE) + "\""));
    ExpectRemoved({});
}

INSTANTIATE_TEST_SUITE_P(
    Properties, DeploymentTest,
    ::testing::Values(DeploymentCase{"", {"Setup in progress=1", "Start as wizard=1"}, true, false},
                      DeploymentCase{"FIRSTRUNWIZARD=0", {}, false, false},
                      DeploymentCase{"FIRSTRUNWIZARD=1 CONFIGURL=http://127.0.0.1:1/fleet.cfg",
                                     {"Setup in progress=1", "Start as wizard=1", "Wizard last used import=1",
                                      "Last configuration file import URL=http://127.0.0.1:1/fleet.cfg"},
                                     true, true}));

// An administrator's silent command line for a fleet: the configuration comes from a web server,
// into a folder of their choice, and the first logon takes it over without asking anything.
TEST_F(PackageTest, FleetInstallationTakesTheUrlsConfigurationOverAtTheFirstLogon)
{
    LoopbackHttpServer server;
    server.Respond(200, kExchangeFile);
    std::string url = "127.0.0.1:" + std::to_string(server.Port()) + "/fleet.cfg";
    dir_ = "C:\\Fleet\\Ferrowin";
    std::string folder = dir_ + "\\";
    ASSERT_EQ(0, Install(FERROWIN_PACKAGE, "CONFIGURL=\"" + url + "\" INSTALLDIR=\"" + folder + "\""));

    std::string installed = InstalledKey(folder, {"Wizard last used import=1", "Last configuration file import URL=" + url});
    EXPECT_EQ(installed, KeyNow(installed));
    EXPECT_EQ("<missing>", Value(XR_RUNONCE_KEY, XR_VALUE_STARTUP));
    EXPECT_EQ(Program("client.exe") + " startup", Value(XR_RUN_KEY, XR_VALUE_STARTUP));

    ASSERT_TRUE(Ends(RunLogonEntry(XR_RUN_KEY)));
    EXPECT_EQ(1, server.Requests());
    EXPECT_EQ(std::string::npos, Journal().find("error")) << Journal();
    EXPECT_NE(std::string::npos, Read(Program("client.cfg")).find(kImportedRoute)) << Read(Program("client.cfg"));
    EXPECT_NE(std::string::npos, Read(Program("apps.cfg")).find(kImportedApplication)) << Read(Program("apps.cfg"));
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION));
    EXPECT_EQ("corp.example ", Value(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS));
    // The imported authentication switch reached the plug-in record in the same refresh.
    EXPECT_EQ(1, ModuleEnabled(kPlugInModule));

    ASSERT_EQ(0, Msiexec("/x \"" + WindowsPath(FERROWIN_PACKAGE) + "\""));
    ExpectRemoved({"client.cfg", "apps.cfg"});
}

TEST_F(PackageTest, UpgradeKeepsTheSettingsFilesTheChoicesAndThePlugInRecord)
{
    ASSERT_EQ(0, Install(FERROWIN_PACKAGE));
    // The first run is over and the user chose their settings.
    HKEY runOnce;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, XR_RUNONCE_KEY, 0, KEY_SET_VALUE, &runOnce));
    RegDeleteValueA(runOnce, XR_VALUE_STARTUP);
    RegCloseKey(runOnce);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_SETUP_IN_PROGRESS, 0);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_START_AS_WIZARD, 0);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_SUPPORT_MULTIPLE_SERVER, 1);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 1);
    SetString(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS, "corp.example ");
    std::ofstream(Program("client.cfg"), std::ios::binary) << kImportedRoute << "\r\n";
    std::ofstream(Program("apps.cfg"), std::ios::binary) << kImportedApplication << "\r\n";
    XrPlugInEntry *entries = nullptr;
    int32_t count = 0;
    ASSERT_EQ(0, XrPlugInList(XR_PLUGINS_KEY, XR_PLUGIN_CLIENT, &entries, &count));
    ASSERT_EQ(1, count);
    entries[0].modules[0].enabled = 0;
    entries[0].modules[0].changed = 1;
    ASSERT_EQ(0, XrPlugInSave(XR_PLUGINS_KEY, entries, count));
    XrPlugInFreeList(entries, count);
    std::string before = ClientKeySnapshot() + Read(Program("client.cfg")) + Read(Program("apps.cfg"));

    ASSERT_EQ(0, Install(FERROWIN_NEWER_PACKAGE));
    EXPECT_EQ(std::vector<std::string>{FERROWIN_NEWER_VERSION}, InstalledVersions());
    EXPECT_EQ(before, ClientKeySnapshot() + Read(Program("client.cfg")) + Read(Program("apps.cfg")));
    EXPECT_EQ(0, ModuleEnabled(kPlugInModule));
    // No second first run.
    EXPECT_EQ("<missing>", Value(XR_RUNONCE_KEY, XR_VALUE_STARTUP));

    ASSERT_EQ(0, Msiexec("/x \"" + WindowsPath(FERROWIN_NEWER_PACKAGE) + "\""));
    ExpectRemoved({"client.cfg", "apps.cfg"});
}

}
