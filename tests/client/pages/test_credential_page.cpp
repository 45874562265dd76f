// The credential page on a sheet of its own, with real plug-ins recorded in the registry (the
// built-in null method, the test plug-in testplug_cred.dll and xrldap.dll) and the credential
// cache stand-in under a key of the test's own. The cache's dialog is answered through its hook;
// the page's question through the shell's seam.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "CGXGrid.h"
#include "ClientSettings.h"
#include "Controls.h"
#include "CredentialPage.h"
#include "Seams.h"
#include "installed_client.h"
#include "nt/regutil.h"
#include "page_driver.h"
#include "pages_resource.h"
#include "regnames.h"
#include "xrcred.h"
#include "xrplugin_host.h"
#include "xrstr.h"

namespace {

const int kUpwd = 0, kWindom = 1, kLdap = 2; // positions in the method list
const char kQuestion[] = "Are you sure you want to remove the credential for this server?";

std::vector<std::string> g_messages;
std::vector<std::string> g_errors;
int g_questionAnswer = IDOK;
// Runs on the page's thread while the removal question is open.
std::function<void()> g_onQuestion;

int AnswerQuestion(HWND, const char *text, const char *, UINT)
{
    g_messages.push_back(text);
    if (g_onQuestion)
        g_onQuestion();
    return g_questionAnswer;
}

void RecordError(const char *, const char *what, const char *)
{
    g_errors.push_back(what);
}

// The credential dialog as the plug-ins fill it, and the user's answer.
struct Shown {
    std::string title, caption, server, user;
};
std::vector<Shown> g_dialogs;
struct Answer {
    int result;
    const char *server, *user, *password;
};
Answer g_answer = {2, "", "", ""};

int __cdecl AnswerDialog(XrCCDialogDesc *dialog)
{
    g_dialogs.push_back({dialog->title, dialog->caption, dialog->server, dialog->user});
    if (g_answer.result == 1) {
        XrStrCopy(dialog->server, sizeof dialog->server, g_answer.server);
        XrStrCopy(dialog->user, sizeof dialog->user, g_answer.user);
        XrStrCopy(dialog->password, sizeof dialog->password, g_answer.password);
    }
    return g_answer.result;
}

// A cache that lists g_listed, after claiming the room of g_claimed records.
std::vector<XrCCId> g_listed;
size_t g_claimed;

int __cdecl ListRecords(const XrCCMethod *, XrCCId *records, int size)
{
    if (!records)
        return static_cast<int>(g_claimed * sizeof(XrCCId));
    size_t count = std::min(g_listed.size(), static_cast<size_t>(size) / sizeof(XrCCId));
    std::copy_n(g_listed.begin(), count, records);
    return static_cast<int>(count * sizeof(XrCCId));
}

XrCCId Id(const char *server, const char *user)
{
    XrCCId id = {};
    XrStrCopy(id.key.server, sizeof id.key.server, server);
    XrStrCopy(id.server, sizeof id.server, server);
    XrStrCopy(id.userId, sizeof id.userId, user);
    return id;
}

std::string BesideTheTest(const char *name)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text(path);
    return text.substr(0, text.find_last_of('\\') + 1) + name;
}

// An export of the test plug-in, which the page loaded into this process.
template <typename Fn> Fn TestPlugIn(const char *name)
{
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(LoadLibraryA(BesideTheTest("testplug_cred.dll").c_str()), name)));
}

int32_t UpwdInits()
{
    return TestPlugIn<int32_t(XRPLUGIN_CALL *)()>("TestCredInits")();
}

intptr_t NoSave()
{
    return TestPlugIn<intptr_t(XRPLUGIN_CALL *)()>("TestCredNoSave")();
}

XrCCKey LastKey()
{
    XrCCKey key;
    TestPlugIn<void(XRPLUGIN_CALL *)(XrCCKey *)>("TestCredLastKey")(&key);
    return key;
}

