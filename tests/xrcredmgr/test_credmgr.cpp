/* The credential manager as a process: started with CreateProcess, watched through its window,
 * the credential cache stand-in's journal, its standard output and the catalog file hook. */
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "ProviderInstaller.h"
#include "regnames.h"
#include "support.h"

namespace {

#define INIT_LINE "XrCC_Init 1 0x80000001 Software\\Varo\\SOCKS5 Credentials\\3.0\n"
const char kJournalStart[] = INIT_LINE "XrCC_Open 1\n";
const char kJournalWhole[] = INIT_LINE "XrCC_Open 1\nXrCC_Close\nXrCC_Exit\n";
const DWORD kWaitMs = 20000;

std::string ProgramDir()
{
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    return std::filesystem::path(exe).parent_path().string() + "\\";
}

/* One manager process started by a test; ended by its handle if it is still running at the
 * end. Its standard output goes to a file, its current directory is that file's. */
class Manager {
public:
    Manager(const std::string &exe, const char *arguments, const std::string &output)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        std::string commandLine = "\"" + exe + "\"" + (arguments ? std::string(" ") + arguments : "");
        std::string dir = std::filesystem::path(output).parent_path().string();
        m_started = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                   dir.c_str(), &startup, &m_process) != 0;
        CloseHandle(out);
    }
    ~Manager()
    {
        if (!m_started)
            return;
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.hProcess, 1);
            WaitForSingleObject(m_process.hProcess, kWaitMs);
        }
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    Manager(const Manager &) = delete;
    Manager &operator=(const Manager &) = delete;

    /* True when the process ended within the time. */
    bool Ended(DWORD ms = kWaitMs) const
    {
        return m_started && WaitForSingleObject(m_process.hProcess, ms) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION m_process = {};
    bool m_started = false;
};

/* Sends a message to the manager's window and waits for its answer. */
bool Send(HWND window, UINT message, DWORD_PTR *answer = nullptr)
{
    DWORD_PTR ignored;
    return SendMessageTimeoutA(window, message, 0, 0, SMTO_ABORTIFHUNG, kWaitMs,
                               answer ? answer : &ignored) != 0;
}

/* The manager's window once its start-up is over (it answers messages), or null. */
HWND ManagerWindow()
{
    for (int attempt = 0; attempt < 400; attempt++) {
        HWND window = FindWindowA("xrcredmgr", nullptr);
        if (window && Send(window, WM_NULL))
            return window;
        Sleep(50);
    }
    return nullptr;
}

/* Process tests share the manager's mutex and window class, so they take turns across test
 * processes. Each one gets a catalog file with a TCP/IP stack's base entries, a journal and
 * an output file, and leaves the environment and the registry as it found them. */
