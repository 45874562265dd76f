/* Loading and configuring modules: registration by side and identifier, the host services a
 * module gets, and the built-in null method. Registrations last for the process, so every
 * test uses identifiers of its own. */
#include "plugin_test_support.h"

#include <string.h>

#include <string>
#include <vector>

#include "xrcred.h"
#include "xrimpl.h"

namespace {

/* Instances loaded from a listed configuration, freed with the object. */
struct Loaded {
    XrPlugInInstance *instances = nullptr;
    int32_t count = 0;
    Loaded() = default;
    Loaded(const Loaded &) = delete;
    Loaded &operator=(const Loaded &) = delete;
    ~Loaded() { free(instances); }
};

/* The function an address leads to: an import thunk of the program (jmp through its import
 * table) stands for the library function it jumps to. */
void *Target(void *address)
{
    const unsigned char *code = static_cast<const unsigned char *>(address);
    if (code && code[0] == 0xff && code[1] == 0x25)
        return **reinterpret_cast<void **const *>(code + 2);
    return address;
}

/* Modules defined in the test program itself. */
std::vector<XrPlugInHost> g_hosts;
int32_t g_nextIdentifier;

int XRPLUGIN_CALL KeepHost(XrPlugInOptionAccess *, XrPlugInHost *host, XrPlugInOperations *ops)
{
    g_hosts.push_back(*host);
    ops->identifier = (uint8_t)g_nextIdentifier++;
    snprintf(ops->name, sizeof ops->name, "kept");
    return 0;
}

int XRPLUGIN_CALL SameIdentifier(XrPlugInOptionAccess *, XrPlugInHost *, XrPlugInOperations *ops)
{
    ops->identifier = 40;
    return 0;
}

/* The sides a module's per-side initialization saw, in order, with the data slot it got. */
std::vector<std::pair<int32_t, void **>> g_sideCalls;

int XRPLUGIN_CALL RecordSide(XrPlugInOptionAccess *, int32_t side, void **sideData)
{
    g_sideCalls.emplace_back(side, sideData);
    return 0;
}

int XRPLUGIN_CALL BothSides(XrPlugInOptionAccess *, XrPlugInHost *, XrPlugInOperations *ops)
{
    ops->identifier = 60;
    snprintf(ops->name, sizeof ops->name, "both");
    ops->sideInit = RecordSide;
    return 0;
}

/* An instance as the loader makes it, with a module record holding the given options. */
struct HandMade {
    XrPlugInModule module = {};
    std::vector<XrPlugInOption> options;
    XrPlugInInstance instance = {};

    HandMade(const char *name, int32_t moduleClass, int32_t type, XrPlugInInitFn init,
             std::vector<XrPlugInOption> moduleOptions = {})
        : options(moduleOptions)
    {
        module.moduleClass = instance.moduleClass = moduleClass;
        module.type = instance.type = type;
        snprintf(module.name, sizeof module.name, "%s", name);
        snprintf(instance.name, sizeof instance.name, "%s", name);
        module.enabled = 1;
        module.optionCount = (int32_t)options.size();
        module.options = options.data();
        instance.version = XR_PLUGIN_VERSION;
        instance.init = init;
        instance.module = &module;
    }
};

XrPlugInOption Option(const char *name, const char *value)
{
    XrPlugInOption option = {XR_PLUGIN_OPTION_VALUE | XR_PLUGIN_BOTH, "", ""};
    snprintf(option.name, sizeof option.name, "%s", name);
    snprintf(option.value, sizeof option.value, "%s", value);
    return option;
}

class PluginLoaderTest : public PluginTest {
protected:
    void Install(const char *library, int32_t mask)
    {
        ASSERT_EQ(XrPlugInInstall(library, key_.c_str(), mask), 0);
        ASSERT_EQ(XrPlugInList(key_.c_str(), mask, &list_.entries, &list_.count), 0);
    }
    bool Logs(const std::string &message)
    {
        return Logged().find("]: " + message + "\n") != std::string::npos;
    }
    std::string Registered(int32_t type, int32_t identifier)
    {
        XrPlugInInstance instance;
        return XrPlugInGetModule(type, identifier, &instance) == 0 ? instance.name : "<none>";
    }