// The key of that server as a credential handler must get it: zero-filled after the server.
bool IsKeyOf(const XrCCKey &key, const char *server)
{
    XrCCKey expected = {};
    XrStrCopy(expected.server, sizeof expected.server, server);
    return memcmp(&key, &expected, sizeof key) == 0;
}

// The grid's data rows as "server|user".
std::vector<std::string> Rows(HWND page)
{
    HWND list = GridList(page, IDC_CREDENTIAL_GRID);
    std::vector<std::string> rows;
    for (int row = 0; row < GridDataRows(list); row++)
        rows.push_back(ListCell(list, row, 1) + "|" + ListCell(list, row, 2));
    return rows;
}

std::vector<std::string> Sorted(std::vector<std::string> rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Selects the data row of that server; false when the grid has none.
bool SelectServer(HWND page, const std::string &server)
{
    HWND list = GridList(page, IDC_CREDENTIAL_GRID);
    for (int row = 0; row < GridDataRows(list); row++)
        if (ListCell(list, row, 1) == server) {
            SelectGridRow(list, row);
            return true;
        }
    return false;
}

void ClearSelection(HWND page)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(GridList(page, IDC_CREDENTIAL_GRID), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&item));
}

// A click of a button bar command, handled before this returns.
void Press(HWND page, int command)
{
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
}

std::vector<std::string> Methods(HWND page)
{
    std::vector<std::string> methods;
    for (int i = 0; i < ComboCount(page, IDC_CREDENTIAL_METHODS); i++)
        methods.push_back(ComboText(page, IDC_CREDENTIAL_METHODS, i));
    return methods;
}

class CredentialPageTest : public InstalledClientTest {
protected:
    void SetUp() override
    {
        InstalledClientTest::SetUp();
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        saved_ = g_shellSeams;
        g_shellSeams.messageBox = AnswerQuestion;
        g_shellSeams.errorDialog = RecordError;
        g_messages.clear();
        g_errors.clear();
        g_dialogs.clear();
        g_questionAnswer = IDOK;
        g_onQuestion = nullptr;
        g_answer = {2, "", "", ""};
        XrCCSetDialogHook(AnswerDialog);
        cacheKey_ = "Software\\Varo\\SOCKS5 Credentials\\PageTest-" + std::to_string(GetCurrentProcessId());
        XrRegDeleteTree(HKEY_CURRENT_USER, cacheKey_.c_str(), nullptr);
        ASSERT_EQ(0, XrPlugInInit());
        ASSERT_EQ(0, XrCC_Init(1, HKEY_CURRENT_USER, cacheKey_.c_str(), [] { return 0; }));
        for (std::string library : {std::string(XR_PLUGIN_NULL_NAME), BesideTheTest("testplug_cred.dll"),
                                    BesideTheTest("xrldap.dll")})
            ASSERT_EQ(0, XrPlugInInstall(library.c_str(), XR_PLUGINS_KEY, XR_PLUGIN_CLIENT)) << library;
    }

    void TearDown() override
    {
        XrCCSetDialogHook(nullptr);
        XrCCSetEnumHook(nullptr);
        // Shuts the cache down as well.
        XrPlugInCleanup();
        XrRegDeleteTree(HKEY_CURRENT_USER, cacheKey_.c_str(), nullptr);
        g_shellSeams = saved_;
        g_onQuestion = nullptr;
        WSACleanup();
        InstalledClientTest::TearDown();
    }

    INT_PTR Show(CredentialPage &page, std::function<void(HWND sheet, HWND page)> act)
    {
        bool acted = false;
        INT_PTR result = ShowOnSheet(page, act, acted);
        EXPECT_TRUE(acted);
        return result;
    }

    INT_PTR Show(std::function<void(HWND sheet, HWND page)> act)
    {
        CredentialPage page(settings_);
        return Show(page, act);
    }

    static void Store(int32_t method, const char *server, const char *user)
    {
        XrCCMethod id = {method};
        ASSERT_EQ(0, XrCCOpen(&id));
        XrCCCredential entry = {};
        entry.id = Id(server, user);
        XrStrCopy(entry.text, sizeof entry.text, (std::string("user=") + user).c_str());
        EXPECT_EQ(0, XrCCSet(&id, &entry));
        XrCCClose(&id);
    }

