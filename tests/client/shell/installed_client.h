// A prepared installation for the settings program's tests: the client key holds what the
// installer writes (installation directory, both settings files in a folder of the test's own),
// and every value, logon entry and plug-in record a test may change is removed before and after.
#ifndef TESTS_CLIENT_SHELL_INSTALLED_CLIENT_H
#define TESTS_CLIENT_SHELL_INSTALLED_CLIENT_H

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

class InstalledClientTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path in the test's folder (Windows form).
    std::string Path(const std::string &name) const;
    std::string Write(const std::string &name, const std::string &text) const;
    // The file's bytes, "<missing>" when it does not exist.
    static std::string Read(const std::string &path);

    std::string ConfigFile() const { return Path("client.cfg"); }
    std::string ApplicationFile() const { return Path("apps.cfg"); }

    static void SetNumber(const char *key, const char *name, DWORD value);
    static void SetString(const char *key, const char *name, const std::string &text);
    // "<missing>" when there is none; numbers in decimal.
    static std::string Value(const char *key, const char *name);
    // Every value of the client key as "name=value" lines, for before-and-after comparisons.
    static std::string ClientKeySnapshot();
    // The enabled flag of the listed client module of that name, -1 when there is none.
    static int ModuleEnabled(const char *name);
    // Records client plug-ins (libraries of the test program's folder, or built-in names) with
    // every module disabled but the built-in null one: authentication not chosen yet.
    static void InstallPlugIns(std::initializer_list<const char *> names);
    // The folder of the running test program, where the test plug-ins are built.
    static std::string ProgramFolder();

    std::string dir_;
};

#endif
