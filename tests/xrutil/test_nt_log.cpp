#include "nt/nt_log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "stderr_capture.h"

namespace {

const char kClientKey[] = "SOFTWARE\\Varo\\Ferrowin Client\\2.0";
const char kClient[] = "SOCKS5 QVClient";
const int32_t kAll = 255;

void SetValue(HKEY root, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, kClientKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL), 0);
    RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
}

void RemoveLogSettings()
{
    HKEY key;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (RegOpenKeyExA(root, kClientKey, 0, KEY_SET_VALUE, &key) != 0)
            continue;
        RegDeleteValueA(key, "Enable Log to File");
        RegDeleteValueA(key, "Debug Log File");
        RegCloseKey(key);
    }
    for (const char *name : {"VOLA_LOG_OUTPUT", "LOG_OUTPUT", "LOG_SIZE", "VOLA_DEBUG"})
        SetEnvironmentVariableA(name, NULL);
}

std::string Prefix(bool toFile)
{
    char prefix[64];
    snprintf(prefix, sizeof prefix, toFile ? "[%05u:%06u]: " : "%05u:%06u: ",
             (unsigned)GetCurrentProcessId(), (unsigned)GetCurrentThreadId());
    return prefix;
}

/* The messages of a log file, after checking the time stamp and prefix of every line. */
std::vector<std::string> FileMessages(const std::string &path)
{
    static const std::regex line(R"([A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d\[\d{5,}:\d{6,}\]: (.*))");
    std::vector<std::string> messages;
    for (const std::string &text : Lines(ReadText(path))) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(text, match, line)) << text;
        messages.push_back(match.size() > 1 ? match[1].str() : text);
    }
    return messages;
}

long FileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)
               ? (long)data.nFileSizeLow : -1;
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveLogSettings(); }
    void TearDown() override
    {
        for (XrLog *&log : logs_)
            XrLogClose(&log);
        XrLogClose(XrLogProcessHandle());
        RemoveLogSettings();
    }

    /* Opens a handle that the end of the test closes. */
    XrLog *Open(int32_t flags, int32_t level, const XrLogParams *params = NULL)
    {
        XrLog *log = NULL;
        EXPECT_EQ(XrLogOpen(&log, flags, level, params), 0);
        logs_.push_back(log);
        return log;
    }
    XrLog *OpenFile(const std::string &path, int32_t level, int32_t maxSizeKb, int32_t policy)
    {
        XrLogParams params{XR_LOG_VERSION, "FerrowinTest", path.c_str(), maxSizeKb, policy,
                           NULL, NULL};
        return Open(XR_LOG_FILE, level, &params);
    }
    std::string Stderr() { return folder_.File("stderr" + std::to_string(++captures_)); }

    ScratchFolder folder_;

private:
    std::vector<XrLog *> logs_;
    int captures_ = 0;
};

TEST_F(LogTest, LinesCarryProcessAndThreadPrefix)
{
    std::string path = folder_.File("log.txt");
    XrLog *file = OpenFile(path, kAll, 16, XR_LOG_POLICY_STOP);
    XrLog *errors = Open(XR_LOG_STDERR, XR_LOG_WARNING);
    StderrCapture capture(Stderr());
    XrLogWrite(errors, XR_LOG_WARNING, 0, "value %d of %s", 7, "seven");
    XrLogWrite(errors, XR_LOG_INFO, 0, "above the level");
    XrLogWrite(file, XR_LOG_DETAIL, 0, "to the file");

    EXPECT_EQ(capture.Text(), Prefix(false) + "value 7 of seven\n");
    ASSERT_EQ(FileMessages(path), std::vector<std::string>{"to the file"});
    EXPECT_EQ(Lines(ReadText(path))[0].substr(15), Prefix(true) + "to the file");
}

TEST_F(LogTest, FileTakesMessagesOnlyFromHandlesAboveLevelThreeOrAtFourForFour)
{
    const struct {
        int32_t handleLevel, messageLevel;
        bool inFile;
    } cases[] = {{3, 1, false}, {3, 3, false}, {4, 3, false}, {4, 4, true},
                 {5, 1, true},  {5, 5, true},  {5, 6, false}, {10, 10, true}};
    for (const auto &c : cases) {
        std::string path = folder_.File(std::to_string(c.handleLevel) + "-"
                                        + std::to_string(c.messageLevel));
        XrLogWrite(OpenFile(path, c.handleLevel, 16, XR_LOG_POLICY_STOP), c.messageLevel, 0, "m");
        EXPECT_EQ(FileMessages(path).size(), c.inFile ? 1u : 0u)
            << "handle level " << c.handleLevel << ", message level " << c.messageLevel;
    }
}