class ManagerProcess : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_turn = CreateMutexA(nullptr, FALSE, "ferrowin-xrcredmgr-process-tests");
        ASSERT_EQ(WaitForSingleObject(m_turn, 100000), WAIT_OBJECT_0);
        m_hasTurn = true;
        ASSERT_EQ(FindWindowA("xrcredmgr", nullptr), nullptr) << "a manager is running already";
        MemoryCatalog catalog(CatalogFile().c_str());
        AddTcpIpBases(catalog);
    }

    void TearDown() override
    {
        if (m_hasTurn)
            ReleaseMutex(m_turn);
        CloseHandle(m_turn);
    }

    std::string CatalogFile() const { return m_dir.File("catalog.bin"); }
    std::string Journal() const { return ReadText(m_dir.File("journal.txt")); }
    std::string Output(const char *name = "out.txt") const { return ReadText(m_dir.File(name)); }
    std::unique_ptr<Manager> Start(const char *arguments = nullptr, const char *output = "out.txt",
                                   const std::string &exe = ProgramDir() + "xrcredmgr.exe")
    {
        return std::unique_ptr<Manager>(new Manager(exe, arguments, m_dir.File(output)));
    }
    /* The layered provider as a logon would have left it, installed from the program's dir;
     * failingCall: the number of the installation call that fails, -1 for none. */
    void InstallProvider(const std::string &library, int failingCall = -1)
    {
        MemoryCatalog catalog(CatalogFile().c_str());
        if (failingCall >= 0)
            catalog.FailCall(WscCall::InstallProvider, failingCall, WSANO_RECOVERY);
        WscCatalogUse(&catalog);
        {
            CatalogRun run;
            ::testing::internal::CaptureStdout();
            InstallProviders("Varo Ferrowin ", "spi", library.c_str());
            ::testing::internal::GetCapturedStdout();
        }
        WscCatalogUse(nullptr);
    }
    std::vector<WSAPROTOCOL_INFOW> Catalog() const
    {
        MemoryCatalog catalog(CatalogFile().c_str());
        return CatalogEntries(catalog);
    }
    void StopManager()
    {
        std::unique_ptr<Manager> stop = Start("/stop", "stop.txt");
        EXPECT_TRUE(stop->Ended());
    }

    HANDLE m_turn = nullptr;
    bool m_hasTurn = false;
    TempDir m_dir;
    ScopedEnv m_journal{"XRCRED_JOURNAL", m_dir.File("journal.txt").c_str()};
    ScopedEnv m_catalogHook{"XRCREDMGR_CATALOG", m_dir.File("catalog.bin").c_str()};
    ScopedEnv m_noFailure{"XRCRED_FAIL", nullptr};
    ScopedEnv m_noTrace{"WINSOCK_DEBUG", nullptr};
    KeyTrail m_credentialKeys{HKEY_CURRENT_USER, XR_CREDENTIALS_KEY};
};

std::vector<std::string> Names(const std::vector<WSAPROTOCOL_INFOW> &entries)
{
    std::vector<std::string> names;
    for (const WSAPROTOCOL_INFOW &entry : entries)
        names.push_back(EntryName(entry));
    return names;
}

const std::vector<std::string> kBaseNames = {"Tcpip [TCP/IP]", "Tcpip [UDP/IP]", "Tcpip [TCP/IPv6]"};
const std::vector<std::string> kInstalledNames = {
    "Varo Ferrowin Tcpip [TCP/IP]", "Varo Ferrowin Tcpip [UDP/IP]", "Tcpip [TCP/IP]",
    "Tcpip [UDP/IP]", "Tcpip [TCP/IPv6]", "Varo Ferrowin Layered Service Provider"};

TEST_F(ManagerProcess, SecondStartEndsAtOnceAndLeavesTheFirstRunning)
{
    std::unique_ptr<Manager> first = Start();
    ASSERT_NE(ManagerWindow(), nullptr);
    std::unique_ptr<Manager> second = Start(nullptr, "second.txt");
    ASSERT_TRUE(second->Ended());
    EXPECT_EQ(second->ExitCode(), 0u);
    EXPECT_FALSE(first->Ended(0));
    EXPECT_EQ(Journal(), kJournalStart) << "the second copy never reached the cache";
    StopManager();
    EXPECT_TRUE(first->Ended());
}

class ManagerStop : public ManagerProcess, public ::testing::WithParamInterface<const char *> {};

TEST_P(ManagerStop, EndsTheRunningCopyWithoutTheShutdownSequence)
{
    InstallProvider(ProgramDir() + "xrspi.dll");
    std::string catalogBefore = ReadBytes(CatalogFile());
    std::unique_ptr<Manager> running = Start();
    ASSERT_NE(ManagerWindow(), nullptr);
    std::unique_ptr<Manager> stop = Start(GetParam(), "stop.txt");
    ASSERT_TRUE(stop->Ended());
    EXPECT_EQ(stop->ExitCode(), 0u);
    ASSERT_TRUE(running->Ended());
    EXPECT_EQ(running->ExitCode(), 0u);
    EXPECT_EQ(Journal(), kJournalStart);
    EXPECT_EQ(Output(), "");
    EXPECT_EQ(ReadBytes(CatalogFile()), catalogBefore);
}

INSTANTIATE_TEST_SUITE_P(AnyCase, ManagerStop, ::testing::Values("/stop", "/STOP", "/sToP"));

