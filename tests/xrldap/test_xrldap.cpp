// The LDAP plug-in end to end: the real xrldap.dll, its server-side handler and its client-side
// handler talking over a loopback socket pair, the server side checking against a throwaway
// slapd (started by the ctest fixture, slapd.sh), the client side answering from the real
// credential cache library.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

#include "ldap_harness.h"
#include "xrcred.h"
#include "xrimpl.h"
#include "xrplugin_host.h"
#include "xrstr.h"

namespace {

const char kCredentialKey[] = "Software\\Varo\\LDAP plug-in tests";
const char kServer[] = "127.0.0.1";
const char kAnn[] = "uid=ann,ou=people,dc=example,dc=com";
const char kBob[] = "uid=bob,ou=people,dc=example,dc=com";
const XrCCMethod kMethod = {XRCC_METHOD_LDAP};

std::string SlapdFile(const char *name)
{
    const char *dir = getenv("XRLDAP_SLAPD_DIR");
    EXPECT_NE(dir, nullptr) << "run through ctest: the directory server is its fixture";
    return std::string(dir ? dir : ".") + "/" + name;
}

int DirectoryPort()
{
    std::ifstream file(SlapdFile("port"));
    int port = 0;
    file >> port;
    return port;
}

std::string Directory()
{
    return std::string(kServer) + ":" + std::to_string(DirectoryPort());
}

// Simple binds slapd has seen, from its log at level "stats".
int BindCount()
{
    std::ifstream file(SlapdFile("slapd.log"));
    std::string line;
    int count = 0;
    while (std::getline(file, line))
        count += line.find(" BIND dn=") != std::string::npos &&
                 line.find("method=128") != std::string::npos;
    return count;
}

std::string DirectoryPid()
{
    std::ifstream file(SlapdFile("pid"));
    std::string pid;
    file >> pid;
    return pid;
}

bool DirectoryAccepts()
{
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr(kServer);
    address.sin_port = htons((u_short)DirectoryPort());
    bool accepted = connect(probe, (sockaddr *)&address, sizeof address) == 0;
    closesocket(probe);
    return accepted;
}

// Runs the fixture's script on the Unix side. A Unix process started from here cannot be
// waited for, so the restart is seen in a new pid and the port accepting again.
void RestartDirectory()
{
    std::string before = DirectoryPid();
    std::string command = "/bin/bash " + SlapdFile("slapd.sh") + " restart " + SlapdFile("");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    for (int i = 0; i < 300; i++) {
        std::string now = DirectoryPid();
        if (!now.empty() && now != before && DirectoryAccepts())
            return;
        Sleep(100);
    }
    FAIL() << "slapd did not come back";
}

std::string Quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

struct Outcome {
    int server;
    int client;
    std::string user;
};

class LdapPluginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
        ASSERT_EQ(XrCC_Init(1, HKEY_CURRENT_USER, kCredentialKey, nullptr), 0);
    }

    void SetUp() override
    {
        LdapLogClear();
        ASSERT_TRUE(plugin_.Load());
        XrCCOpen(&kMethod);
        XrCCDelete(&kMethod, &Key());
    }

    void TearDown() override
    {
        if (HasFailure())
            for (const std::string &line : LdapLogLines())
                printf("log: %s\n", line.c_str());
        plugin_.ops.cleanup(XR_PLUGIN_SERVER);
        plugin_.ops.cleanup(XR_PLUGIN_CLIENT);
        XrCCDelete(&kMethod, &Key());
        XrCCClose(&kMethod);
        XrCCSetDialogHook(nullptr);
    }

    static const XrCCKey &Key()
    {
        static XrCCKey key = [] {
            XrCCKey made = {};
            XrStrCopy(made.server, sizeof made.server, kServer);
            return made;
        }();
        return key;
    }

    // Both sides with the directory of the fixture and the options given on top.
    void Configure(const LdapOptions &extra)
    {
        LdapOptions all = {{"LDAP_SERVER", Directory()}, {"TIMEOUT", "10"}};
        all.insert(all.end(), extra.begin(), extra.end());
        ASSERT_TRUE(plugin_.Configure(all));
    }

    static std::string StoredText()
    {
        XrCCCredential stored = {};
        return XrCCGet(&kMethod, &Key(), &stored) == 0 ? stored.text : "(none)";
    }

    static void Store(const std::string &text)
    {
        XrCCCredential entry = {};
        entry.id.key = Key();
        XrStrCopy(entry.text, sizeof entry.text, text.c_str());
        ASSERT_EQ(XrCCSet(&kMethod, &entry), 0);
    }

    static void StoreDn(const char *dn, const char *password)
    {
        Store("dn=" + Quoted(dn) + ",password=" + Quoted(password));
    }

    // One authentication: the client handler on one end of a loopback pair, the server
    // handler on the other.
    Outcome Authenticate(XrPlugInAuthFn serverAuth = nullptr, XrPlugInAuthFn clientAuth = nullptr)
    {
        LdapSocketPair pair;
        XrConnection clientSide = {};
        clientSide.socket = pair.client;
        clientSide.serverAddress.s_addr = inet_addr(kServer);
        XrConnection serverSide = {};
        serverSide.socket = pair.server;
        if (!serverAuth)
            serverAuth = plugin_.ops.serverAuth;
        if (!clientAuth)
            clientAuth = plugin_.ops.clientAuth;
        Outcome outcome = {};
        std::thread client([&] {
            XrPlugInExchange exchange = {&clientSide, -1};
            outcome.client = clientAuth(nullptr, 17, &exchange);
            // A client that gives up closes, as the engine would.
            shutdown(pair.client, SD_BOTH);
        });
        outcome.server = serverAuth(nullptr, 17, &serverSide);
        // A server that gives up closes too.
        shutdown(pair.server, SD_SEND);
        client.join();
        outcome.user = serverSide.user;
        return outcome;
    }

    static int Logged(const std::string &line) { return LdapLogCount(line); }

    LdapPlugin plugin_;
};

