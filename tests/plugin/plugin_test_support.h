/* Fixture of the plug-in framework tests: a plug-in key of the test's own in the real
 * registry, the framework initialised, and the process log going to a file the test reads. */
#ifndef TESTS_PLUGIN_PLUGIN_TEST_SUPPORT_H
#define TESTS_PLUGIN_PLUGIN_TEST_SUPPORT_H

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../xrutil/stderr_capture.h"
#include "nt/nt_log.h"
#include "nt/regutil.h"
#include "xrplugin_host.h"

/* A listed plug-in configuration, freed with the object. */
struct PluginList {
    XrPlugInEntry *entries = nullptr;
    int32_t count = 0;
    PluginList() = default;
    PluginList(const PluginList &) = delete;
    PluginList &operator=(const PluginList &) = delete;
    ~PluginList() { XrPlugInFreeList(entries, count); }
};

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        key_ = "SOFTWARE\\Varo\\Ferrowin Client\\2.0\\PlugInsTest-"
               + std::to_string(GetCurrentProcessId());
        XrRegDeleteTree(HKEY_LOCAL_MACHINE, key_.c_str(), NULL);
        ASSERT_EQ(XrPlugInInit(), 0);
        logPath_ = folder_.File("plugin.log");
        XrLogParams params = {XR_LOG_VERSION, "plugin test", logPath_.c_str(), 16384,
                              XR_LOG_POLICY_STOP, NULL, NULL};
        ASSERT_EQ(XrLogOpen(XrLogProcessHandle(), XR_LOG_FILE, XR_LOG_DETAIL, &params), 0);
    }
    void TearDown() override
    {
        XrLogClose(XrLogProcessHandle());
        XrRegDeleteTree(HKEY_LOCAL_MACHINE, key_.c_str(), NULL);
        XrPlugInCleanup();
    }

    /* What the framework logged so far. */
    std::string Logged() const { return ReadText(logPath_); }

    /* A file next to the test program: the test plug-ins and the worker. */
    static std::string BinFile(const char *name)
    {
        char path[MAX_PATH];
        DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
        std::string folder(path, length);
        return folder.substr(0, folder.rfind('\\') + 1) + name;
    }
    static std::string TestPlug() { return BinFile("testplug.dll"); }

    std::string Key(const std::string &below = "") const
    {
        return below.empty() ? key_ : key_ + "\\" + below;
    }
    bool KeyExists(const std::string &below) const
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key(below).c_str(), 0, KEY_READ, &key) != 0)
            return false;
        RegCloseKey(key);
        return true;
    }
    void SetDword(const std::string &below, const char *name, DWORD value) const
    {
        HKEY key = NULL;
        ASSERT_EQ(XrRegWrite(&key, HKEY_LOCAL_MACHINE, Key(below).c_str(), name, REG_DWORD,
                             &value, sizeof value, NULL), 0);
        XrRegRelease(&key, NULL);
    }
    void SetText(const std::string &below, const char *name, const char *text) const
    {
        HKEY key = NULL;
        ASSERT_EQ(XrRegWrite(&key, HKEY_LOCAL_MACHINE, Key(below).c_str(), name, REG_SZ, text,
                             (DWORD)strlen(text) + 1, NULL), 0);
        XrRegRelease(&key, NULL);
    }
    void DeleteValue(const std::string &below, const char *name) const
    {
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key(below).c_str(), 0, KEY_SET_VALUE, &key), 0);
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    /* A DWORD value, or -1 when it is missing; a string value, or "<missing>". */
    long Dword(const std::string &below, const char *name) const
    {
        char *data = NULL;
        DWORD size = 0;
        if (XrRegRead(HKEY_LOCAL_MACHINE, Key(below).c_str(), name, NULL, &data, &size, NULL) != 0)
            return -1;
        long value = size == 4 ? *(const long *)data : -1;
        XrRegRelease(NULL, data);
        return value;
    }
    std::string Text(const std::string &below, const char *name) const
    {
        char *data = NULL;
        if (XrRegRead(HKEY_LOCAL_MACHINE, Key(below).c_str(), name, NULL, &data, NULL, NULL) != 0)
            return "<missing>";
        std::string text(data);
        XrRegRelease(NULL, data);
        return text;
    }

    std::string key_;
    ScratchFolder folder_;
    std::string logPath_;
};

#endif