    // What the cache holds for the method, as "server|user", sorted.
    static std::vector<std::string> Stored(int32_t method)
    {
        XrCCMethod id = {method};
        XrCCOpen(&id);
        std::vector<XrCCId> records(16);
        int bytes = XrCC_EnumIds(&id, records.data(), static_cast<int>(records.size() * sizeof(XrCCId)));
        XrCCClose(&id);
        std::vector<std::string> stored;
        for (int i = 0; i < bytes / static_cast<int>(sizeof(XrCCId)); i++)
            stored.push_back(std::string(records[i].server) + "|" + records[i].userId);
        return Sorted(stored);
    }

    static std::string StoredText(int32_t method, const char *server)
    {
        XrCCMethod id = {method};
        XrCCOpen(&id);
        XrCCKey key = {};
        XrStrCopy(key.server, sizeof key.server, server);
        XrCCCredential entry = {};
        int found = XrCCGet(&id, &key, &entry);
        XrCCClose(&id);
        return found == 0 ? entry.text : "<missing>";
    }

    ClientSettings settings_;
    ShellSeams saved_;
    std::string cacheKey_;
};

TEST_F(CredentialPageTest, MethodsListTheKnownEnabledModulesEachWithItsCredentials)
{
    Store(XRCC_METHOD_UPWD, "10.0.0.1", "ann");
    Store(XRCC_METHOD_UPWD, "10.0.0.2", "bob");
    Store(XRCC_METHOD_LDAP, "10.0.0.9", "cn=carl,o=test");
    std::vector<std::string> methods, header;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> numbers;
    Show([&](HWND, HWND page) {
        methods = Methods(page);
        CGXGrid *grid = CGXGrid::FromWindow(GetDlgItem(page, IDC_CREDENTIAL_GRID));
        for (int column = 0; column < 3; column++)
            header.push_back(grid->CellText(0, column));
        for (int method : {kUpwd, kWindom, kLdap}) {
            Choose(page, IDC_CREDENTIAL_METHODS, method);
            rows.push_back(Sorted(Rows(page)));
        }
        Choose(page, IDC_CREDENTIAL_METHODS, kUpwd);
        HWND list = GridList(page, IDC_CREDENTIAL_GRID);
        for (int row = 0; row < GridDataRows(list); row++)
            numbers.push_back(ListCell(list, row, 0));
    });
    // Not the null method, nor the module whose name the cache does not know ("tcred").
    EXPECT_EQ((std::vector<std::string>{"Test user name and password", "Test domain logon", "LDAP authentication"}),
              methods);
    EXPECT_EQ((std::vector<std::string>{"", "Server", "User ID"}), header);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1|ann", "10.0.0.2|bob"}), rows[0]);
    EXPECT_EQ(std::vector<std::string>{}, rows[1]);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.9|cn=carl,o=test"}), rows[2]);
    EXPECT_EQ((std::vector<std::string>{"1", "2"}), numbers);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(CredentialPageTest, OnlyTheNullMethodLeavesTheListAndTheGridEmpty)
{
    XrRegDeleteTree(HKEY_LOCAL_MACHINE, XR_PLUGINS_KEY, nullptr);
    ASSERT_EQ(0, XrPlugInInstall(XR_PLUGIN_NULL_NAME, XR_PLUGINS_KEY, XR_PLUGIN_CLIENT));
    Store(XRCC_METHOD_NULL, "10.0.0.1", "ann");
    int methods = -1, rows = -1;
    Show([&](HWND, HWND page) {
        methods = ComboCount(page, IDC_CREDENTIAL_METHODS);
        Press(page, IDC_CREDENTIAL_NEW);
        rows = GridDataRows(GridList(page, IDC_CREDENTIAL_GRID));
    });
    EXPECT_EQ(0, methods);
    EXPECT_EQ(0, rows);
    EXPECT_TRUE(g_dialogs.empty());
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(CredentialPageTest, NewEditAndRemoveGoThroughTheMethodsHandlers)
{
    Store(XRCC_METHOD_UPWD, "10.0.0.1", "ann");
    std::vector<std::string> afterNew, afterEdit, afterCancel, afterRemove;
    XrCCKey newKey = {}, editKey = {}, removeKey = {};
    size_t dialogsWithoutRow = 0, questionsWithoutRow = 0, dialogsOfWindom = 0;
    Show([&](HWND, HWND page) {
        g_answer = {1, "10.0.0.5", "dave", "secret"};
        Press(page, IDC_CREDENTIAL_NEW);
        afterNew = Sorted(Rows(page));
        newKey = LastKey();

        // Without a selected row Edit and Remove do nothing.
        ClearSelection(page);
        Press(page, IDC_CREDENTIAL_EDIT);
        Press(page, IDC_CREDENTIAL_REMOVE);
        dialogsWithoutRow = g_dialogs.size();
        questionsWithoutRow = g_messages.size();

        ASSERT_TRUE(SelectServer(page, "10.0.0.1"));
        g_answer = {1, "10.0.0.1", "ann2", "other"};
        Press(page, IDC_CREDENTIAL_EDIT);
        afterEdit = Sorted(Rows(page));
        editKey = LastKey();

        ASSERT_TRUE(SelectServer(page, "10.0.0.5"));
        g_questionAnswer = IDCANCEL;
        Press(page, IDC_CREDENTIAL_REMOVE);
        afterCancel = Sorted(Rows(page));
        g_questionAnswer = IDOK;
        Press(page, IDC_CREDENTIAL_REMOVE);
        afterRemove = Sorted(Rows(page));
        removeKey = LastKey();

        // A method whose module has no handlers: its buttons do nothing.
        Choose(page, IDC_CREDENTIAL_METHODS, kWindom);
        size_t before = g_dialogs.size();
        Press(page, IDC_CREDENTIAL_NEW);
        dialogsOfWindom = g_dialogs.size() - before;
    });
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1|ann", "10.0.0.5|dave"}), afterNew);
    EXPECT_TRUE(IsKeyOf(newKey, ""));
    EXPECT_EQ(1u, dialogsWithoutRow);
    EXPECT_EQ(0u, questionsWithoutRow);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1|ann2", "10.0.0.5|dave"}), afterEdit);
    EXPECT_TRUE(IsKeyOf(editKey, "10.0.0.1"));
    ASSERT_EQ(2u, g_dialogs.size());
    EXPECT_EQ("10.0.0.1", g_dialogs[1].server);
    EXPECT_EQ("ann", g_dialogs[1].user);
    EXPECT_EQ(afterEdit, afterCancel);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1|ann2"}), afterRemove);
    EXPECT_TRUE(IsKeyOf(removeKey, "10.0.0.5"));
    EXPECT_EQ((std::vector<std::string>{kQuestion, kQuestion}), g_messages);
    EXPECT_EQ(0u, dialogsOfWindom);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1|ann2"}), Stored(XRCC_METHOD_UPWD));
    EXPECT_EQ("user=\"ann2\",password=\"other\"", StoredText(XRCC_METHOD_UPWD, "10.0.0.1"));
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(CredentialPageTest, LdapCredentialsAreKeptThroughThePluginsPrompt)
{
    std::vector<std::string> afterNew, afterEdit, afterRemove;
    std::string textAfterNew;
    Show([&](HWND, HWND page) {
        Choose(page, IDC_CREDENTIAL_METHODS, kLdap);
        g_answer = {1, "10.0.0.7", "cn=erin,o=test", "pw"};
        Press(page, IDC_CREDENTIAL_NEW);
        afterNew = Rows(page);
        textAfterNew = StoredText(XRCC_METHOD_LDAP, "10.0.0.7");

        ASSERT_TRUE(SelectServer(page, "10.0.0.7"));
        g_answer = {1, "10.0.0.7", "cn=erin2,o=test", "pw2"};
        Press(page, IDC_CREDENTIAL_EDIT);
        afterEdit = Rows(page);

        ASSERT_TRUE(SelectServer(page, "10.0.0.7"));
        Press(page, IDC_CREDENTIAL_REMOVE);
        afterRemove = Rows(page);
    });
    EXPECT_EQ((std::vector<std::string>{"10.0.0.7|cn=erin,o=test"}), afterNew);
    EXPECT_EQ("dn=\"cn=erin,o=test\",password=\"pw\"", textAfterNew);
    ASSERT_EQ(2u, g_dialogs.size());
    EXPECT_EQ("Ferrowin LDAP User", g_dialogs[0].title);
    EXPECT_EQ("Enter your server name and LDAP credentials:", g_dialogs[0].caption);
    EXPECT_EQ("", g_dialogs[0].server);
    EXPECT_EQ("10.0.0.7", g_dialogs[1].server);
    EXPECT_EQ("cn=erin,o=test", g_dialogs[1].user);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.7|cn=erin2,o=test"}), afterEdit);
    EXPECT_EQ(std::vector<std::string>{}, afterRemove);
    EXPECT_EQ(std::vector<std::string>{}, Stored(XRCC_METHOD_LDAP));
    EXPECT_EQ((std::vector<std::string>{kQuestion}), g_messages);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(CredentialPageTest, AllowSaveIsStoredAndToldToThePlugIns)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_ALLOW_SAVE_CREDENTIAL, 0);
    bool checkedAtStart = true, shown = false;
    intptr_t noSaveAtStart = -1, noSaveAfterApply = -1;
    Show([&](HWND sheet, HWND page) {
        checkedAtStart = CtlIsChecked(page, IDC_ALLOW_SAVE);
        shown = IsWindowVisible(GetDlgItem(page, IDC_ALLOW_SAVE)) != FALSE;
        noSaveAtStart = NoSave();
        Click(page, IDC_ALLOW_SAVE);
        Click(sheet, kApplyButton);
        noSaveAfterApply = NoSave();
    });
    EXPECT_FALSE(checkedAtStart);
    EXPECT_TRUE(shown);
    EXPECT_EQ(1, noSaveAtStart);
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_ALLOW_SAVE_CREDENTIAL));
    EXPECT_EQ(0, noSaveAfterApply);

    // An imported configuration hides the box; its stored value still applies.
    SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, 1);
    SetNumber(XR_CLIENT_KEY, XR_VALUE_ALLOW_SAVE_CREDENTIAL, 0);
    intptr_t noSaveImported = -1;
    Show([&](HWND, HWND page) {
        shown = IsWindowVisible(GetDlgItem(page, IDC_ALLOW_SAVE)) != FALSE;
        noSaveImported = NoSave();
    });
    EXPECT_FALSE(shown);
    EXPECT_EQ(1, noSaveImported);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(CredentialPageTest, TimerTickShowsCredentialsEnteredElsewhereKeepingTheSelection)
{
    Store(XRCC_METHOD_UPWD, "10.0.0.2", "bob");
    std::vector<std::string> before, after;
    std::string selected;
    Show([&](HWND, HWND page) {
        before = Rows(page);
        ASSERT_TRUE(SelectServer(page, "10.0.0.2"));
        Store(XRCC_METHOD_UPWD, "10.0.0.1", "ann");
        Store(XRCC_METHOD_UPWD, "10.0.0.3", "cid");
        SendMessageA(page, WM_TIMER, 1, 0);
        after = Sorted(Rows(page));
        CGXGrid *grid = CGXGrid::FromWindow(GetDlgItem(page, IDC_CREDENTIAL_GRID));
        selected = grid->CellText(grid->CurrentRow(), 1);
    });
    EXPECT_EQ((std::vector<std::string>{"10.0.0.2|bob"}), before);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1|ann", "10.0.0.2|bob", "10.0.0.3|cid"}), after);
    EXPECT_EQ("10.0.0.2", selected);
}

