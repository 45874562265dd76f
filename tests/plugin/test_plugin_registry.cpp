/* The record of installed plug-ins: install, list, save and remove against the real registry,
 * with real plug-in libraries, and two processes working on it at once. */
#include "plugin_test_support.h"

#include <string>

namespace {

/* "plug-in: module(option,...) module(...)" per entry, entries separated by "; ". */
std::string Describe(const PluginList &list)
{
    std::string text;
    for (int32_t e = 0; e < list.count; ++e) {
        const XrPlugInEntry &entry = list.entries[e];
        text += (e ? "; " : "") + std::string(entry.name) + ":";
        for (int32_t m = 0; m < entry.moduleCount; ++m) {
            text += std::string(" ") + entry.modules[m].name + "(";
            for (int32_t o = 0; o < entry.modules[m].optionCount; ++o)
                text += (o ? "," : "") + std::string(entry.modules[m].options[o].name);
            text += ")";
        }
    }
    return text;
}

class PluginRegistryTest : public PluginTest {
protected:
    int List(int32_t mask, PluginList &list)
    {
        return XrPlugInList(key_.c_str(), mask, &list.entries, &list.count);
    }
    std::string Installed(int32_t mask)
    {
        PluginList list;
        int result = List(mask, list);
        return result == 0 ? Describe(list) : "error " + std::to_string(result);
    }
    /* The test plug-in's filter option value, or "<none>" when the plug-in is not installed. */
    std::string Record() const
    {
        return KeyExists("Test Plug") ? Text("Test Plug\\tfilter\\LEVEL", "Value") : "<none>";
    }
    /* Starts the worker process on this test's key with "<operation> <arguments>"; it sets the
     * event named started just before its call. The caller waits for it with Finish. */
    PROCESS_INFORMATION StartWorker(const std::string &operation, const char *started = "-")
    {
        std::string command = "\"" + BinFile("plugin_worker.exe") + "\" \"" + started + "\" \""
                              + key_ + "\" " + operation;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        EXPECT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                   &process));
        CloseHandle(process.hThread);
        return process;
    }
    /* Waits a bounded time for a worker started by this test and returns its exit code; a
     * worker still running then is ended. */
    DWORD Finish(PROCESS_INFORMATION &process)
    {
        DWORD code = 255;
        if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 255);
        else
            GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        return code;
    }
};

TEST_F(PluginRegistryTest, InstallWritesPluginModulesAndOptionDefaults)
{
    ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);

    EXPECT_EQ(Text("Test Plug", "DLL Path"), TestPlug());
    EXPECT_EQ(Text("Test Plug\\tauth", "Desc"), "Test authentication");
    EXPECT_EQ(Dword("Test Plug\\tauth", "Class"), 12);
    EXPECT_EQ(Dword("Test Plug\\tauth", "Type"), 1);
    EXPECT_EQ(Dword("Test Plug\\tauth", "Enabled"), 1);
    EXPECT_EQ(Dword("Test Plug\\tauth\\SERVER_OPT", "Type"), 0x24);
    EXPECT_EQ(Text("Test Plug\\tauth\\SERVER_OPT", "Value"), "server default");
    EXPECT_EQ(Dword("Test Plug\\tauth\\CLIENT_OPT", "Type"), 0x28);
    EXPECT_EQ(Text("Test Plug\\tfilter\\LEVEL", "Value"), "3");
}

TEST_F(PluginRegistryTest, InstallingTheSameLibraryTwiceFailsTheSecondTime)
{
    ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);
    EXPECT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH),
              XR_PLUGIN_EEXIST);
    EXPECT_EQ(Installed(XR_PLUGIN_BOTH), "Test Plug: tauth(CLIENT_OPT,SERVER_OPT) tfilter(LEVEL)");
}

TEST_F(PluginRegistryTest, LibraryThatIsNoPluginIsRejectedAndNamedInTheLog)
{
    const struct {
        const char *library;
        const char *logged;
    } cases[] = {
        {"testplug_noident.dll", "Plug-in: can't load `XrPluginIdent' from  %s: "},
        {"no_such_plugin.dll", "Plug-in: can't open `%s': "},
    };
    for (const auto &c : cases) {
        std::string library = BinFile(c.library);
        EXPECT_EQ(XrPlugInInstall(library.c_str(), key_.c_str(), XR_PLUGIN_BOTH),
                  XR_PLUGIN_EINVALID_LIBRARY);
        char logged[MAX_PATH + 64];
        snprintf(logged, sizeof logged, c.logged, library.c_str());
        EXPECT_NE(Logged().find(std::string("]: ") + logged), std::string::npos) << Logged();
    }
    EXPECT_FALSE(KeyExists(""));
}