/* The system's text for an error, without its line break. */
std::string SystemText(DWORD error)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0,
                   text, sizeof text, NULL);
    std::string line = text;
    line.erase(line.find_last_not_of("\r\n") + 1);
    EXPECT_FALSE(line.empty()) << error;
    return line;
}

TEST_F(LogTest, PercentMBecomesTextOfTheErrorBeforeTheCallUnlessPlain)
{
    XrLog *log = Open(XR_LOG_STDERR, kAll);
    StderrCapture capture(Stderr());
    FILE *file = fopen(folder_.File("missing\\file").c_str(), "r");
    DWORD error = GetLastError();
    XrLogWrite(log, XR_LOG_ERROR, 0, "can't open %s: %m", "it");
    DWORD after = GetLastError();
    XrLogWrite(log, XR_LOG_ERROR, XR_LOG_PLAIN, "can't open %s: %m");
    SetLastError(0x2000ABCD);
    XrLogWrite(log, XR_LOG_ERROR, 0, "%m; 100%% and %%m");
    /* A system text with an insertion mark of its own keeps it. */
    SetLastError(ERROR_BAD_EXE_FORMAT);
    XrLogWrite(log, XR_LOG_ERROR, 0, "%m %s", "end");
    std::vector<std::string> lines = Lines(capture.Text());

    ASSERT_EQ(file, nullptr);
    EXPECT_EQ(after, error);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         Prefix(false) + "can't open it: " + SystemText(error),
                         Prefix(false) + "can't open %s: %m",
                         Prefix(false) + "Unknown error; 100% and %m",
                         Prefix(false) + SystemText(ERROR_BAD_EXE_FORMAT) + " end",
                     }));
}

TEST_F(LogTest, LongMessageIsCutAt2067Characters)
{
    XrLog *log = Open(XR_LOG_STDERR, kAll);
    std::string longText(3000, 'x');
    StderrCapture capture(Stderr());
    XrLogWrite(log, XR_LOG_ERROR, 0, "%s", longText.c_str());
    XrLogWrite(log, XR_LOG_ERROR, XR_LOG_PLAIN, longText.c_str());
    std::vector<std::string> lines = Lines(capture.Text());

    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 2067u);
    EXPECT_EQ(lines[1], lines[0]);
}

TEST_F(LogTest, FileAtItsLimitStopsEveryHandleUntilTheNextOpen)
{
    std::string path = folder_.File("full.txt");
    XrLog *other = Open(XR_LOG_STDERR, kAll);
    XrLog *log = OpenFile(path, kAll, 1, XR_LOG_POLICY_STOP);
    for (int i = 0; i < 50 && XrLogStarted(); i++)
        XrLogWrite(log, XR_LOG_ERROR, 0, "%s", std::string(100, 'a').c_str());
    ASSERT_FALSE(XrLogStarted());
    long stoppedSize = FileSize(path);

    StderrCapture silent(Stderr());
    XrLogWrite(other, XR_LOG_ERROR, 0, "dropped");
    XrLogWrite(log, XR_LOG_ERROR, 0, "dropped");
    EXPECT_EQ(silent.Text(), "");
    EXPECT_EQ(FileSize(path), stoppedSize);
    EXPECT_GT(stoppedSize, 1024);
    EXPECT_EQ(Lines(ReadText(path)).back(),
              "Log file " + path + " exceeds maximum size 1024 bytes--logging stopped.");

    Open(XR_LOG_STDERR, kAll);
    StderrCapture again(Stderr());
    XrLogWrite(other, XR_LOG_ERROR, 0, "back");
    EXPECT_EQ(again.Text(), Prefix(false) + "back\n");
}

TEST_F(LogTest, FileAlreadyOverItsLimitOpensWithoutLogging)
{
    std::string path = folder_.File("big.txt");
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs(std::string(2000, 'b').c_str(), file);
    fclose(file);

    StderrCapture capture(Stderr());
    XrLog *log = OpenFile(path, kAll, 1, XR_LOG_POLICY_STOP_QUIET);
    XrLogWrite(log, XR_LOG_ERROR, 0, "dropped");

    EXPECT_EQ(capture.Text(), "Log file " + path + " already exceeds maximum size 1024 bytes\n");
    EXPECT_NE(log, nullptr);
    EXPECT_FALSE(XrLogStarted());
    EXPECT_EQ(FileSize(path), 2000);
}