TEST_F(LdapPluginTest, CorrectPasswordIsAcceptedAndTheUserRecorded)
{
    Configure({});
    StoreDn(kAnn, "annpass");
    Outcome outcome = Authenticate();
    EXPECT_EQ(outcome.server, 0);
    EXPECT_EQ(outcome.client, 0);
    EXPECT_EQ(outcome.user, kAnn);
    EXPECT_EQ(Logged(std::string("LDAP: successful !!!: user is ") + kAnn), 1);
}

TEST_F(LdapPluginTest, WrongOrEmptyPasswordIsRefused)
{
    Configure({});
    for (const char *password : {"wrong", ""}) {
        StoreDn(kAnn, password);
        Outcome outcome = Authenticate();
        EXPECT_NE(outcome.server, 0) << password;
        EXPECT_EQ(outcome.client, -2) << password;
        EXPECT_EQ(outcome.user, "") << password;
    }
    EXPECT_EQ(Logged(std::string("LDAP: bind failed, Invalid Credentials, with ") + kAnn + "/."),
              2);
}

TEST_F(LdapPluginTest, WithoutAnAskedPasswordTheBindHasNoCredential)
{
    Configure({{"ASK", "uid"}, {"DN", "uid,ou=people,dc=example,dc=com"}});
    Store("uid=\"ann\"");
    Outcome outcome = Authenticate();
    EXPECT_NE(outcome.server, 0);
    EXPECT_EQ(outcome.client, -2);
    bool refused = false;
    for (const std::string &line : LdapLogLines())
        refused |= line.rfind("LDAP: bind failed, ", 0) == 0 &&
                   line.size() > 5 && line.compare(line.size() - 5, 5, "/NULL") == 0;
    EXPECT_TRUE(refused);
}

TEST_F(LdapPluginTest, ElevenAskedAttributesLeaveTheServerSideFailingEveryAuthentication)
{
    Configure({{"ASK", "a,b,c,d,e,f,g,h,i,j,password"}});
    StoreDn(kAnn, "annpass");
    Outcome outcome = Authenticate();
    EXPECT_EQ(outcome.server, -1);
    EXPECT_NE(outcome.client, 0);
    EXPECT_EQ(Logged("LDAP: max num of attrs (10) exceeded"), 1);
}

TEST_F(LdapPluginTest, SameCredentialsAgainAreAnsweredFromTheCache)
{
    Configure({{"CACHETIME", "600"}});
    StoreDn(kAnn, "annpass");
    ASSERT_EQ(Authenticate().server, 0);
    int binds = BindCount();
    Outcome again = Authenticate();
    EXPECT_EQ(again.server, 0);
    EXPECT_EQ(again.client, 0);
    EXPECT_EQ(again.user, kAnn);
    EXPECT_EQ(BindCount(), binds);
    EXPECT_EQ(Logged("LDAP: Cached AUTH_OK"), 1);

    // Another password for the same DN is another key: the directory is asked.
    StoreDn(kAnn, "wrong");
    EXPECT_NE(Authenticate().server, 0);
    EXPECT_EQ(BindCount(), binds + 1);
}