TEST_F(PluginRegistryTest, MalformedPluginIsRejectedAndNothingIsInstalled)
{
    const char *flaws[] = {
        "no record",       "no plug-in name", "negative module count", "no module array",
        "no module name",  "no module type",  "negative option count", "no option array",
        "unterminated plug-in name", "unterminated module description",
        "unterminated option value",
    };
    const std::string library = BinFile("testplug_flawed.dll");
    for (const char *flaw : flaws) {
        SetEnvironmentVariableA("TESTPLUG_FLAW", flaw);
        EXPECT_EQ(XrPlugInInstall(library.c_str(), key_.c_str(), XR_PLUGIN_BOTH),
                  XR_PLUGIN_EINVALID_LIBRARY)
            << flaw;
        EXPECT_FALSE(KeyExists("")) << flaw;
        XrRegDeleteTree(HKEY_LOCAL_MACHINE, key_.c_str(), NULL);
    }
    SetEnvironmentVariableA("TESTPLUG_FLAW", NULL);
    EXPECT_NE(Logged().find("]: Plugin: Id function (XrPluginIdent) failed\n"), std::string::npos);
    // The same library without a flaw is a plug-in.
    EXPECT_EQ(XrPlugInInstall(library.c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);
    EXPECT_EQ(Installed(XR_PLUGIN_BOTH), "Flawed Plug: flawed(OPT)");
}

TEST_F(PluginRegistryTest, InstallThatFailsPartWayLeavesNoRecordBehind)
{
    // The registry's ANSI calls take key paths of at most MAX_PATH characters. Below this key
    // path the plug-in and module keys fit and the option keys do not, so the install fails
    // after it has written part of the record.
    const std::string moduleBelow = "\\Test Plug\\tauth";
    const std::string padding(MAX_PATH - key_.size() - 1 - moduleBelow.size(), 'k');
    const std::string keyPath = Key(padding);
    ASSERT_EQ((keyPath + moduleBelow).size(), (size_t)MAX_PATH);
    HKEY probe;
    ASSERT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (keyPath + moduleBelow + "\\SERVER_OPT").c_str(),
                            0, KEY_READ, &probe),
              ERROR_FILE_NOT_FOUND)
        << "this registry takes longer key paths";

    EXPECT_EQ(XrPlugInInstall(TestPlug().c_str(), keyPath.c_str(), XR_PLUGIN_BOTH),
              XR_PLUGIN_EWRITE);

    EXPECT_FALSE(KeyExists(padding + "\\Test Plug"));
    PluginList list;
    EXPECT_EQ(XrPlugInList(keyPath.c_str(), XR_PLUGIN_BOTH, &list.entries, &list.count), 0);
    EXPECT_EQ(list.count, 0);
}

TEST_F(PluginRegistryTest, OptionsAreInstalledOnlyForTheSidesOfTheMask)
{
    const struct {
        int32_t mask;
        bool serverOption, clientOption, filter;
    } cases[] = {
        {XR_PLUGIN_SERVER, true, false, true},
        {XR_PLUGIN_CLIENT, false, true, false},
        {XR_PLUGIN_BOTH, true, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mask);
        ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), c.mask), 0);
        EXPECT_EQ(KeyExists("Test Plug\\tauth\\SERVER_OPT"), c.serverOption);
        EXPECT_EQ(KeyExists("Test Plug\\tauth\\CLIENT_OPT"), c.clientOption);
        EXPECT_EQ(KeyExists("Test Plug\\tfilter"), c.filter);
        ASSERT_EQ(XrPlugInRemove(TestPlug().c_str(), key_.c_str()), 0);
    }
}

TEST_F(PluginRegistryTest, ListTakesModulesAndOptionsOfTheMaskOnly)
{
    ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);
    ASSERT_EQ(XrPlugInInstall(XR_PLUGIN_NULL_NAME, key_.c_str(), XR_PLUGIN_BOTH), 0);
    const struct {
        int32_t mask;
        const char *expected;
    } cases[] = {
        {XR_PLUGIN_SERVER, "Test Plug: tauth(SERVER_OPT) tfilter(LEVEL); Varo Null: null()"},
        {XR_PLUGIN_CLIENT, "Test Plug: tauth(CLIENT_OPT); Varo Null: null()"},
        {XR_PLUGIN_BOTH,
         "Test Plug: tauth(CLIENT_OPT,SERVER_OPT) tfilter(LEVEL); Varo Null: null()"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Installed(c.mask), c.expected) << c.mask;
}