/* With no copies kept the full file starts again: the limit holds all the same. */
TEST_F(LogTest, ReopenPolicyShiftsFullFilesIntoKeptCopiesAndKeepsTheLimitWithoutCopies)
{
    for (int32_t copies : {2, 0}) {
        SCOPED_TRACE(copies);
        std::string path = folder_.File("rotate" + std::to_string(copies) + ".txt");
        XrLog *log = OpenFile(path, kAll, 1, XR_LOG_POLICY_REOPEN);
        log->keptCopies = copies;
        for (int i = 0; i < 100; i++)
            XrLogWrite(log, XR_LOG_ERROR, 0, "%03d %s", i, std::string(40, 'r').c_str());

        EXPECT_EQ(FileSize(path + std::to_string(copies + 1)), -1);
        std::vector<std::string> all;
        for (int32_t i = copies; i >= 0; i--) {
            std::string name = i > 0 ? path + std::to_string(i) : path;
            std::vector<std::string> messages = FileMessages(name);
            ASSERT_FALSE(messages.empty()) << name;
            EXPECT_LT(FileSize(name), 1024 + 100) << name;
            all.insert(all.end(), messages.begin(), messages.end());
        }
        /* Oldest lines in the highest number, no line lost between the files. */
        for (size_t i = 0; i < all.size(); i++)
            EXPECT_EQ(std::stoi(all[i]), 100 - (int)all.size() + (int)i) << all[i];
    }
}

TEST_F(LogTest, NullHandleWritesToTheProcessLogButProcessWritesNeedAHandle)
{
    XrLog *log = Open(XR_LOG_STDERR, XR_LOG_INFO);
    ASSERT_EQ(XrLogOpen(XrLogProcessHandle(), XR_LOG_STDERR, XR_LOG_INFO, NULL), 0);
    StderrCapture capture(Stderr());
    SetLastError(1234);
    XrLogWrite(NULL, XR_LOG_INFO, 0, "to the process log");
    XrLogWrite(NULL, XR_LOG_DETAIL, 0, "above its level");
    XrLogProcess(NULL, XR_LOG_ERROR, 0, "no handle");
    XrLogProcess(log, XR_LOG_DETAIL, 0, "above its level");
    XrLogProcess(log, XR_LOG_INFO, 0, "process write %d", 3);
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(capture.Text(), Prefix(false) + "to the process log\n" + Prefix(false)
                                  + "process write 3\n");

    EXPECT_EQ(XrLogClose(XrLogProcessHandle()), 0);
    EXPECT_EQ(*XrLogProcessHandle(), nullptr);
    EXPECT_FALSE(XrLogStarted());
    EXPECT_EQ(XrLogClose(XrLogProcessHandle()), -1);
}

TEST_F(LogTest, SeveralThreadsKeepWholeLines)
{
    std::string path = folder_.File("threads.txt");
    XrLog *log = OpenFile(path, kAll, 1024, XR_LOG_POLICY_STOP);
    std::vector<std::thread> threads;
    for (char c = 'a'; c < 'e'; c++)
        threads.emplace_back([log, c] {
            for (int i = 0; i < 50; i++)
                XrLogWrite(log, XR_LOG_ERROR, 0, "%s", std::string(200, c).c_str());
        });
    for (std::thread &thread : threads)
        thread.join();

    std::vector<std::string> messages = FileMessages(path);
    EXPECT_EQ(messages.size(), 200u);
    for (const std::string &message : messages)
        EXPECT_EQ(message, std::string(200, message[0]));
}

/* Threads open, write and close handles of their own and share the process handle, all at
 * once. Every close stops logging until the next open, so messages may be dropped meanwhile;
 * but each line that lands is whole, every handle opened is closed again, and a handle opened
 * afterwards writes. */