    PluginList list_;
    Loaded loaded_;
};

TEST_F(PluginLoaderTest, ClassTwelveModuleIsRegisteredForBothSidesUnderOneIdentifier)
{
    Install(TestPlug().c_str(), XR_PLUGIN_BOTH);
    ASSERT_EQ(XrPlugInLoad(XR_PLUGIN_BOTH, list_.entries, list_.count, &loaded_.instances,
                           &loaded_.count), 0);
    ASSERT_EQ(loaded_.count, 2);

    ASSERT_EQ(XrPlugInConfigure(loaded_.instances, loaded_.count, XR_PLUGIN_BOTH), 0);

    EXPECT_EQ(Registered(XR_REG_SERVER_AUTH, 21), "tauth");
    EXPECT_EQ(Registered(XR_REG_CLIENT_AUTH, 21), "tauth");
    EXPECT_EQ(Registered(XR_REG_FILTER, 22), "tfilter");
    EXPECT_TRUE(Logs("Registering server authentication tauth (ID 21)")) << Logged();
    EXPECT_TRUE(Logs("Registering client authentication tauth (ID 21)"));
    EXPECT_TRUE(Logs("Registering filter tfilter (ID 22)"));
    EXPECT_TRUE(Logs("Plug-in: tauth in " + TestPlug() + " loaded"));
    EXPECT_TRUE(Logs("Plug-in: tauth configured"));
    auto sides = (int32_t(XRPLUGIN_CALL *)(void))(void (*)(void))GetProcAddress(
        (HMODULE)list_.entries[0].library, "TestPlugSides");
    ASSERT_NE(sides, nullptr);
    EXPECT_EQ(sides(), XR_PLUGIN_BOTH);

    XrPlugInInstance server;
    ASSERT_EQ(XrPlugInGetModule(XR_REG_SERVER_AUTH, 21, &server), 0);
    EXPECT_EQ(server.auth, server.ops.serverAuth);
    ASSERT_NE(server.module, nullptr);
    EXPECT_STREQ(server.module->options[0].name, "CLIENT_OPT");
    uint8_t ids[XR_REG_SLOTS];
    int32_t count = 0;
    ASSERT_EQ(XrPlugInListIds(XR_REG_CLIENT_AUTH, ids, &count), 0);
    EXPECT_NE(std::find(ids, ids + count, 21), ids + count);
}

TEST_F(PluginLoaderTest, ClientSideLoadTakesAuthenticationModulesOnly)
{
    Install(TestPlug().c_str(), XR_PLUGIN_SERVER);
    ASSERT_EQ(XrPlugInLoad(XR_PLUGIN_CLIENT, list_.entries, list_.count, &loaded_.instances,
                           &loaded_.count), 0);
    ASSERT_EQ(loaded_.count, 1);
    EXPECT_STREQ(loaded_.instances[0].name, "tauth");
    EXPECT_EQ(loaded_.instances[0].module, &list_.entries[0].modules[0]);
    EXPECT_EQ(loaded_.instances[0].libraryPath, TestPlug());
}

TEST_F(PluginLoaderTest, ModuleMissingFromItsLibraryFailsTheLoad)
{
    Install(TestPlug().c_str(), XR_PLUGIN_BOTH);
    snprintf(list_.entries[0].modules[1].name, XR_PLUGIN_NAME_SIZE, "ghost");
    EXPECT_EQ(XrPlugInLoad(XR_PLUGIN_BOTH, list_.entries, list_.count, &loaded_.instances,
                           &loaded_.count), -1);
    EXPECT_EQ(loaded_.instances, nullptr);
    EXPECT_TRUE(Logs("Plugin: module ghost not found in " + TestPlug())) << Logged();
}

TEST_F(PluginLoaderTest, UndeclaredOptionIsOnlyWarnedAbout)
{
    Install(TestPlug().c_str(), XR_PLUGIN_SERVER);
    XrPlugInModule &auth = list_.entries[0].modules[0];
    snprintf(auth.options[0].name, XR_PLUGIN_NAME_SIZE, "BOGUS");
    ASSERT_EQ(XrPlugInLoad(XR_PLUGIN_SERVER, list_.entries, list_.count, &loaded_.instances,
                           &loaded_.count), 0);
    EXPECT_EQ(loaded_.count, 2);
    EXPECT_TRUE(Logs("Plug-in warning: BOGUS is not a valid option")) << Logged();
}

TEST_F(PluginLoaderTest, OptionDeclaredForTheOtherSideOnlyIsWarnedAbout)
{
    Install(TestPlug().c_str(), XR_PLUGIN_BOTH);
    const struct {
        int32_t side;
        const char *warned;
        const char *accepted;
    } cases[] = {
        {XR_PLUGIN_CLIENT, "SERVER_OPT", "CLIENT_OPT"},
        {XR_PLUGIN_SERVER, "CLIENT_OPT", "SERVER_OPT"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.side);
        size_t before = Logged().size();
        Loaded loaded;
        ASSERT_EQ(XrPlugInLoad(c.side, list_.entries, list_.count, &loaded.instances,
                               &loaded.count), 0);
        std::string logged = Logged().substr(before);
        EXPECT_NE(logged.find("]: Plug-in warning: " + std::string(c.warned)), std::string::npos)
            << logged;
        EXPECT_EQ(logged.find("]: Plug-in warning: " + std::string(c.accepted)),
                  std::string::npos);
    }
}

TEST_F(PluginLoaderTest, ServerSideIsConfiguredBeforeTheClientSide)
{
    g_sideCalls.clear();
    HandMade both("both", XR_PLUGIN_BOTH, XR_PLUGIN_AUTH, BothSides);

    ASSERT_EQ(XrPlugInConfigure(&both.instance, 1, XR_PLUGIN_BOTH), 0);

    const std::vector<std::pair<int32_t, void **>> expected = {
        {XR_PLUGIN_SERVER, &both.instance.sideData[0]},
        {XR_PLUGIN_CLIENT, &both.instance.sideData[1]},
    };
    EXPECT_EQ(g_sideCalls, expected);
    std::string logged = Logged();
    size_t server = logged.find("]: Registering server authentication both (ID 60)\n");
    size_t client = logged.find("]: Registering client authentication both (ID 60)\n");
    ASSERT_NE(server, std::string::npos) << logged;
    ASSERT_NE(client, std::string::npos) << logged;
    EXPECT_LT(server, client);
}

TEST_F(PluginLoaderTest, SecondModuleWithTheSameIdentifierEndsTheConfiguration)
{
    HandMade first("first", XR_PLUGIN_SERVER, XR_PLUGIN_AUTH, SameIdentifier,
                   {Option("name", "first")});
    HandMade second("second", XR_PLUGIN_SERVER, XR_PLUGIN_AUTH, SameIdentifier,
                    {Option("name", "second")});
    HandMade third("third", XR_PLUGIN_SERVER, XR_PLUGIN_AUTH, SameIdentifier,
                   {Option("identifier", "41"), Option("name", "third")});
    XrPlugInInstance instances[] = {first.instance, second.instance, third.instance};

    EXPECT_EQ(XrPlugInConfigure(instances, 3, XR_PLUGIN_BOTH), -1);

    EXPECT_EQ(Registered(XR_REG_SERVER_AUTH, 40), "first");
    EXPECT_TRUE(Logs("Plug-in: second not configured: identifier in use")) << Logged();
    EXPECT_FALSE(Logs("Plug-in: third is to be enabled"));
    EXPECT_EQ(Registered(XR_REG_SERVER_AUTH, 41), "<none>");
}

TEST_F(PluginLoaderTest, DisabledModuleIsNotConfigured)
{
    HandMade off("off", XR_PLUGIN_SERVER, XR_PLUGIN_AUTH, SameIdentifier,
                 {Option("identifier", "42")});
    off.module.enabled = 0;
    EXPECT_EQ(XrPlugInConfigure(&off.instance, 1, XR_PLUGIN_BOTH), 0);
    EXPECT_TRUE(Logs("Plug-in: off is not to be enabled")) << Logged();
    EXPECT_EQ(Registered(XR_REG_SERVER_AUTH, 42), "<none>");
}

TEST_F(PluginLoaderTest, AuthenticationModulesGetTheCredentialServicesOthersDoNot)
{
    g_hosts.clear();
    g_nextIdentifier = 50;
    HandMade auth("ldap", XR_PLUGIN_CLIENT, XR_PLUGIN_AUTH, KeepHost);
    HandMade filter("filt", XR_PLUGIN_SERVER, XR_PLUGIN_FILTER, KeepHost);
    XrPlugInInstance instances[] = {auth.instance, filter.instance};
    ASSERT_EQ(XrPlugInConfigure(instances, 2, XR_PLUGIN_BOTH), 0);
    ASSERT_EQ(g_hosts.size(), 2u);
    const XrPlugInHost &full = g_hosts[0];
    const XrPlugInHost &brief = g_hosts[1];
    EXPECT_EQ(full.builtinCode, XR_PLUGIN_CODE_LDAP);
    EXPECT_EQ(brief.builtinCode, XR_PLUGIN_CODE_OTHER);

    const struct {
        int32_t service;
        void *address;
    } credential[] = {
        {XR_SVC_CC_OPEN, (void *)&XrCCOpen},       {XR_SVC_CC_DIALOG, (void *)&XrCCDialog},
        {XR_SVC_CC_GET, (void *)&XrCCGet},         {XR_SVC_CC_SET, (void *)&XrCCSet},
        {XR_SVC_CC_DELETE, (void *)&XrCCDelete},   {XR_SVC_CC_CLOSE, (void *)&XrCCClose},
        {XR_SVC_CC_DIALOG2, (void *)&XrCCDialog2},
    };
    for (const auto &c : credential) {
        EXPECT_EQ(Target(full.lookup(c.service)), Target(c.address)) << c.service;
        EXPECT_EQ(brief.lookup(c.service), nullptr) << c.service;
    }
    EXPECT_EQ(Target(full.lookup(XR_SVC_SEND)), Target((void *)&XrIOSend));
    EXPECT_EQ(Target(full.lookup(XR_SVC_RECV)), Target((void *)&XrIORecv));
    EXPECT_EQ(Target(full.lookup(XR_SVC_LOG_OPEN)), Target((void *)&XrLogOpen));
    for (int32_t service = XR_SVC_LOG_OPEN; service <= XR_SVC_RECV; ++service) {
        EXPECT_NE(brief.lookup(service), nullptr) << service;
        EXPECT_EQ(brief.lookup(service), full.lookup(service)) << service;
    }
    for (int32_t service : {0, 16})
        EXPECT_EQ(full.lookup(service), nullptr) << service;
    EXPECT_EQ(brief.lookup(XR_SVC_NO_SAVE), nullptr);

    XrPlugInSetAllowSave(0);
    EXPECT_EQ((intptr_t)full.lookup(XR_SVC_NO_SAVE), 1);
    XrPlugInSetAllowSave(1);
    EXPECT_EQ((intptr_t)full.lookup(XR_SVC_NO_SAVE), 0);

    auto get = (XrPlugInGetModuleFn)brief.lookup(XR_SVC_GET_MODULE);
    XrPlugInInstance registered;
    ASSERT_EQ(get(XR_REG_FILTER, 51, &registered), 0);
    EXPECT_STREQ(registered.name, "kept");
}

TEST_F(PluginLoaderTest, NullMethodTakesPartLikeALibraryPlugin)
{
    Install(XR_PLUGIN_NULL_NAME, XR_PLUGIN_BOTH);
    ASSERT_EQ(XrPlugInLoad(XR_PLUGIN_BOTH, list_.entries, list_.count, &loaded_.instances,
                           &loaded_.count), 0);
    EXPECT_EQ(list_.entries[0].library, XR_PLUGIN_BUILTIN);
    ASSERT_EQ(XrPlugInConfigure(loaded_.instances, loaded_.count, XR_PLUGIN_BOTH), 0);
    EXPECT_EQ(Registered(XR_REG_CLIENT_AUTH, 0), "null");

    XrPlugInInstance server;
    ASSERT_EQ(XrPlugInGetModule(XR_REG_SERVER_AUTH, 0, &server), 0);
    XrConnection connection = {};
    snprintf(connection.requestedUser, sizeof connection.requestedUser, "alice");
    snprintf(connection.user, sizeof connection.user, "old");
    EXPECT_EQ(server.auth(NULL, 0, &connection), 0);
    EXPECT_STREQ(connection.user, "alice");
    EXPECT_STREQ(connection.requestedUser, "alice");

    memset(&connection, 0, sizeof connection);
    snprintf(connection.user, sizeof connection.user, "kept");
    EXPECT_EQ(server.auth(NULL, 0, &connection), 0);
    EXPECT_STREQ(connection.user, "kept");
}

TEST_F(PluginLoaderTest, NullServerHandlerReadsNoFurtherThanAnUnterminatedRequestedUser)
{
    // The record ends where an inaccessible page begins: a read past its last field faults.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    char *pages = static_cast<char *>(
        VirtualAlloc(NULL, 2 * system.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD previous;
    ASSERT_TRUE(VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS,
                               &previous));
    XrConnection *connection =
        reinterpret_cast<XrConnection *>(pages + system.dwPageSize - sizeof(XrConnection));
    memset(connection, 'b', sizeof *connection);
    memset(connection->requestedUser, 'a', sizeof connection->requestedUser);

    XrPlugInOperations ops = {};
    ASSERT_EQ(XrPlugInNullIdent()->modules[0].init(NULL, NULL, &ops), 0);
    EXPECT_EQ(ops.serverAuth(NULL, 0, connection), 0);
    EXPECT_EQ(std::string(connection->user), std::string(sizeof connection->user - 1, 'a'));
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST_F(PluginLoaderTest, NullClientHandlerSendsNothing)
{
    XrPlugInEntry entry;
    ASSERT_EQ(XrPlugInIdentify(XR_PLUGIN_NULL_NAME, &entry, XR_PLUGIN_CLIENT), 0);
    EXPECT_STREQ(entry.name, XR_PLUGIN_NULL_NAME);
    XrPlugInFreeEntry(&entry);
    XrPlugInOperations ops = {};
    XrPlugInIdentRecord *ident = XrPlugInNullIdent();
    ASSERT_EQ(ident->modules[0].init(NULL, NULL, &ops), 0);
    EXPECT_EQ(ops.identifier, 0);
    EXPECT_STREQ(ops.name, "null");

    EXPECT_EQ(ops.clientAuth(NULL, 0, NULL), 0);
    XrPlugInExchange exchange = {NULL, 5};
    EXPECT_EQ(ops.clientAuth(NULL, 0, &exchange), 0);
    EXPECT_EQ(exchange.sendLength, 0);
}

TEST_F(PluginLoaderTest, IdentifierOptionOverridesTheReportedIdentifier)
{
    ASSERT_EQ(XrPlugInInstall(XR_PLUGIN_NULL_NAME, key_.c_str(), XR_PLUGIN_CLIENT), 0);
    SetDword("Varo Null\\null\\identifier", "Type", XR_PLUGIN_OPTION_VALUE | XR_PLUGIN_CLIENT);
    SetText("Varo Null\\null\\identifier", "Value", "7");
    ASSERT_EQ(XrPlugInList(key_.c_str(), XR_PLUGIN_CLIENT, &list_.entries, &list_.count), 0);
    ASSERT_EQ(XrPlugInLoad(XR_PLUGIN_CLIENT, list_.entries, list_.count, &loaded_.instances,
                           &loaded_.count), 0);
    ASSERT_EQ(XrPlugInConfigure(loaded_.instances, loaded_.count, XR_PLUGIN_CLIENT), 0);
    EXPECT_EQ(Registered(XR_REG_CLIENT_AUTH, 7), "null");
    EXPECT_EQ(Registered(XR_REG_SERVER_AUTH, 7), "<none>");
    EXPECT_FALSE(Logs("Plug-in warning: identifier is not a valid option"));
}

} // namespace
