#include "installed_client.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <string.h>

#include "nt/regutil.h"
#include "regnames.h"
#include "xrplugin_host.h"

namespace {

// Client key values the settings program reads or writes.
const char *const kClientValues[] = {
    XR_VALUE_INSTALLATION_DIRECTORY, XR_VALUE_CLIENT_LIBRARY_FILE, XR_VALUE_APPLICATION_FILE,
    XR_VALUE_SETUP_IN_PROGRESS, XR_VALUE_START_AS_WIZARD, XR_VALUE_WIZARD_LAST_USED_IMPORT,
    XR_VALUE_LAST_IMPORT_URL, XR_VALUE_LAST_IMPORT_PATH, XR_VALUE_PROXY_METHOD,
    XR_VALUE_SUPPORT_MULTIPLE_SERVER, XR_VALUE_USE_AUTHENTICATION, XR_VALUE_SHOW_ICON_ON_TASKBAR,
    XR_VALUE_ENABLE_PROXY, XR_VALUE_ENABLE_CONFIGURATION_FILE, XR_VALUE_SOCKSIFY_ALL,
    XR_VALUE_ALLOW_SAVE_CREDENTIAL, XR_VALUE_ENABLE_DNS_PROXY, XR_VALUE_LOCAL_DNS_DOMAINS,
    XR_VALUE_REMOTE_DNS_DOMAINS, XR_VALUE_ENABLE_NETMASK_CHECK, XR_VALUE_SERVER};

void Clean()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        for (const char *name : kClientValues)
            RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    for (const char *path : {XR_RUN_KEY, XR_RUNONCE_KEY})
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, XR_VALUE_STARTUP);
            RegCloseKey(key);
        }
    XrRegDeleteTree(HKEY_LOCAL_MACHINE, XR_PLUGINS_KEY, nullptr);
}

}

void InstalledClientTest::SetUp()
{
    Clean();
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "-" + test->name();
    for (char &c : name)
        if (c == '/')
            c = '-';
    std::filesystem::path dir = std::filesystem::temp_directory_path()
                                / ("ferrowin-shell-" + std::to_string(GetCurrentProcessId()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    dir_ = dir.string();
    SetString(XR_CLIENT_KEY, XR_VALUE_INSTALLATION_DIRECTORY, dir_ + "\\");
    SetString(XR_CLIENT_KEY, XR_VALUE_CLIENT_LIBRARY_FILE, ConfigFile());
    SetString(XR_CLIENT_KEY, XR_VALUE_APPLICATION_FILE, ApplicationFile());
}

void InstalledClientTest::TearDown()
{
    Clean();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string InstalledClientTest::Path(const std::string &name) const
{
    return dir_ + "\\" + name;
}

std::string InstalledClientTest::Write(const std::string &name, const std::string &text) const
{
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
}

std::string InstalledClientTest::Read(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void InstalledClientTest::SetNumber(const char *key, const char *name, DWORD value)
{
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, key, &handle));
    RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
    RegCloseKey(handle);
}

void InstalledClientTest::SetString(const char *key, const char *name, const std::string &text)
{
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, key, &handle));
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(handle);
}

std::string InstalledClientTest::Value(const char *key, const char *name)
{
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<missing>";
    char data[1024] = "";
    DWORD type = 0, size = sizeof data - 1;
    LONG result = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE *>(data), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        return "<missing>";
    if (type == REG_DWORD)
        return std::to_string(*reinterpret_cast<DWORD *>(data));
    return data;
}

std::string InstalledClientTest::ClientKeySnapshot()
{
    std::string snapshot;
    for (const char *name : kClientValues)
        snapshot += std::string(name) + "=" + Value(XR_CLIENT_KEY, name) + "\n";
    return snapshot;
}

int InstalledClientTest::ModuleEnabled(const char *name)
{
    XrPlugInEntry *entries = nullptr;
    int32_t count = 0;
    int enabled = -1;
    if (XrPlugInList(XR_PLUGINS_KEY, XR_PLUGIN_CLIENT, &entries, &count) != 0)
        return enabled;
    for (int32_t i = 0; i < count; i++)
        for (int32_t m = 0; m < entries[i].moduleCount; m++)
            if (strcmp(entries[i].modules[m].name, name) == 0)
                enabled = entries[i].modules[m].enabled;
    XrPlugInFreeList(entries, count);
    return enabled;
}

void InstalledClientTest::InstallPlugIns(std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        std::string path = strchr(name, '.') ? ProgramFolder() + "\\" + name : name;
        ASSERT_EQ(0, XrPlugInInstall(path.c_str(), XR_PLUGINS_KEY, XR_PLUGIN_CLIENT)) << name;
    }
    XrPlugInEntry *entries = nullptr;
    int32_t count = 0;
    ASSERT_EQ(0, XrPlugInList(XR_PLUGINS_KEY, XR_PLUGIN_CLIENT, &entries, &count));
    for (int32_t i = 0; i < count; i++)
        for (int32_t m = 0; m < entries[i].moduleCount; m++) {
            XrPlugInModule &module = entries[i].modules[m];
            module.enabled = strcmp(module.name, "null") == 0;
            module.changed = 1;
        }
    EXPECT_EQ(0, XrPlugInSave(XR_PLUGINS_KEY, entries, count));
    XrPlugInFreeList(entries, count);
}

std::string InstalledClientTest::ProgramFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text(path);
    return text.substr(0, text.find_last_of('\\'));
}
