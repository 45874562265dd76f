#include "ws2log.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <memory>
#include <thread>

#include "regnames.h"
#include "support.h"

namespace {

std::string ThreadLine(DWORD thread, const char *text)
{
    char id[16];
    snprintf(id, sizeof id, "%lx ", thread);
    return id + std::string(text);
}

/* What the log writes before the first line of a thread, thread id included. */
std::string ThreadStart(DWORD thread)
{
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    return std::string("\n(") + exe + ")\n" + ThreadLine(thread, "");
}

/* Each test starts with no settings, in a fresh current directory, with the log's lock. */
class Ws2Log : public ::testing::Test {
  protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof m_savedDir, m_savedDir);
        SetCurrentDirectoryA(m_dir.Path().c_str());
        XrWs2LogLockCreate();
    }

    void TearDown() override
    {
        XrWs2LogLockDelete();
        SetCurrentDirectoryA(m_savedDir);
    }

    std::string DefaultLog() const { return m_dir.File("ws2.log"); }

    TempDir m_dir;
    ScopedEnv m_noEnvironment{"WINSOCK_DEBUG", nullptr};
    char m_savedDir[MAX_PATH];
};

TEST_F(Ws2Log, NoSettingsLeaveTracingOffAndCreateNoFile)
{
    EXPECT_EQ(XrWs2LogInit(), 0);
    XrWs2Log(1, "not written\n");
    EXPECT_FALSE(FileExists(DefaultLog()));
}

struct LevelCase {
    const char *name;
    bool hasRegistryValue;
    DWORD registryValue;
    const char *environment;
    int level;
};

class Ws2LogLevel : public Ws2Log, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(Ws2LogLevel, ComesFromRegistryFirstByteOrEnvironmentCutToEightBits)
{
    const LevelCase &c = GetParam();
    ScopedEnv environment("WINSOCK_DEBUG", c.environment);
    std::unique_ptr<ScopedRegValue> value;
    if (c.hasRegistryValue)
        value.reset(new ScopedRegValue(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_WS2LOG_LEVEL,
                                       c.registryValue));
    EXPECT_EQ(XrWs2LogInit(), c.level);
    EXPECT_EQ(FileExists(DefaultLog()), c.level > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, Ws2LogLevel,
    ::testing::Values(LevelCase{"Environment3", false, 0, "3", 3},
                      LevelCase{"Environment200IsNegative", false, 0, "200", 0},
                      LevelCase{"Environment258IsTwo", false, 0, "258", 2},
                      LevelCase{"EnvironmentNotANumber", false, 0, "high", 0},
                      LevelCase{"RegistryWinsWhenAboveZero", true, 2, "5", 2},
                      LevelCase{"RegistryZeroFallsBackToEnvironment", true, 0, "3", 3},
                      LevelCase{"RegistryLowByteOnly", true, 0x104, nullptr, 4},
                      LevelCase{"RegistryNegativeByteWithoutEnvironment", true, 0x1C8, nullptr, 0}),
    [](const ::testing::TestParamInfo<LevelCase> &info) { return info.param.name; });

struct HeaderCase {
    const char *level;
    const char *header;
};

class Ws2LogHeader : public Ws2Log, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(Ws2LogHeader, NamesTheLevelUpToThree)
{
    ScopedEnv environment("WINSOCK_DEBUG", GetParam().level);
    XrWs2LogInit();
    EXPECT_EQ(ReadText(DefaultLog()), GetParam().header);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, Ws2LogHeader,
    ::testing::Values(HeaderCase{"1", "Logging level 1 -- Product test log\n"},
                      HeaderCase{"2", "Logging level 2 -- WSPxxx calls\n"},
                      HeaderCase{"3", "Logging level 3 -- WSPxxx and SPxxx calls\n"},
                      HeaderCase{"7", "Logging level 7 -- "}));

TEST_F(Ws2Log, LevelTwoDropsLevelThreeLines)
{
    ScopedEnv environment("WINSOCK_DEBUG", "2");
    ASSERT_EQ(XrWs2LogInit(), 2);
    XrWs2Log(1, "one %d\n", 1);
    XrWs2Log(3, "three\n");
    XrWs2Log(2, "two %s\n", "too");
    DWORD self = GetCurrentThreadId();
    EXPECT_EQ(ReadText(DefaultLog()), "Logging level 2 -- WSPxxx calls\n" + ThreadStart(self) +
                                          "one 1\n" + ThreadLine(self, "two too\n"));
}

TEST_F(Ws2Log, NewThreadsFirstLineStartsWithBlankLineAndProgramPath)
{
    ScopedEnv environment("WINSOCK_DEBUG", "1");
    ASSERT_EQ(XrWs2LogInit(), 1);
    XrWs2Log(1, "main\n");
    DWORD other = 0;
    std::thread worker([&other] {
        other = GetCurrentThreadId();
        XrWs2Log(1, "worker\n");
        XrWs2Log(1, "worker again\n");
    });
    worker.join();
    XrWs2Log(1, "main again\n");
    DWORD self = GetCurrentThreadId();
    EXPECT_EQ(ReadText(DefaultLog()),
              "Logging level 1 -- Product test log\n" + ThreadStart(self) + "main\n" +
                  ThreadStart(other) + "worker\n" + ThreadLine(other, "worker again\n") +
                  ThreadStart(self) + "main again\n");
}

TEST_F(Ws2Log, RegistryFileValueReplacesDefaultPath)
{
    TempDir elsewhere;
    std::string path = elsewhere.File("trace.log");
    ScopedRegValue file(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_WS2LOG_FILE, path.c_str());
    ScopedEnv environment("WINSOCK_DEBUG", "3");
    ASSERT_EQ(XrWs2LogInit(), 3);
    EXPECT_EQ(ReadText(path), "Logging level 3 -- WSPxxx and SPxxx calls\n");
    EXPECT_FALSE(FileExists(DefaultLog()));
}

TEST_F(Ws2Log, PathThatCannotBeOpenedAtStartLeavesTracingOff)
{
    std::string path = m_dir.File("missing\\trace.log");
    ScopedRegValue file(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_WS2LOG_FILE, path.c_str());
    ScopedEnv environment("WINSOCK_DEBUG", "3");
    EXPECT_EQ(XrWs2LogInit(), 0);
}

TEST_F(Ws2Log, FileThatCannotBeOpenedSwitchesTracingOffForGood)
{
    ScopedEnv environment("WINSOCK_DEBUG", "1");
    ASSERT_EQ(XrWs2LogInit(), 1);
    HANDLE locked = CreateFileA(DefaultLog().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    XrWs2Log(1, "lost\n");
    CloseHandle(locked);
    XrWs2Log(1, "after\n");
    EXPECT_EQ(XrWs2LogInit(), 0);
    EXPECT_EQ(ReadText(DefaultLog()), "Logging level 1 -- Product test log\n");
}

TEST_F(Ws2Log, SocketErrorIsTheSameAfterALine)
{
    ScopedEnv environment("WINSOCK_DEBUG", "1");
    ASSERT_EQ(XrWs2LogInit(), 1);
    WSASetLastError(WSAECONNRESET);
    XrWs2Log(1, "line\n");
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
}

} // namespace
