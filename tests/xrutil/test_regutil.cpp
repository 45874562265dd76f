#include "nt/regutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stderr_capture.h"

namespace {

const char kTestRoot[] = "Software\\FerrowinTest";

class RegUtilTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = std::string(kTestRoot) + "\\"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        XrRegDeleteTree(HKEY_CURRENT_USER, path_.c_str(), NULL);
        ASSERT_EQ(XrLogOpen(&log_, XR_LOG_STDERR, XR_LOG_DETAIL, NULL), 0);
    }
    void TearDown() override
    {
        XrLogClose(&log_);
        XrRegDeleteTree(HKEY_CURRENT_USER, path_.c_str(), NULL);
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
    }

    void CreateKey(const std::string &below)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (path_ + below).c_str(), 0, NULL, 0,
                                  KEY_WRITE, NULL, &key, NULL), 0);
        RegCloseKey(key);
    }
    bool KeyExists(const std::string &below)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, (path_ + below).c_str(), 0, KEY_READ, &key) != 0)
            return false;
        RegCloseKey(key);
        return true;
    }
    /* The log lines written during a call, without their prefix. */
    template <typename Call> std::vector<std::string> Logged(Call call)
    {
        StderrCapture capture(folder_.File("stderr.txt"));
        call();
        std::vector<std::string> messages;
        for (const std::string &line : Lines(capture.Text()))
            messages.push_back(line.substr(line.find(": ") + 2));
        return messages;
    }
    std::vector<std::string> Failure(const char *text) { return {text + path_}; }

    std::string path_;
    XrLog *log_ = NULL;
    ScratchFolder folder_;
};

TEST_F(RegUtilTest, StringStoredWithoutTerminatorReadsBackTerminated)
{
    for (DWORD type : {REG_SZ, REG_EXPAND_SZ}) {
        HKEY key = NULL;
        ASSERT_EQ(XrRegWrite(&key, HKEY_CURRENT_USER, path_.c_str(), "Text", type, "abcdef", 6,
                             log_), 0);
        XrRegRelease(&key, NULL);
        DWORD readType = 0;
        DWORD size = 0;
        char *value = NULL;
        ASSERT_EQ(XrRegRead(HKEY_CURRENT_USER, path_.c_str(), "Text", &readType, &value, &size,
                            log_), 0);
        EXPECT_EQ(readType, type);
        EXPECT_GE(size, 6u);
        EXPECT_STREQ(value, "abcdef");
        XrRegRelease(NULL, value);
    }
}

TEST_F(RegUtilTest, KeyHandleStaysOpenAcrossWritesAndReads)
{
    HKEY key = NULL;
    DWORD number = 0x01020304;
    ASSERT_EQ(XrRegWrite(&key, HKEY_CURRENT_USER, path_.c_str(), "Number", REG_DWORD, &number,
                         sizeof number, log_), 0);
    HKEY written = key;
    ASSERT_EQ(XrRegWrite(&key, HKEY_CURRENT_USER, path_.c_str(), "Text", REG_SZ, "hello", 6,
                         log_), 0);
    EXPECT_EQ(key, written);
    XrRegRelease(&key, NULL);
    EXPECT_EQ(key, nullptr);

    char *value = NULL;
    ASSERT_EQ(XrRegReadOpen(&key, HKEY_CURRENT_USER, path_.c_str(), "Number", &value, log_), 0);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(*reinterpret_cast<DWORD *>(value), number);
    XrRegRelease(NULL, value);
    /* The open key is used; the path no longer matters. */
    ASSERT_EQ(XrRegReadOpen(&key, HKEY_CURRENT_USER, "no such key", "Text", &value, log_), 0);
    EXPECT_STREQ(value, "hello");
    XrRegRelease(&key, value);
}

TEST_F(RegUtilTest, FailedReadsAndWritesCloseTheKeyAndLogThePath)
{
    CreateKey("");
    HKEY key = NULL;
    char *value = NULL;
    EXPECT_EQ(Logged([&] {
                  EXPECT_EQ(XrRegReadOpen(&key, HKEY_CURRENT_USER, path_.c_str(), "Missing",
                                          &value, log_), -1);
              }),
              Failure("Error looking up registry entry: "));
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(Logged([&] {
                  EXPECT_EQ(XrRegRead(HKEY_CURRENT_USER, path_.c_str(), "Missing", NULL, &value,
                                      NULL, log_), -1);
              }),
              Failure("Error looking up registry entry: "));

    /* A key opened for reading refuses the write. */
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key), 0);
    EXPECT_EQ(Logged([&] {
                  EXPECT_EQ(XrRegWrite(&key, HKEY_CURRENT_USER, path_.c_str(), "Text", REG_SZ,
                                       "x", 2, log_), -1);
              }),
              Failure("Error Setting registry entry: "));
    EXPECT_EQ(key, nullptr);
}

TEST_F(RegUtilTest, FailuresAreLoggedOnlyAtDetailLevelOnAGivenHandle)
{
    XrLog *quiet = NULL;
    ASSERT_EQ(XrLogOpen(&quiet, XR_LOG_STDERR, XR_LOG_INFO, NULL), 0);
    ASSERT_EQ(XrLogOpen(XrLogProcessHandle(), XR_LOG_STDERR, XR_LOG_DETAIL, NULL), 0);
    char *value = NULL;
    EXPECT_EQ(Logged([&] {
                  XrRegRead(HKEY_CURRENT_USER, path_.c_str(), "Missing", NULL, &value, NULL,
                            quiet);
                  XrRegRead(HKEY_CURRENT_USER, path_.c_str(), "Missing", NULL, &value, NULL,
                            NULL);
              }),
              std::vector<std::string>{});
    XrLogClose(XrLogProcessHandle());
    XrLogClose(&quiet);
}

TEST_F(RegUtilTest, EnumeratingPastTheLastSubkeyReportsNoMoreItemsAndLogsIt)
{
    CreateKey("\\first");
    CreateKey("\\second");
    HKEY key = NULL;
    std::vector<std::string> names;
    LONG result = 0;
    std::vector<std::string> logged = Logged([&] {
        char name[64];
        for (DWORD index = 0; index < 10; index++) {
            result = XrRegEnumKey(&key, HKEY_CURRENT_USER, path_.c_str(), index, name,
                                  sizeof name, log_);
            if (result != 0)
                break;
            names.push_back(name);
        }
    });
    EXPECT_NE(key, nullptr);
    XrRegRelease(&key, NULL);

    EXPECT_EQ(result, ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(logged, Failure("Error enum registry entry: "));
}

TEST_F(RegUtilTest, KeyWithSubkeysSurvivesDeleteButNotTreeDelete)
{
    CreateKey("\\a\\deep\\deeper");
    CreateKey("\\a\\sibling");
    CreateKey("\\b");
    LONG result = 0;
    EXPECT_EQ(Logged([&] { result = XrRegDeleteKey(HKEY_CURRENT_USER, path_.c_str(), log_); }),
              Failure("Error delete registry entry: "));
    EXPECT_NE(result, ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists("\\a\\deep\\deeper"));

    EXPECT_EQ(XrRegDeleteTree(HKEY_CURRENT_USER, path_.c_str(), log_), 0);
    EXPECT_FALSE(KeyExists(""));
    EXPECT_EQ(XrRegDeleteTree(HKEY_CURRENT_USER, path_.c_str(), NULL), -1);
}

}  // namespace