TEST_F(LdapPluginTest, RestartedDirectoryIsReconnectedOnce)
{
    Configure({});
    StoreDn(kAnn, "annpass");
    ASSERT_EQ(Authenticate().server, 0);
    RestartDirectory();
    StoreDn(kBob, "bobpass");
    Outcome outcome = Authenticate();
    EXPECT_EQ(outcome.server, 0);
    EXPECT_EQ(outcome.user, kBob);
    EXPECT_EQ(Logged("LDAP: server down, reconnect"), 1);
    EXPECT_EQ(Logged("LDAP: connecting to " + Directory()), 2);
}

TEST_F(LdapPluginTest, GroupFilterAcceptsMembersOnly)
{
    Configure({{"BASEDN", "cn=staff,ou=groups,dc=example,dc=com"}, {"FILTER", "(member=$dn)"}});
    StoreDn(kAnn, "annpass");
    EXPECT_EQ(Authenticate().server, 0);
    StoreDn(kBob, "bobpass");
    Outcome bob = Authenticate();
    EXPECT_NE(bob.server, 0);
    EXPECT_EQ(bob.user, "");
    EXPECT_EQ(Logged("LDAP: no search result"), 1);
}

TEST_F(LdapPluginTest, TemplatesBuildDnAndFilterFromTheUserId)
{
    Configure({{"ASK", "uid,userPassword"},
               {"DN", "uid,ou=people,dc=example,dc=com"},
               {"BASEDN", "ou=people,dc=example,dc=com"},
               {"SCOPE", "sub"},
               {"FILTER", "objectClass=inetOrgPerson,uid"}});
    Store("uid=\"ann\",userPassword=\"annpass\"");
    Outcome outcome = Authenticate();
    EXPECT_EQ(outcome.server, 0);
    EXPECT_EQ(outcome.user, kAnn);
    EXPECT_EQ(Logged("LDAP: filter is (&(objectClass=inetOrgPerson)(uid=ann)), len=39"), 1);
    EXPECT_EQ(Logged("LDAP: search base ou=people,dc=example,dc=com scope=sub"), 1);
}

// The filter checks an attribute the bind does not: unescaped, "*" would match another user.
TEST_F(LdapPluginTest, InjectedFilterValuesAreRefused)
{
    Configure({{"ASK", "dn,uid,password"},
               {"BASEDN", "ou=people,dc=example,dc=com"},
               {"SCOPE", "SUB"},
               {"FILTER", "(&(uid=$uid)(employeeType=staff))"}});
    Store("dn=" + Quoted(kAnn) + ",uid=\"ann\",password=\"annpass\"");
    EXPECT_EQ(Authenticate().server, 0);
    for (const char *uid : {"bob", "*", "*)(uid=*", ")(uid=*"}) {
        Store("dn=" + Quoted(kBob) + ",uid=" + Quoted(uid) + ",password=\"bobpass\"");
        Outcome outcome = Authenticate();
        EXPECT_NE(outcome.server, 0) << uid;
        EXPECT_EQ(outcome.user, "") << uid;
    }
}

TEST_F(LdapPluginTest, RequestOfElevenAttributesIsRejectedByTheClient)
{
    Configure({});
    StoreDn(kAnn, "annpass");
    LdapSocketPair pair;
    std::string request("\x01\x0b", 2);
    for (int i = 0; i < 11; i++)
        request += std::string("\x01" "a\x00", 3);
    ASSERT_EQ(send(pair.server, request.data(), (int)request.size(), 0), (int)request.size());
    XrConnection connection = {};
    connection.socket = pair.client;
    connection.serverAddress.s_addr = inet_addr(kServer);
    XrPlugInExchange exchange = {&connection, 0};
    EXPECT_NE(plugin_.ops.clientAuth(nullptr, 17, &exchange), 0);
    shutdown(pair.client, SD_SEND);
    char answer[16];
    EXPECT_EQ(recv(pair.server, answer, sizeof answer, 0), 0);
}

int g_dialogs;
XrCCDialogDesc g_shown;

// The user enters ann's credentials; what the dialog showed first is kept.
int __cdecl AnswerDialog(XrCCDialogDesc *dialog)
{
    g_dialogs++;
    g_shown = *dialog;
    XrStrCopy(dialog->server, sizeof dialog->server, kServer);
    XrStrCopy(dialog->user, sizeof dialog->user, kAnn);
    XrStrCopy(dialog->password, sizeof dialog->password, "annpass");
    return 1;
}

int __cdecl CancelDialog(XrCCDialogDesc *)
{
    return 2;
}