TEST_F(PluginRegistryTest, MissingKeyListsNothing)
{
    PluginList list;
    EXPECT_EQ(List(XR_PLUGIN_BOTH, list), 0);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.entries, nullptr);
}

TEST_F(PluginRegistryTest, DamagedRecordFailsTheWholeList)
{
    const long kRemove = -2;
    const struct {
        const char *key;
        const char *value;
        long setTo; /* kRemove deletes the value */
        const char *expected;
    } cases[] = {
        {"Test Plug", "DLL Path", kRemove, "error -3"},
        {"Test Plug\\tauth", "Enabled", kRemove, "error -3"},
        {"Test Plug\\tauth", "Enabled", -1, "error -11"},
        {"Test Plug\\tauth", "Type", 0, "error -11"},
        {"Test Plug\\tfilter\\LEVEL", "Type", 0, "error -11"},
        /* a class of neither side is skipped, not an error */
        {"Test Plug\\tauth", "Class", 0x10, "Test Plug: tfilter(LEVEL)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.value);
        ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);
        if (c.setTo == kRemove)
            DeleteValue(c.key, c.value);
        else
            SetDword(c.key, c.value, (DWORD)c.setTo);
        EXPECT_EQ(Installed(XR_PLUGIN_BOTH), c.expected);
        ASSERT_EQ(XrRegDeleteTree(HKEY_LOCAL_MACHINE, key_.c_str(), NULL), 0);
    }
}

TEST_F(PluginRegistryTest, SaveWritesEnabledFlagsAndOptionValuesBack)
{
    ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);
    {
        PluginList list;
        ASSERT_EQ(List(XR_PLUGIN_SERVER, list), 0);
        ASSERT_EQ(list.count, 1);
        XrPlugInModule &auth = list.entries[0].modules[0];
        auth.enabled = 0;
        auth.changed = 1;
        snprintf(auth.options[0].value, XR_PLUGIN_VALUE_SIZE, "saved");
        ASSERT_EQ(XrPlugInSave(key_.c_str(), list.entries, list.count), 0);
    }
    EXPECT_EQ(Dword("Test Plug\\tauth", "Enabled"), 0);
    EXPECT_EQ(Dword("Test Plug\\tfilter", "Enabled"), 1);
    EXPECT_EQ(Text("Test Plug\\tauth\\SERVER_OPT", "Value"), "saved");
    EXPECT_EQ(Text("Test Plug\\tauth\\CLIENT_OPT", "Value"), "client default");
}

TEST_F(PluginRegistryTest, RemoveDeletesThePluginKeyWithItsSubkeys)
{
    ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);
    ASSERT_EQ(XrPlugInInstall(XR_PLUGIN_NULL_NAME, key_.c_str(), XR_PLUGIN_BOTH), 0);

    EXPECT_EQ(XrPlugInRemove(TestPlug().c_str(), key_.c_str()), 0);

    EXPECT_FALSE(KeyExists("Test Plug"));
    EXPECT_EQ(Installed(XR_PLUGIN_BOTH), "Varo Null: null()");
    EXPECT_EQ(XrPlugInRemove(TestPlug().c_str(), key_.c_str()), XR_PLUGIN_EWRITE);
}

TEST_F(PluginRegistryTest, SecondProcessWaitsWhileTheMutexIsHeld)
{
    // The worker never runs XrPlugInInit, as the logon refresh does not.
    const std::string library = " \"" + TestPlug() + "\"";
    const struct {
        std::string operation;
        bool installed;    /* before the call */
        const char *after; /* what Record() shows once the call is through */
    } cases[] = {
        {"list", true, "3"},
        {"install" + library, false, "3"},
        {"remove" + library, true, "<none>"},
        {"save held 1", true, "held-0"},
    };
    const std::string startedName = "PlugInWorkerStarted-" + std::to_string(GetCurrentProcessId());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.operation);
        if (c.installed) {
            ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);
        }
        const std::string before = Record();
        HANDLE started = CreateEventA(NULL, TRUE, FALSE, startedName.c_str());
        HANDLE mutex = CreateMutexA(NULL, FALSE, XR_PLUGIN_MUTEX);
        ASSERT_NE(started, nullptr);
        ASSERT_NE(mutex, nullptr);
        ASSERT_EQ(WaitForSingleObject(mutex, 10000), WAIT_OBJECT_0);

        PROCESS_INFORMATION worker = StartWorker(c.operation, startedName.c_str());
        EXPECT_EQ(WaitForSingleObject(started, 60000), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(worker.hProcess, 1000), (DWORD)WAIT_TIMEOUT);
        EXPECT_EQ(Record(), before);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        CloseHandle(started);

        EXPECT_EQ(Finish(worker), 0u);
        EXPECT_EQ(Record(), c.after);
        ASSERT_EQ(XrRegDeleteTree(HKEY_LOCAL_MACHINE, key_.c_str(), NULL), 0);
    }
}

