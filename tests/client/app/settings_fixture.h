// Real registry keys and real files for the settings tests: every key a test may touch is
// removed before and after it, and each test gets a folder of its own.
#ifndef TESTS_CLIENT_APP_SETTINGS_FIXTURE_H
#define TESTS_CLIENT_APP_SETTINGS_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SettingsTest : public ::testing::Test {
public:
    // The file's bytes, "" when it does not exist.
    static std::string Read(const std::string &path);

protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string &name) const;
    std::string Write(const std::string &name, const std::string &text) const;
    // The process log goes to a file of the test's folder until LoggedText closes it and
    // returns what was written.
    void LogToFile();
    std::string LoggedText();

    // root\path is created when missing.
    static void SetString(HKEY root, const char *path, const char *name, const std::string &text);
    static void SetNumber(HKEY root, const char *path, const char *name, DWORD value);
    // The value's raw bytes; "<missing>" when there is none.
    static std::string RawValue(HKEY root, const char *path, const char *name);
    // A string value's text. (Wine stores a terminator even when the writer gave none.)
    static std::string TextValue(HKEY root, const char *path, const char *name)
    {
        return RawValue(root, path, name).c_str();
    }

private:
    static void CleanRegistry();
    std::string dir_;
    std::vector<bool> existed_; // per key of the client key's chain
};

// Text as the files hold it: every "\n" becomes CR LF.
std::string Crlf(const std::string &text);

#endif