TEST_F(LdapPluginTest, MissingCredentialsArePromptedForOncePerProcess)
{
    g_dialogs = 0;
    Configure({{"PROMPT", "1"}});
    XrCCSetDialogHook(AnswerDialog);
    Outcome outcome = Authenticate();
    EXPECT_EQ(outcome.client, 0);
    EXPECT_EQ(outcome.user, kAnn);
    EXPECT_EQ(g_dialogs, 1);
    EXPECT_STREQ(g_shown.title, "Ferrowin LDAP User");
    EXPECT_STREQ(g_shown.caption, "Enter your server name and LDAP credentials:");
    EXPECT_STREQ(g_shown.server, kServer);
    EXPECT_EQ(StoredText(), "dn=" + Quoted(kAnn) + ",password=\"annpass\"");

    XrCCDelete(&kMethod, &Key());
    EXPECT_NE(Authenticate().client, 0);
    EXPECT_EQ(g_dialogs, 1);
}

TEST_F(LdapPluginTest, CredentialHandlersAddEditAndDeleteEntries)
{
    Configure({});
    XrCCSetDialogHook(AnswerDialog);
    XrCCKey none = {}, key = Key();
    ASSERT_EQ(plugin_.ops.newCredential(&none), 0);
    EXPECT_STREQ(g_shown.user, "");
    EXPECT_EQ(StoredText(), "dn=" + Quoted(kAnn) + ",password=\"annpass\"");

    Store("dn=" + Quoted(kBob) + ",password=\"bobpass\"");
    ASSERT_EQ(plugin_.ops.editCredential(&key), 0);
    EXPECT_STREQ(g_shown.user, kBob);
    EXPECT_STREQ(g_shown.password, "bobpass");
    EXPECT_EQ(StoredText(), "dn=" + Quoted(kAnn) + ",password=\"annpass\"");

    // A cancelled edit puts the entry back as it was.
    XrCCSetDialogHook(CancelDialog);
    EXPECT_EQ(plugin_.ops.editCredential(&key), -1);
    XrCCCredential kept = {};
    ASSERT_EQ(XrCCGet(&kMethod, &Key(), &kept), 0);
    EXPECT_EQ(kept.flags & XRCC_BEING_EDITED, 0);

    EXPECT_EQ(plugin_.ops.deleteCredential(&key), 0);
    EXPECT_EQ(StoredText(), "(none)");
    EXPECT_EQ(plugin_.ops.deleteCredential(&key), -1);
}

TEST_F(LdapPluginTest, FrameworkConfiguresBothSidesUnderIdentifier17)
{
    XrPlugInEntry entry = {};
    ASSERT_EQ(XrPlugInIdentify(LdapPlugin::LibraryPath().c_str(), &entry, XR_PLUGIN_BOTH), 0);
    EXPECT_STREQ(entry.name, "Varo SOCKS5 LDAP");
    ASSERT_EQ(entry.moduleCount, 1);
    XrPlugInModule &module = entry.modules[0];
    EXPECT_STREQ(module.name, "ldap");
    const char *names[] = {"LDAP_SERVER", "TIMEOUT", "DN", "ASK", "PROMPT", "FILTER",
                           "CACHETIME"};
    ASSERT_EQ(module.optionCount, 7);
    for (int i = 0; i < 7; i++)
        EXPECT_STREQ(module.options[i].name, names[i]);
    EXPECT_EQ(module.options[4].type, 0x28);
    XrStrCopy(module.options[0].value, sizeof module.options[0].value, Directory().c_str());

    XrPlugInInstance *instances = nullptr;
    int32_t count = 0;
    ASSERT_EQ(XrPlugInLoad(XR_PLUGIN_BOTH, &entry, 1, &instances, &count), 0);
    ASSERT_EQ(XrPlugInConfigure(instances, count, XR_PLUGIN_BOTH), 0);
    XrPlugInInstance server = {}, client = {};
    ASSERT_EQ(XrPlugInGetModule(XR_REG_SERVER_AUTH, 17, &server), 0);
    ASSERT_EQ(XrPlugInGetModule(XR_REG_CLIENT_AUTH, 17, &client), 0);

    StoreDn(kAnn, "annpass");
    Outcome outcome = Authenticate(server.auth, client.auth);
    EXPECT_EQ(outcome.server, 0);
    EXPECT_EQ(outcome.client, 0);
    EXPECT_EQ(outcome.user, kAnn);
    free(instances);
    XrPlugInFreeEntry(&entry);
}

}  // namespace
