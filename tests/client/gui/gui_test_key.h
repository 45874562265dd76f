// A scratch registry key under HKEY_CURRENT_USER, empty at the start of every test; one per
// process, so that tests running side by side do not meet.
#ifndef TESTS_CLIENT_GUI_GUI_TEST_KEY_H
#define TESTS_CLIENT_GUI_GUI_TEST_KEY_H

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "nt/regutil.h"

inline const std::string kTestKey =
    "Software\\Varo\\Ferrowin GUI Test\\" + std::to_string(GetCurrentProcessId());

class GuiTestKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        XrRegDeleteTree(HKEY_CURRENT_USER, kTestKey.c_str(), nullptr);
        MakeKey(kTestKey);
    }
    void TearDown() override
    {
        XrRegDeleteTree(HKEY_CURRENT_USER, kTestKey.c_str(), nullptr);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Varo\\Ferrowin GUI Test");
    }

    static std::string Path(const char *subkey) { return kTestKey + "\\" + subkey; }

    static void Put(const std::string &path, const char *name, const char *text)
    {
        SetValue(path, name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
    }
    static void Put(const std::string &path, const char *name, DWORD number)
    {
        SetValue(path, name, REG_DWORD, &number, sizeof number);
    }
    static void MakeKey(const std::string &path)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key));
        RegCloseKey(key);
    }
    static bool Has(const std::string &path, const char *name)
    {
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS)
            return false;
        bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(key);
        return found;
    }
    static std::string GetText(const std::string &path, const char *name)
    {
        char text[256] = "";
        DWORD size = sizeof text - 1;
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key) == ERROR_SUCCESS) {
            RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size);
            RegCloseKey(key);
        }
        return text;
    }
    static DWORD GetNumber(const std::string &path, const char *name)
    {
        DWORD number = 0xdeadbeef, size = sizeof number;
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key) == ERROR_SUCCESS) {
            RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&number), &size);
            RegCloseKey(key);
        }
        return number;
    }

private:
    static void SetValue(const std::string &path, const char *name, DWORD type, const void *data,
                               DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key));
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
        RegCloseKey(key);
    }
};

#endif
