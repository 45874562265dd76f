#include "xrcred.h"
#include "xrstr.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kRoot[] = "Software\\Ferrowin Test xrcred";
const char kPath[] = "Software\\Ferrowin Test xrcred\\Credentials";
const XrCCMethod kLdap = {XRCC_METHOD_LDAP};
const XrCCMethod kUpwd = {XRCC_METHOD_UPWD};

int __cdecl NoCallback(void)
{
    return 0;
}

XrCCKey KeyFor(const char *server)
{
    XrCCKey key = {};
    XrStrCopy(key.server, sizeof key.server, server);
    return key;
}

XrCCCredential Entry(const char *server, const char *user, const char *text, int32_t flags = 0)
{
    XrCCCredential entry = {};
    entry.id.key = KeyFor(server);
    XrStrCopy(entry.id.server, sizeof entry.id.server, server);
    XrStrCopy(entry.id.userId, sizeof entry.id.userId, user);
    XrStrCopy(entry.text, sizeof entry.text, text);
    entry.flags = flags;
    return entry;
}

std::string Field(const std::vector<char> &records, size_t record, size_t offset)
{
    return std::string(&records[record * XRCC_ID_SIZE + offset]);
}

class CredentialCache : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SHDeleteKeyA(HKEY_CURRENT_USER, kRoot);
        ASSERT_EQ(XrCC_Init(1, HKEY_CURRENT_USER, kPath, NoCallback), 0);
        ASSERT_EQ(XrCCOpen(&kLdap), 0);
    }

    void TearDown() override
    {
        XrCCClose(&kLdap);
        XrCC_Exit();
        SHDeleteKeyA(HKEY_CURRENT_USER, kRoot);
    }
};

TEST_F(CredentialCache, SetThenGetReturnsTheWholeEntry)
{
    XrCCCredential stored = Entry("10.0.0.7", "ann", "dn=cn=ann,o=x,password=s3cret",
                                  XRCC_SAVE_PASSWORD | XRCC_BEING_EDITED);
    stored.id.key.reserved[0] = 5;
    ASSERT_EQ(XrCCSet(&kLdap, &stored), 0);

    XrCCKey key = KeyFor("10.0.0.7");
    XrCCCredential got;
    ASSERT_EQ(XrCCGet(&kLdap, &key, &got), 0);
    EXPECT_STREQ(got.id.key.server, "10.0.0.7");
    EXPECT_EQ(got.id.key.reserved[0], 5);
    EXPECT_STREQ(got.id.server, "10.0.0.7");
    EXPECT_STREQ(got.id.userId, "ann");
    EXPECT_STREQ(got.text, "dn=cn=ann,o=x,password=s3cret");
    EXPECT_EQ(got.flags, XRCC_SAVE_PASSWORD | XRCC_BEING_EDITED);
}

TEST_F(CredentialCache, EnumerationGivesOneFixedRecordPerServer)
{
    EXPECT_EQ(XrCC_EnumIds(&kLdap, nullptr, 0), 0);
    const char *servers[] = {"alpha", "beta.example", "10.1.2.3"};
    for (const char *server : servers) {
        XrCCCredential entry = Entry(server, (std::string("user of ") + server).c_str(), "dn=x");
        std::string shown = std::string("shown ") + server;
        XrStrCopy(entry.id.server, sizeof entry.id.server, shown.c_str());
        ASSERT_EQ(XrCCSet(&kLdap, &entry), 0);
    }

    int size = XrCC_EnumIds(&kLdap, nullptr, 0);
    ASSERT_EQ(size, 3 * XRCC_ID_SIZE);
    std::vector<char> records(size);
    ASSERT_EQ(XrCC_EnumIds(&kLdap, reinterpret_cast<XrCCId *>(records.data()), size), size);
    std::set<std::string> found;
    for (size_t i = 0; i < 3; ++i) {
        std::string server = Field(records, i, 0);
        found.insert(server);
        EXPECT_EQ(Field(records, i, 388), "shown " + server);
        EXPECT_EQ(Field(records, i, 644), "user of " + server);
    }
    EXPECT_EQ(found, std::set<std::string>(std::begin(servers), std::end(servers)));
}