TEST_F(LogTest, ThreadsOpeningWritingAndClosingAtOnceKeepLinesWholeAndCloseEveryHandle)
{
    std::string path = folder_.File("shared.txt");
    const int kThreads = 8, kRounds = 150;
    XrLogParams params{XR_LOG_VERSION, "FerrowinTest", path.c_str(), 4096, XR_LOG_POLICY_STOP,
                       NULL, NULL};
    /* Released together, so that the threads overlap from their first round on. */
    HANDLE start = CreateEventA(NULL, TRUE, FALSE, NULL);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++)
        threads.emplace_back([&params, start, t] {
            std::string text(20 + 15 * t, char('a' + t));
            WaitForSingleObject(start, 10000);
            for (int round = 0; round < kRounds; round++) {
                XrLog *own = NULL;
                XrLogOpen(&own, XR_LOG_FILE, kAll, &params);
                /* Taken by one thread at a time: the others' opens see it held. */
                XrLogOpen(XrLogProcessHandle(), XR_LOG_FILE, kAll, &params);
                for (int i = 0; i < 2; i++) {
                    XrLogWrite(own, XR_LOG_ERROR, 0, "%d %s", t, text.c_str());
                    XrLogWrite(NULL, XR_LOG_ERROR, 0, "%d %s", t, text.c_str());
                }
                XrLogClose(&own);
                XrLogClose(XrLogProcessHandle());
            }
        });
    SetEvent(start);
    for (std::thread &thread : threads)
        thread.join();
    CloseHandle(start);

    for (const std::string &message : FileMessages(path)) {
        int t = message[0] - '0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << message;
        EXPECT_EQ(message, std::to_string(t) + " " + std::string(20 + 15 * t, char('a' + t)));
    }
    XrLog *after = NULL;
    ASSERT_EQ(XrLogOpen(&after, XR_LOG_FILE, kAll, &params), 0);
    XrLogWrite(after, XR_LOG_ERROR, 0, "afterwards");
    XrLogClose(&after);
    EXPECT_EQ(FileMessages(path).back(), "afterwards");
    /* No handle was lost on the way: none holds the file open any more. */
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

/* The handle keeps 259 characters of a path. A longer one, given or derived, is refused with a
 * line on standard error; no file of the cut name appears. */
TEST_F(LogTest, LogFilePathLongerThanTheHandleKeepsIsRefused)
{
    enum Source { kGiven, kEnvironment, kRegistry };
    const struct {
        Source source;
        size_t length;
    } cases[] = {{kGiven, 260}, {kEnvironment, 300}, {kRegistry, 400}, {kGiven, 259}};
    std::string folder = folder_.File("");
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.source) + ": " + std::to_string(c.length));
        RemoveLogSettings();
        std::string path = folder + std::to_string(&c - cases)
                           + std::string(c.length - folder.size() - 1, 'p');
        XrLogParams params{XR_LOG_VERSION, "SOCKS5 SDK", NULL, 0, 0, NULL, NULL};
        int32_t flags = -1, level = -1;
        if (c.source == kGiven) {
            params = {XR_LOG_VERSION, "FerrowinTest", path.c_str(), 16, XR_LOG_POLICY_STOP,
                      NULL, NULL};
            flags = XR_LOG_FILE;
            level = kAll;
        } else if (c.source == kEnvironment) {
            SetEnvironmentVariableA("LOG_OUTPUT", path.c_str());
        } else {
            params.programName = kClient;
            SetValue(HKEY_CURRENT_USER, "Debug Log File", REG_SZ, path.c_str(),
                     (DWORD)path.size() + 1);
        }
        XrLog *log = NULL;
        StderrCapture capture(Stderr());
        int opened = XrLogOpen(&log, flags, level, &params);
        XrLogWrite(log, XR_LOG_ERROR, 0, "written");
        std::string errors = capture.Text();
        XrLogClose(&log);

        ASSERT_EQ(path.size(), c.length);
        if (c.length < 260) {
            EXPECT_EQ(opened, 0);
            EXPECT_EQ(errors, "");
            EXPECT_EQ(FileMessages(path), std::vector<std::string>{"written"});
        } else {
            EXPECT_EQ(opened, -1);
            EXPECT_EQ(log, nullptr);
            EXPECT_EQ(errors, "Log file path longer than 259 characters: " + path + "\n");
            EXPECT_EQ(FileSize(path.substr(0, 259)), -1);
        }
    }
    RemoveLogSettings();
}