TEST_F(CredentialPageTest, ACacheThatCannotBeOpenedIsToldWithoutRows)
{
    Store(XRCC_METHOD_UPWD, "10.0.0.1", "ann");
    XrCC_Exit();
    std::string status;
    bool statusShown = false;
    int rows = -1, methods = -1;
    Show([&](HWND, HWND page) {
        methods = ComboCount(page, IDC_CREDENTIAL_METHODS);
        g_answer = {1, "10.0.0.5", "dave", "secret"};
        Press(page, IDC_CREDENTIAL_NEW);
        SendMessageA(page, WM_TIMER, 1, 0);
        status = TextOf(page, IDC_CREDENTIAL_STATUS);
        statusShown = IsWindowVisible(GetDlgItem(page, IDC_CREDENTIAL_STATUS)) != FALSE;
        rows = GridDataRows(GridList(page, IDC_CREDENTIAL_GRID));
    });
    EXPECT_EQ(3, methods);
    EXPECT_EQ("The credential cache could not be opened: no credentials can be shown or changed.", status);
    EXPECT_TRUE(statusShown);
    EXPECT_EQ(0, rows);
    EXPECT_TRUE(g_dialogs.empty());
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(CredentialPageTest, RemoveDeletesTheRowAskedAboutEvenIfTheCacheChangesMeanwhile)
{
    Store(XRCC_METHOD_UPWD, "10.0.0.1", "ann");
    Store(XRCC_METHOD_UPWD, "10.0.0.2", "bob");
    g_listed = {Id("10.0.0.1", "ann"), Id("10.0.0.2", "bob")};
    g_claimed = g_listed.size();
    XrCCSetEnumHook(ListRecords);
    std::vector<std::string> underTheQuestion;
    XrCCKey removed = {};
    Show([&](HWND, HWND page) {
        ASSERT_TRUE(SelectServer(page, "10.0.0.2"));
        // Another program adds a credential that the cache lists first, and the refresh is due.
        g_onQuestion = [&] {
            Store(XRCC_METHOD_UPWD, "10.0.0.0", "zed");
            g_listed.insert(g_listed.begin(), Id("10.0.0.0", "zed"));
            g_claimed = g_listed.size();
            SendMessageA(page, WM_TIMER, 1, 0);
            underTheQuestion = Rows(page);
        };
        Press(page, IDC_CREDENTIAL_REMOVE);
        removed = LastKey();
    });
    XrCCSetEnumHook(nullptr);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1|ann", "10.0.0.2|bob"}), underTheQuestion);
    EXPECT_TRUE(IsKeyOf(removed, "10.0.0.2"));
    EXPECT_EQ((std::vector<std::string>{"10.0.0.0|zed", "10.0.0.1|ann"}), Stored(XRCC_METHOD_UPWD));
}

TEST_F(CredentialPageTest, RowsAreTheRecordsFilledWithTheirTextsReadWithinTheirFields)
{
    // The cache shrank between the size query and the filling call; the last record's texts fill
    // their fields to the end of the buffer.
    XrCCId full = Id("10.0.0.3", "");
    memset(full.server, 'S', sizeof full.server);
    memset(full.userId, 'U', sizeof full.userId);
    g_listed = {Id("10.0.0.1", "ann"), full};
    g_claimed = 3;
    XrCCSetEnumHook(ListRecords);
    std::vector<std::string> rows;
    Show([&](HWND, HWND page) { rows = Rows(page); });
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1|ann", std::string(256, 'S') + "|" + std::string(128, 'U')}), rows);
}

TEST_F(CredentialPageTest, PagesCreatedAgainConfigureThePlugInsOnce)
{
    std::vector<std::vector<std::string>> methods;
    auto list = [&](HWND, HWND page) { methods.push_back(Methods(page)); };
    {
        // As the sheet rebuilds its pages: the same page object gets a new window.
        CredentialPage page(settings_);
        Show(page, list);
        Show(page, list);
    }
    Show(list);
    ASSERT_EQ(3u, methods.size());
    for (const auto &shown : methods)
        EXPECT_EQ(3u, shown.size());
    EXPECT_EQ(1, UpwdInits());
    EXPECT_TRUE(g_errors.empty());
}

}