TEST_F(CredentialCache, EnumerationNeverWritesPastTheBufferSize)
{
    for (const char *server : {"a", "b", "c"}) {
        XrCCCredential entry = Entry(server, "u", "");
        ASSERT_EQ(XrCCSet(&kLdap, &entry), 0);
    }
    const struct {
        int size;
        int written;
    } cases[] = {{0, 0}, {XRCC_ID_SIZE - 1, 0}, {XRCC_ID_SIZE, XRCC_ID_SIZE},
                 {2 * XRCC_ID_SIZE - 1, XRCC_ID_SIZE}, {4 * XRCC_ID_SIZE, 3 * XRCC_ID_SIZE}};
    for (const auto &c : cases) {
        std::vector<char> buffer(4 * XRCC_ID_SIZE + 16, '#');
        XrCCId *records = reinterpret_cast<XrCCId *>(buffer.data());
        EXPECT_EQ(XrCC_EnumIds(&kLdap, records, c.size), c.written) << "size " << c.size;
        for (size_t i = c.written; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], '#') << "size " << c.size << ", byte " << i;
    }
}

TEST_F(CredentialCache, SetReplacesTheEntryOfTheSameServer)
{
    XrCCCredential first = Entry("host", "ann", "password=1");
    XrCCCredential second = Entry("host", "bob", "password=2");
    ASSERT_EQ(XrCCSet(&kLdap, &first), 0);
    ASSERT_EQ(XrCCSet(&kLdap, &second), 0);

    EXPECT_EQ(XrCC_EnumIds(&kLdap, nullptr, 0), XRCC_ID_SIZE);
    XrCCKey key = KeyFor("host");
    XrCCCredential got;
    ASSERT_EQ(XrCCGet(&kLdap, &key, &got), 0);
    EXPECT_STREQ(got.id.userId, "bob");
    EXPECT_STREQ(got.text, "password=2");
}

TEST_F(CredentialCache, DeletedEntryIsGone)
{
    XrCCCredential entry = Entry("host", "ann", "password=1");
    ASSERT_EQ(XrCCSet(&kLdap, &entry), 0);
    XrCCKey key = KeyFor("host");
    EXPECT_EQ(XrCCDelete(&kLdap, &key), 0);

    XrCCCredential got;
    EXPECT_EQ(XrCCGet(&kLdap, &key, &got), -1);
    EXPECT_EQ(XrCC_EnumIds(&kLdap, nullptr, 0), 0);
    EXPECT_EQ(XrCCDelete(&kLdap, &key), -1);
}

TEST_F(CredentialCache, GetOfAValueThatIsNoEntryFailsAndLeavesTheRecordAlone)
{
    const struct {
        const char *what;
        DWORD type;
        DWORD size;
    } cases[] = {
        {"shorter", REG_BINARY, 10},
        {"longer", REG_BINARY, sizeof(XrCCCredential) + 10},
        {"not binary", REG_SZ, sizeof(XrCCCredential)},
    };
    HKEY methodKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kPath) + "\\ldap").c_str(), 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &methodKey, nullptr),
              ERROR_SUCCESS);
    for (const auto &c : cases) {
        std::vector<char> stored(c.size, 'v');
        stored.back() = '\0';
        ASSERT_EQ(RegSetValueExA(methodKey, "host", 0, c.type,
                                 reinterpret_cast<const BYTE *>(stored.data()), c.size),
                  ERROR_SUCCESS);
        XrCCCredential record;
        memset(&record, '#', sizeof record);
        XrCCKey key = KeyFor("host");
        EXPECT_EQ(XrCCGet(&kLdap, &key, &record), -1) << c.what;
        const char *bytes = reinterpret_cast<const char *>(&record);
        EXPECT_EQ(std::count(bytes, bytes + sizeof record, '#'),
                  static_cast<std::ptrdiff_t>(sizeof record))
            << c.what;
    }
    RegCloseKey(methodKey);
}