TEST_F(LogTest, OpenRefusesInconsistentParameters)
{
    std::string path = folder_.File("never.txt");
    const struct {
        int32_t flags;
        XrLogParams params;
    } cases[] = {
        {XR_LOG_STDERR, {2, "FerrowinTest", NULL, 0, 0, NULL, NULL}},
        {XR_LOG_FILE, {3, "FerrowinTest", NULL, 16, 1, NULL, NULL}},
        {XR_LOG_EVENTLOG, {3, NULL, NULL, 0, 0, NULL, NULL}},
        {XR_LOG_STDERR, {3, "FerrowinTest", NULL, 16, 0, NULL, NULL}},
        {XR_LOG_STDERR, {3, "FerrowinTest", NULL, -1, 1, NULL, NULL}},
        {XR_LOG_FILE, {3, "FerrowinTest", path.c_str(), 16, 4, NULL, NULL}},
    };
    for (const auto &c : cases) {
        XrLog *log = NULL;
        EXPECT_EQ(XrLogOpen(&log, c.flags, kAll, &c.params), -1) << &c - cases;
        EXPECT_EQ(log, nullptr);
    }
    EXPECT_EQ(XrLogOpen(NULL, XR_LOG_STDERR, kAll, NULL), -1);
    XrLog *log = Open(XR_LOG_STDERR, kAll);
    EXPECT_EQ(XrLogOpen(&log, XR_LOG_STDERR, kAll, NULL), -1);
}

/* The client program consults the environment only when its registry leaves the outputs
 * unset, that is when "Enable Log to File" is 0 there. */
TEST_F(LogTest, OutputsAndLevelDeriveFromRegistryThenEnvironment)
{
    const DWORD off = 0, on = 1;
    const struct {
        const char *program;
        const DWORD *userEnable, *machineEnable;
        bool logFile;
        const char *variable, *output, *logSize, *debug;
        int32_t flags, level, maxSize;
    } cases[] = {
        {kClient, &off, &on, true, NULL, NULL, NULL, NULL, 0, 0, 0},
        {kClient, NULL, NULL, false, NULL, NULL, NULL, NULL, XR_LOG_STDERR, kAll, 0},
        {"socks5 qvclient", NULL, &on, true, "VOLA_LOG_OUTPUT", "stderr", NULL, "1", XR_LOG_FILE,
         kAll, 16384 * 1024},
        {kClient, &off, NULL, false, "VOLA_LOG_OUTPUT", "STDERR", NULL, "7", XR_LOG_STDERR, 7, 0},
        {kClient, &off, NULL, false, "VOLA_LOG_OUTPUT", "", NULL, NULL, XR_LOG_FILE, kAll,
         16384 * 1024},
        {kClient, &off, NULL, false, "VOLA_LOG_OUTPUT", "", "2", NULL, XR_LOG_FILE, kAll, 2097152},
        {"SOCKS5 SDK", NULL, NULL, false, "LOG_OUTPUT", "Stderr", NULL, "7", XR_LOG_STDERR, kAll, 0},
        {"socks5 sdk", NULL, NULL, false, "LOG_OUTPUT", "", "3", NULL, XR_LOG_FILE, kAll, 3145728},
        {"Some Plug-in", NULL, NULL, false, "LOG_OUTPUT", "stderr", NULL, NULL, 0, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        RemoveLogSettings();
        std::string path = folder_.File("derived" + std::to_string(&c - cases));
        if (c.userEnable)
            SetValue(HKEY_CURRENT_USER, "Enable Log to File", REG_DWORD, c.userEnable, 4);
        if (c.machineEnable)
            SetValue(HKEY_LOCAL_MACHINE, "Enable Log to File", REG_DWORD, c.machineEnable, 4);
        if (c.logFile)
            SetValue(HKEY_LOCAL_MACHINE, "Debug Log File", REG_SZ, path.c_str(),
                     (DWORD)path.size() + 1);
        if (c.variable)
            SetEnvironmentVariableA(c.variable, c.output[0] ? c.output : path.c_str());
        SetEnvironmentVariableA("LOG_SIZE", c.logSize);
        SetEnvironmentVariableA("VOLA_DEBUG", c.debug);
        XrLogParams params{XR_LOG_VERSION, c.program, NULL, 0, 0, NULL, NULL};
        XrLog *log = NULL;
        ASSERT_EQ(XrLogOpen(&log, -1, -1, &params), 0);
        EXPECT_EQ(log->flags, c.flags);
        EXPECT_EQ(log->level, c.level);
        EXPECT_EQ(XrLogStarted(), c.flags != 0);
        if (c.flags == XR_LOG_FILE) {
            EXPECT_STREQ(log->filePath, path.c_str());
            EXPECT_EQ(log->maxSize, c.maxSize);
            EXPECT_EQ(log->sizePolicy, XR_LOG_POLICY_STOP_QUIET);
        }
        XrLogWrite(log, XR_LOG_DETAIL, 0, "derived");
        XrLogClose(&log);
        EXPECT_EQ(FileMessages(path).size(), c.flags == XR_LOG_FILE ? 1u : 0u);
    }
}

}  // namespace