TEST_F(ManagerProcess, StopWithoutARunningCopyDoesNothing)
{
    std::unique_ptr<Manager> stop = Start("/stop");
    ASSERT_TRUE(stop->Ended());
    EXPECT_EQ(stop->ExitCode(), 0u);
    EXPECT_EQ(Journal(), "");
}

TEST_F(ManagerProcess, StopFollowedByMoreTextStartsAManager)
{
    std::unique_ptr<Manager> manager = Start("/stop now");
    ASSERT_NE(ManagerWindow(), nullptr);
    EXPECT_FALSE(manager->Ended(0));
    EXPECT_EQ(Journal(), kJournalStart);
    StopManager();
    EXPECT_TRUE(manager->Ended());
}

class ManagerShutdown : public ManagerProcess, public ::testing::WithParamInterface<UINT> {};

TEST_P(ManagerShutdown, ReinstallsTheProviderClosesTheCacheAndEnds)
{
    std::string library = ProgramDir() + "xrspi.dll";
    InstallProvider(library);
    std::vector<WSAPROTOCOL_INFOW> before = Catalog();
    std::unique_ptr<Manager> manager = Start();
    HWND window = ManagerWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));

    DWORD_PTR answer = 0;
    ASSERT_TRUE(Send(window, GetParam(), &answer));
    if (GetParam() == WM_QUERYENDSESSION) {
        EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "the session may end";
    }
    ASSERT_TRUE(manager->Ended());
    EXPECT_EQ(manager->ExitCode(), 0u);
    EXPECT_EQ(Journal(), kJournalWhole);
    EXPECT_EQ(Output(), std::string(kRemoveOutput) + kInstallOutput);

    std::vector<WSAPROTOCOL_INFOW> after = Catalog();
    ASSERT_EQ(Names(after), kInstalledNames);
    for (int i = 0; i < 2; i++) {
        EXPECT_FALSE(IsEqualGUID(after[i].ProviderId, before[i].ProviderId)) << "a new chain";
        EXPECT_EQ(after[i].ProtocolChain.ChainEntries[0], after[5].dwCatalogEntryId);
    }
    EXPECT_NE(after[5].dwCatalogEntryId, before[5].dwCatalogEntryId) << "a new layered entry";
}

INSTANTIATE_TEST_SUITE_P(Messages, ManagerShutdown,
                         ::testing::Values(WM_QUERYENDSESSION, static_cast<UINT>(WM_QUIT)),
                         [](const ::testing::TestParamInfo<UINT> &info) {
                             return info.param == WM_QUIT ? "Quit" : "QueryEndSession";
                         });

TEST_F(ManagerProcess, ShutdownHealsALayeredEntryLeftWithoutChains)
{
    InstallProvider(ProgramDir() + "xrspi.dll", 1);
    std::vector<std::string> layeredOnly = kBaseNames;
    layeredOnly.push_back("Varo Ferrowin Layered Service Provider");
    ASSERT_EQ(Names(Catalog()), layeredOnly) << "the first chain failed";
    std::unique_ptr<Manager> manager = Start();
    HWND window = ManagerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Send(window, WM_QUERYENDSESSION));
    ASSERT_TRUE(manager->Ended());
    EXPECT_EQ(Output(), "Removing Layered provider: Varo Ferrowin Layered Service Provider\n" +
                            std::string(kInstallOutput));
    EXPECT_EQ(Names(Catalog()), kInstalledNames);
}

TEST_F(ManagerProcess, TestModeShowsTheWindowInstallsAtStartAndRemovesAtTheEnd)
{
    ScopedRegValue testMode(HKEY_LOCAL_MACHINE, XR_TESTING_KEY, XR_TESTING_VALUE, 1);
    std::unique_ptr<Manager> manager = Start();
    HWND window = ManagerWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(Names(Catalog()), kInstalledNames);
    EXPECT_EQ(Output(), kInstallOutput);

    ASSERT_TRUE(Send(window, WM_QUERYENDSESSION));
    ASSERT_TRUE(manager->Ended());
    EXPECT_EQ(Journal(), kJournalWhole);
    EXPECT_EQ(Output(), std::string(kInstallOutput) + kRemoveOutput);
    EXPECT_EQ(Names(Catalog()), kBaseNames);
}