TEST_F(CredentialCache, EntriesOfOneMethodAreInvisibleToAnother)
{
    XrCCCredential entry = Entry("host", "ann", "password=1");
    ASSERT_EQ(XrCCSet(&kLdap, &entry), 0);
    ASSERT_EQ(XrCCOpen(&kUpwd), 0);

    XrCCKey key = KeyFor("host");
    XrCCCredential got;
    EXPECT_EQ(XrCC_EnumIds(&kUpwd, nullptr, 0), 0);
    EXPECT_EQ(XrCCGet(&kUpwd, &key, &got), -1);
    EXPECT_EQ(XrCCDelete(&kUpwd, &key), -1);
    EXPECT_EQ(XrCCGet(&kLdap, &key, &got), 0);
    XrCCClose(&kUpwd);
}

TEST_F(CredentialCache, EntriesAreUsableOnlyWhileTheMethodIsOpen)
{
    XrCCCredential entry = Entry("host", "ann", "password=1");
    XrCCKey key = KeyFor("host");
    XrCCCredential got;
    ASSERT_EQ(XrCCOpen(&kLdap), 0); // a second user of the method, as on another thread
    ASSERT_EQ(XrCCClose(&kLdap), 0);
    EXPECT_EQ(XrCCSet(&kLdap, &entry), 0);

    ASSERT_EQ(XrCCClose(&kLdap), 0);
    EXPECT_EQ(XrCCSet(&kLdap, &entry), -1);
    EXPECT_EQ(XrCCGet(&kLdap, &key, &got), -1);
    EXPECT_EQ(XrCCDelete(&kLdap, &key), -1);
    EXPECT_EQ(XrCC_EnumIds(&kLdap, nullptr, 0), -1);
    EXPECT_EQ(XrCCClose(&kLdap), -1);
    ASSERT_EQ(XrCCOpen(&kLdap), 0); // for TearDown
}

TEST_F(CredentialCache, UnknownMethodAndBadKeysAreRejected)
{
    const XrCCMethod unknown = {-6};
    EXPECT_EQ(XrCCOpen(&unknown), -1);
    EXPECT_EQ(XrCCOpen(nullptr), -1);

    XrCCCredential unnamed = Entry("", "ann", "");
    EXPECT_EQ(XrCCSet(&kLdap, &unnamed), -1);
    XrCCCredential unterminated = Entry("x", "ann", "");
    memset(unterminated.id.key.server, 'x', sizeof unterminated.id.key.server);
    EXPECT_EQ(XrCCSet(&kLdap, &unterminated), -1);
    EXPECT_EQ(XrCCSet(&kLdap, nullptr), -1);
    EXPECT_EQ(XrCC_EnumIds(&kLdap, nullptr, 0), 0);
}

TEST_F(CredentialCache, EntriesAreKeptInTheRegistryUnderTheMethodName)
{
    XrCCCredential entry = Entry("host", "ann", "password=1");
    ASSERT_EQ(XrCCSet(&kLdap, &entry), 0);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kPath) + "\\ldap").c_str(), 0,
                            KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "host", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    RegCloseKey(key);

    XrCCClose(&kLdap);
    XrCC_Exit();
    ASSERT_EQ(XrCC_Init(1, HKEY_CURRENT_USER, kPath, NoCallback), 0);
    ASSERT_EQ(XrCCOpen(&kLdap), 0);
    EXPECT_EQ(XrCC_EnumIds(&kLdap, nullptr, 0), XRCC_ID_SIZE);
}

TEST_F(CredentialCache, ConcurrentUsersKeepEveryEntry)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 10; ++i) {
                std::string server = "s" + std::to_string(t) + "-" + std::to_string(i);
                XrCCOpen(&kLdap);
                XrCCCredential entry = Entry(server.c_str(), "u", "password=p");
                XrCCSet(&kLdap, &entry);
                XrCCClose(&kLdap);
            }
        });
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(XrCC_EnumIds(&kLdap, nullptr, 0), 40 * XRCC_ID_SIZE);
}

