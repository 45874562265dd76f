// The main sheet's pages as the stored settings call for them, and the Run entry of the logon
// refresh: the real sheet on the test's thread, the real registry.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ClientPropertySheet.h"
#include "RunEntry.h"
#include "Seams.h"
#include "installed_client.h"
#include "modal_driver.h"
#include "regnames.h"
#include "test_tools.h"

namespace {

const DWORD kMissing = 0xFFFFFFFF;

std::vector<std::string> g_errors;

void RecordError(const char *, const char *what, const char *)
{
    g_errors.push_back(what);
}

struct PageOrder {
    const char *name;
    DWORD wizardImport, proxyMethod, multipleServers, authentication;
    const char *tabs;
};

const PageOrder kPageOrders[] = {
    {"SimpleSetup", 0, 0, 0, 0, "General,Proxy,Applications,DNS,Diagnostics"},
    {"WithAuthentication", 0, 0, 0, 1, "General,Proxy,Applications,DNS,Credential,Diagnostics"},
    {"Imported", 1, 0, 0, 1, "General,Credential,Diagnostics"},
    {"ImportedWithoutAuthentication", 1, 1, 1, 0, "General,Diagnostics"},
    // A missing value is no stored 1.
    {"NothingStored", kMissing, kMissing, kMissing, kMissing, "General,Proxy,Applications,DNS,Diagnostics"},
};

class PageOrderTest : public InstalledClientTest, public ::testing::WithParamInterface<PageOrder> {};

void SetOrDelete(const char *name, DWORD value)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    if (value == kMissing)
        RegDeleteValueA(key, name);
    else
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
    RegCloseKey(key);
}

TEST_P(PageOrderTest, StoredMethodChoosesThePages)
{
    const PageOrder &order = GetParam();
    SetOrDelete(XR_VALUE_WIZARD_LAST_USED_IMPORT, order.wizardImport);
    SetOrDelete(XR_VALUE_PROXY_METHOD, order.proxyMethod);
    SetOrDelete(XR_VALUE_SUPPORT_MULTIPLE_SERVER, order.multipleServers);
    SetOrDelete(XR_VALUE_USE_AUTHENTICATION, order.authentication);
    ClientSettings settings;
    ClientPropertySheet sheet(settings);
    sheet.BuildPages();
    std::string tabs;
    ModalDriver driver([&](HWND window) {
        tabs = SheetTabs(window);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
    sheet.DoModal();
    ASSERT_TRUE(driver.Acted());
    EXPECT_EQ(order.tabs, tabs);
}

INSTANTIATE_TEST_SUITE_P(Values, PageOrderTest, ::testing::ValuesIn(kPageOrders),
                         [](const ::testing::TestParamInfo<PageOrder> &info) { return info.param.name; });

TEST_F(InstalledClientTest, RebuildKeepsTheActiveIndexAndTheKeyboardNeverCloses)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_USE_AUTHENTICATION, 1);
    ClientSettings settings;
    ClientPropertySheet sheet(settings);
    sheet.BuildPages();
    std::string before, after;
    int active = -1;
    bool openAfterKeys = false;
    ModalDriver driver([&](HWND window) {
        SendMessageA(window, PSM_SETCURSEL, 2, 0); // Applications
        before = SheetTabs(window);
        SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, 1);
        SendMessageA(window, RegisterWindowMessageA("WM_INITPAGES"), 0, 0);
        after = SheetTabs(window);
        HWND page = reinterpret_cast<HWND>(SendMessageA(window, PSM_GETCURRENTPAGEHWND, 0, 0));
        active = static_cast<int>(SendMessageA(window, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
        HWND focus = GetDlgItem(window, IDOK);
        for (WPARAM key : {VK_RETURN, VK_ESCAPE})
            PostMessageA(focus, WM_KEYDOWN, key, 0);
        Sleep(300);
        openAfterKeys = IsWindow(window) && SendMessageA(window, PSM_GETCURRENTPAGEHWND, 0, 0) != 0;
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
    sheet.DoModal();
    ASSERT_TRUE(driver.Acted());
    EXPECT_EQ("General,Proxy,Applications,DNS,Credential,Diagnostics", before);
    EXPECT_EQ("General,Credential,Diagnostics", after);
    // The index stays, whatever page is there now.
    EXPECT_EQ(2, active);
    EXPECT_TRUE(openAfterKeys);
}

struct RunCase {
    const char *name;
    const char *caller;
    DWORD value, proxyMethod, wizardImport;
    const char *directory;
    const char *entry; // "<missing>" when there is none
    bool error;
};

const RunCase kRunCases[] = {
    {"DetectionOn", "proxy", 1, 0, 0, "C:\\Ferrowin\\", "C:\\Ferrowin\\client.exe startup", false},
    {"UrlOn", "config", 1, 0, 0, "C:\\Ferrowin\\", "C:\\Ferrowin\\client.exe startup", false},
    {"OtherSettingStillOn", "config", 0, 1, 1, "C:\\Ferrowin\\", "C:\\Ferrowin\\client.exe startup", false},
    {"BothOff", "proxy", 0, 1, 0, "C:\\Ferrowin\\", "<missing>", false},
    {"BlanksAreQuoted", "proxy", 1, 0, 0, "C:\\Program Files\\Ferrowin\\",
     "\"C:\\Program Files\\Ferrowin\\client.exe\" startup", false},
    {"BackslashAdded", "proxy", 1, 0, 0, "C:\\Ferrowin", "C:\\Ferrowin\\client.exe startup", false},
    {"EmptyDirectoryRefused", "proxy", 1, 0, 0, "", "<missing>", true},
};

class RunEntryTest : public InstalledClientTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunEntryTest, EntryExistsExactlyWhileARefreshIsNeeded)
{
    const RunCase &c = GetParam();
    SetString(XR_RUN_KEY, XR_VALUE_STARTUP, "stale");
    SetNumber(XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD, c.proxyMethod);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, c.wizardImport);
    SetString(XR_CLIENT_KEY, XR_VALUE_INSTALLATION_DIRECTORY, c.directory);
    g_errors.clear();
    ShellSeams saved = g_shellSeams;
    g_shellSeams.errorDialog = RecordError;
    EXPECT_EQ(!c.error, UpdateRunEntry(c.caller, c.value));
    g_shellSeams = saved;
    if (c.error) {
        ASSERT_EQ(1u, g_errors.size());
        EXPECT_EQ("Could not access program registry information.", g_errors[0]);
        EXPECT_EQ("stale", Value(XR_RUN_KEY, XR_VALUE_STARTUP));
        return;
    }
    EXPECT_TRUE(g_errors.empty());
    EXPECT_EQ(c.entry, Value(XR_RUN_KEY, XR_VALUE_STARTUP));
}

INSTANTIATE_TEST_SUITE_P(Values, RunEntryTest, ::testing::ValuesIn(kRunCases),
                         [](const ::testing::TestParamInfo<RunCase> &info) { return info.param.name; });

}