TEST_F(ManagerProcess, ClosingTheVisibleWindowDoesNotEndTheProcess)
{
    ScopedRegValue testMode(HKEY_LOCAL_MACHINE, XR_TESTING_KEY, XR_TESTING_VALUE, 1);
    std::unique_ptr<Manager> manager = Start();
    HWND window = ManagerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Send(window, WM_CLOSE));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(manager->Ended(500));
    EXPECT_EQ(Journal(), kJournalStart);
}

struct PathCase {
    const char *name;
    size_t dirLength; /* of the program's directory, without the drive */
    bool providerWork;
};

class ManagerPath : public ManagerProcess, public ::testing::WithParamInterface<PathCase> {};

TEST_P(ManagerPath, TooLongForTheLibraryPathSkipsAllProviderWork)
{
    /* The lengths of "xrspi.dll", the directory and the program path must stay under 260. */
    std::string dir = m_dir.Path() + "deep\\";
    size_t fixed = dir.size() - 2 + 1;
    ASSERT_LT(fixed, GetParam().dirLength);
    dir += std::string(GetParam().dirLength - fixed, 'd') + "\\";
    ASSERT_EQ(dir.size() - 2, GetParam().dirLength);
    std::filesystem::create_directories(dir);
    for (const char *file : {"xrcredmgr.exe", "xrcred.dll"}) {
        ASSERT_TRUE(CopyFileA((ProgramDir() + file).c_str(), (dir + file).c_str(), FALSE));
    }

    InstallProvider(dir + "xrspi.dll");
    std::string catalogBefore = ReadBytes(CatalogFile());
    std::unique_ptr<Manager> manager = Start(nullptr, "out.txt", dir + "xrcredmgr.exe");
    HWND window = ManagerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Send(window, WM_QUERYENDSESSION));
    ASSERT_TRUE(manager->Ended());
    EXPECT_EQ(Journal(), kJournalWhole);
    if (GetParam().providerWork) {
        EXPECT_EQ(Output(), std::string(kRemoveOutput) + kInstallOutput);
        EXPECT_NE(ReadBytes(CatalogFile()), catalogBefore);
    } else {
        EXPECT_EQ(Output(), "");
        EXPECT_EQ(ReadBytes(CatalogFile()), catalogBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ManagerPath,
                         ::testing::Values(PathCase{"JustFits", 117, true},
                                           PathCase{"OneTooLong", 118, false}),
                         [](const ::testing::TestParamInfo<PathCase> &info) {
                             return info.param.name;
                         });

struct CacheFailureCase {
    const char *name;
    const char *fail;
    const char *journal;
};

class ManagerCacheFailure : public ManagerProcess,
                            public ::testing::WithParamInterface<CacheFailureCase> {};

TEST_P(ManagerCacheFailure, RunsTheShutdownSequenceOnceAndEnds)
{
    ScopedEnv fail("XRCRED_FAIL", GetParam().fail);
    std::unique_ptr<Manager> manager = Start();
    ASSERT_TRUE(manager->Ended());
    EXPECT_EQ(manager->ExitCode(), 0u);
    EXPECT_EQ(Journal(), GetParam().journal);
    EXPECT_EQ(Output(), "Failed to locate Layered Provider for chain info: "
                        "c07615a0-c5ba-11d1-8063-006008317cef\n"
                        "Some protocol chain failed to be removed, removed count. 0\n" +
                            std::string(kInstallOutput));
    EXPECT_EQ(Names(Catalog()), kInstalledNames);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, ManagerCacheFailure,
    ::testing::Values(
        CacheFailureCase{"Init", "init", INIT_LINE "XrCC_Close\nXrCC_Exit\n"},
        CacheFailureCase{"Open", "open", INIT_LINE "XrCC_Open 1\nXrCC_Close\nXrCC_Exit\n"}),
    [](const ::testing::TestParamInfo<CacheFailureCase> &info) { return info.param.name; });

} // namespace