TEST(CredentialCacheLifecycle, CallsBeforeInitFailAndExitTwiceIsHarmless)
{
    XrCC_Exit();
    XrCC_Exit();
    XrCC_Close();
    XrCCKey key = KeyFor("host");
    XrCCCredential got;
    EXPECT_EQ(XrCC_Open(1), -1);
    EXPECT_EQ(XrCCOpen(&kLdap), -1);
    EXPECT_EQ(XrCCGet(&kLdap, &key, &got), -1);
    EXPECT_EQ(XrCC_EnumIds(&kLdap, nullptr, 0), -1);
    EXPECT_EQ(XrCC_Init(1, HKEY_CURRENT_USER, "", NoCallback), -1);
    EXPECT_EQ(XrCC_Init(1, HKEY_CURRENT_USER, nullptr, NoCallback), -1);

    ASSERT_EQ(XrCC_Init(1, HKEY_CURRENT_USER, kPath, NoCallback), 0);
    EXPECT_EQ(XrCC_Open(1), 0);
    XrCC_Close();
    XrCC_Exit();
    XrCC_Exit();
    EXPECT_EQ(XrCC_Open(1), -1);
    SHDeleteKeyA(HKEY_CURRENT_USER, kRoot);
}

/* Sets an environment variable for the life of the object. */
class ScopedVariable {
  public:
    ScopedVariable(const char *name, const char *value) : name_(name)
    {
        SetEnvironmentVariableA(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableA(name_, nullptr); }

  private:
    const char *name_;
};

class CredentialJournal : public ::testing::Test {
  protected:
    void SetUp() override
    {
        char directory[MAX_PATH];
        GetTempPathA(sizeof directory, directory);
        GetTempFileNameA(directory, "xrc", 0, path_);
        journal_ = std::make_unique<ScopedVariable>("XRCRED_JOURNAL", path_);
    }