TEST_F(PluginRegistryTest, CallsWithoutInitCreateTheMutexWhenNoProcessHasIt)
{
    // Closes this process's mutex; unless another process holds one, each call creates its own.
    XrPlugInCleanup();

    EXPECT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_CLIENT), 0);
    PluginList list;
    ASSERT_EQ(List(XR_PLUGIN_CLIENT, list), 0);
    EXPECT_EQ(Describe(list), "Test Plug: tauth(CLIENT_OPT)");
    EXPECT_EQ(XrPlugInSave(key_.c_str(), list.entries, list.count), 0);
    EXPECT_EQ(XrPlugInRemove(TestPlug().c_str(), key_.c_str()), 0);
    EXPECT_FALSE(KeyExists("Test Plug"));
}

TEST_F(PluginRegistryTest, SaveAfterAnotherProcessRemovedThePluginBringsNothingBack)
{
    const struct {
        const char *what;
        int32_t reinstall; /* 0: none; else the side mask of a new install before the save */
        const char *listed;
        const char *serverOption;
    } cases[] = {
        {"removed", 0, "", "<missing>"},
        {"reinstalled for the server side", XR_PLUGIN_SERVER,
         "Test Plug: tauth(SERVER_OPT) tfilter(LEVEL)", "saved"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);
        PluginList list;
        ASSERT_EQ(List(XR_PLUGIN_BOTH, list), 0);
        ASSERT_EQ(list.count, 1);
        for (int32_t m = 0; m < list.entries[0].moduleCount; ++m)
            for (int32_t o = 0; o < list.entries[0].modules[m].optionCount; ++o)
                snprintf(list.entries[0].modules[m].options[o].value, XR_PLUGIN_VALUE_SIZE,
                         "saved");
        PROCESS_INFORMATION remover = StartWorker("remove \"" + TestPlug() + "\"");
        ASSERT_EQ(Finish(remover), 0u);
        if (c.reinstall) {
            ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), c.reinstall), 0);
        }

        EXPECT_EQ(XrPlugInSave(key_.c_str(), list.entries, list.count), 0);

        EXPECT_EQ(Installed(XR_PLUGIN_BOTH), c.listed);
        EXPECT_EQ(Text("Test Plug\\tauth\\SERVER_OPT", "Value"), c.serverOption);
        EXPECT_FALSE(KeyExists("Test Plug\\tauth\\CLIENT_OPT"));
        EXPECT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH),
                  c.reinstall ? XR_PLUGIN_EEXIST : 0);
        ASSERT_EQ(XrRegDeleteTree(HKEY_LOCAL_MACHINE, key_.c_str(), NULL), 0);
    }
}

TEST_F(PluginRegistryTest, TwoProcessesListingAndSavingAtOnceLeaveAConsistentRecord)
{
    ASSERT_EQ(XrPlugInInstall(TestPlug().c_str(), key_.c_str(), XR_PLUGIN_BOTH), 0);
    PROCESS_INFORMATION first = StartWorker("save first 25");
    PROCESS_INFORMATION second = StartWorker("save second 25");
    EXPECT_EQ(Finish(first), 0u);
    EXPECT_EQ(Finish(second), 0u);

    PluginList list;
    ASSERT_EQ(List(XR_PLUGIN_BOTH, list), 0);
    std::string last = Text("Test Plug\\tfilter\\LEVEL", "Value");
    EXPECT_TRUE(last == "first-24" || last == "second-24") << last;
    for (const char *option : {"tauth\\SERVER_OPT", "tauth\\CLIENT_OPT"})
        EXPECT_EQ(Text(std::string("Test Plug\\") + option, "Value"), last);
}

} // namespace
