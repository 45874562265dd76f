#include "settings_fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "regnames.h"
#include "nt/nt_log.h"
#include "nt/regutil.h"

namespace {

// Client key values that the settings store reads or writes; the key's other values and
// subkeys belong to other parts of the program and are left alone.
const char *const kClientValues[]
    = {XR_VALUE_APPLICATION_FILE, XR_VALUE_CLIENT_LIBRARY_FILE, XR_VALUE_ENABLE_DNS_PROXY,
       XR_VALUE_REMOTE_DNS_DOMAINS, XR_VALUE_LOCAL_DNS_DOMAINS};
const char kVeltrixRoot[] = "software\\varo usa";
const char kServerRoot[] = "SOFTWARE\\Varo\\Ferrowin Server";
// The client key and its parents, deepest first: the ones a test creates go with it when empty.
const char *const kClientKeyChain[]
    = {XR_CLIENT_KEY, "SOFTWARE\\Varo\\Ferrowin Client", "SOFTWARE\\Varo"};

bool KeyExists(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void DeleteIfEmpty(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 0, values = 0;
    LONG result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (result == ERROR_SUCCESS && subkeys == 0 && values == 0)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
}

}

void SettingsTest::CleanRegistry()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        for (const char *name : kClientValues)
            RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    XrRegDeleteTree(HKEY_CURRENT_USER, kVeltrixRoot, nullptr);
    XrRegDeleteTree(HKEY_LOCAL_MACHINE, kServerRoot, nullptr);
}

void SettingsTest::SetUp()
{
    CleanRegistry();
    existed_.clear();
    for (const char *path : kClientKeyChain)
        existed_.push_back(KeyExists(path));
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::temp_directory_path()
                                / ("ferrowin-settings-" + std::to_string(GetCurrentProcessId())
                                   + "-" + test->test_suite_name() + "-" + test->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    dir_ = dir.string();
}

void SettingsTest::TearDown()
{
    CleanRegistry();
    for (size_t i = 0; i < existed_.size(); i++)
        if (!existed_[i])
            DeleteIfEmpty(kClientKeyChain[i]);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string SettingsTest::Path(const std::string &name) const
{
    return dir_ + "\\" + name;
}

std::string SettingsTest::Write(const std::string &name, const std::string &text) const
{
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void SettingsTest::LogToFile()
{
    std::string path = Path("settings.log");
    XrLogParams params = {XR_LOG_VERSION, "settings test", path.c_str(), 65536, XR_LOG_POLICY_STOP,
                          nullptr, nullptr};
    ASSERT_EQ(XrLogOpen(XrLogProcessHandle(), XR_LOG_FILE, XR_LOG_DETAIL, &params), 0);
}

std::string SettingsTest::LoggedText()
{
    XrLogClose(XrLogProcessHandle());
    return Read(Path("settings.log"));
}

std::string SettingsTest::Read(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void SettingsTest::SetString(HKEY root, const char *path, const char *name, const std::string &text)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

void SettingsTest::SetNumber(HKEY root, const char *path, const char *name, DWORD value)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
    RegCloseKey(key);
}

std::string SettingsTest::RawValue(HKEY root, const char *path, const char *name)
{
    char data[2048];
    DWORD size = sizeof data;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    LONG result
        = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(data, size) : "<missing>";
}

std::string Crlf(const std::string &text)
{
    std::string bytes;
    for (char c : text)
        bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return bytes;
}