    void TearDown() override
    {
        journal_.reset();
        DeleteFileA(path_);
        SHDeleteKeyA(HKEY_CURRENT_USER, kRoot);
    }

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        std::ifstream file(path_);
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    char path_[MAX_PATH];
    std::unique_ptr<ScopedVariable> journal_;
};

TEST_F(CredentialJournal, RecordsEveryCallInOrderWithItsArguments)
{
    ASSERT_EQ(XrCC_Init(1, HKEY_CURRENT_USER, kPath, NoCallback), 0);
    ASSERT_EQ(XrCC_Open(1), 0);
    XrCCOpen(&kLdap);
    XrCCKey key = KeyFor("10.1.2.3");
    XrCCCredential entry = Entry("10.1.2.3", "ann", "password=p");
    XrCCSet(&kLdap, &entry);
    XrCCGet(&kLdap, &key, &entry);
    XrCC_EnumIds(&kLdap, nullptr, 0);
    XrCCDelete(&kLdap, &key);
    XrCCClose(&kLdap);
    XrCCDialog(nullptr);
    XrCC_Close();
    XrCC_Exit();

    std::vector<std::string> expected = {
        "XrCC_Init 1 0x80000001 Software\\Ferrowin Test xrcred\\Credentials",
        "XrCC_Open 1",
        "XrCCOpen -4",
        "XrCCSet -4 10.1.2.3",
        "XrCCGet -4 10.1.2.3",
        "XrCC_EnumIds -4",
        "XrCCDelete -4 10.1.2.3",
        "XrCCClose -4",
        "XrCCDialog",
        "XrCC_Close",
        "XrCC_Exit"};
    EXPECT_EQ(Lines(), expected);
}

TEST_F(CredentialJournal, FailRequestsMakeInitOrOpenFailAndAreStillRecorded)
{
    {
        ScopedVariable fail("XRCRED_FAIL", "init");
        EXPECT_EQ(XrCC_Init(1, HKEY_CURRENT_USER, kPath, NoCallback), -1);
        EXPECT_EQ(XrCC_Open(1), -1);
    }
    {
        ScopedVariable fail("XRCRED_FAIL", "open");
        EXPECT_EQ(XrCC_Init(1, HKEY_CURRENT_USER, kPath, NoCallback), 0);
        EXPECT_EQ(XrCC_Open(1), -1);
    }
    EXPECT_EQ(XrCC_Open(1), 0);
    XrCC_Exit();
    std::string init = "XrCC_Init 1 0x80000001 " + std::string(kPath);
    std::vector<std::string> expected = {init, "XrCC_Open 1", init, "XrCC_Open 1", "XrCC_Open 1",
                                         "XrCC_Exit"};
    EXPECT_EQ(Lines(), expected);
}

/* Answers the dialog as a user would; remembers what it was shown. */
XrCCDialogDesc g_shown;
int g_answer;

int __cdecl Answer(XrCCDialogDesc *d)
{
    g_shown = *d;
    XrStrCopy(d->server, sizeof d->server, "typed.host");
    XrStrCopy(d->user, sizeof d->user, "typed user");
    XrStrCopy(d->password, sizeof d->password, "typed secret");
    d->save = 1;
    return g_answer;
}

XrCCDialogDesc Description()
{
    XrCCDialogDesc d = {};
    XrStrCopy(d.title, sizeof d.title, "Sign in");
    XrStrCopy(d.caption, sizeof d.caption, "Enter your credentials:");
    XrStrCopy(d.serverLabel, sizeof d.serverLabel, "&Server name");
    XrStrCopy(d.userLabel, sizeof d.userLabel, "&User name");
    XrStrCopy(d.passwordLabel, sizeof d.passwordLabel, "&Password:");
    XrStrCopy(d.checkText, sizeof d.checkText, "Sa&ve password on disk");
    XrStrCopy(d.server, sizeof d.server, "old.host");
    XrStrCopy(d.user, sizeof d.user, "old user");
    return d;
}

TEST(CredentialDialog, HookAnswersInsteadOfTheWindow)
{
    XrCCSetDialogHook(Answer);
    const struct {
        int answer;
        const char *server;
        int save;
    } cases[] = {{1, "typed.host", 1}, {2, "old.host", 0}};
    for (const auto &c : cases) {
        g_answer = c.answer;
        XrCCDialogDesc d = Description();
        EXPECT_EQ(XrCCDialog2(&d), c.answer);
        EXPECT_STREQ(g_shown.caption, "Enter your credentials:");
        EXPECT_STREQ(g_shown.checkText, "Sa&ve password on disk");
        EXPECT_STREQ(g_shown.server, "old.host");
        EXPECT_STREQ(d.server, c.server) << "answer " << c.answer;
        EXPECT_EQ(d.save, c.save) << "answer " << c.answer;
    }
    XrCCSetDialogHook(nullptr);
}

std::string WindowText(HWND window)
{
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

TEST(CredentialDialog, WindowShowsTheDescriptionAndReturnsWhatWasTyped)
{
    std::vector<std::string> prefilled;
    std::string caption;
    bool found = false;
    std::thread user([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 500 && !dialog; ++i) {
            Sleep(20);
            dialog = FindWindowA(nullptr, "Sign in");
        }
        if (!dialog)
            return;
        found = true;
        caption = WindowText(FindWindowExA(dialog, nullptr, "Static", nullptr));
        HWND edit = nullptr;
        const char *typed[] = {"typed.host", "typed user", "typed secret"};
        for (const char *text : typed) {
            edit = FindWindowExA(dialog, edit, "Edit", nullptr);
            prefilled.push_back(WindowText(edit));
            SetWindowTextA(edit, text);
        }
        SendMessageA(FindWindowExA(dialog, nullptr, "Button", "Sa&ve password on disk"),
                     BM_SETCHECK, BST_CHECKED, 0);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    XrCCDialogDesc d = Description();
    int result = XrCCDialog2(&d);
    user.join();

    ASSERT_TRUE(found);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(caption, "Enter your credentials:");
    EXPECT_EQ(prefilled, (std::vector<std::string>{"old.host", "old user", ""}));
    EXPECT_STREQ(d.server, "typed.host");
    EXPECT_STREQ(d.user, "typed user");
    EXPECT_STREQ(d.password, "typed secret");
    EXPECT_EQ(d.save, 1);
}

} // namespace
