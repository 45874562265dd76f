// xrdetect.exe end to end: the real program against a responder on loopback, its output, exit
// code and the registry value it stores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "detect_responder.h"

namespace {

const char kClientKey[] = "SOFTWARE\\Varo\\Ferrowin Client\\2.0";

struct Outcome {
    DWORD exitCode;
    std::string output;  // standard output and standard error together
};

std::string ProgramPath()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string own(path, length);
    return own.substr(0, own.find_last_of('\\') + 1) + "xrdetect.exe";
}

Outcome RunXrdetect(const std::string &arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string commandLine = "\"" + ProgramPath() + "\" " + arguments;
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    PROCESS_INFORMATION process = {};
    Outcome outcome = {DWORD(-1), ""};
    BOOL started = CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
    CloseHandle(writeEnd);
    EXPECT_TRUE(started) << commandLine;
    if (started) {
        char buffer[1024];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            outcome.output.append(buffer, got);
        EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
        GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return outcome;
}

// "Server" of the client key, or "<none>".
std::string StoredServer()
{
    char value[256] = {};
    DWORD size = sizeof value - 1;
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClientKey, 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueExA(key, "Server", nullptr, nullptr,
                                  reinterpret_cast<BYTE *>(value), &size);
        RegCloseKey(key);
    }
    return status == ERROR_SUCCESS ? std::string(value) : std::string("<none>");
}

void SetStoredServer(const std::string &server)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kClientKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    if (server == "<none>")
        RegDeleteValueA(key, "Server");
    else
        RegSetValueExA(key, "Server", 0, REG_SZ, reinterpret_cast<const BYTE *>(server.c_str()),
                       DWORD(server.size() + 1));
    RegCloseKey(key);
}

const char kSearching[] =
    "============================================\n"
    "Searching for Ferrowin server. Please wait...\n";

class XrdetectTest : public testing::Test {
protected:
    void SetUp() override
    {
        WSAStartup(MAKEWORD(2, 2), &winsock_);
        saved_ = StoredServer();
        SetStoredServer("sentinel:1");
    }
    void TearDown() override
    {
        responder_.Stop();
        SetStoredServer(saved_);
        WSACleanup();
    }

    std::string StartResponder(ResponderMode mode)
    {
        ResponderOptions options;
        options.mode = mode;
        EXPECT_EQ(responder_.Start(options), 0);
        return "--address 127.0.0.1 --port " + std::to_string(responder_.Port()) + " --timeout 1";
    }

    WSADATA winsock_;
    std::string saved_;
    DetectResponder responder_;
};

TEST_F(XrdetectTest, FoundServerIsListedAndExitIsZero)
{
    Outcome outcome = RunXrdetect(StartResponder(ResponderMode::Valid));
    std::string server = "127.0.0.1:" + std::to_string(responder_.Port());
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.output, std::string(kSearching) + "Found 1 server(s).\n" +
                                  "Server list:\n\n1   " + server + "\n\nEnd server list.\n");
    EXPECT_EQ(StoredServer(), "sentinel:1");
}

TEST_F(XrdetectTest, StoreWritesFirstServerIntoRegistry)
{
    Outcome outcome = RunXrdetect(StartResponder(ResponderMode::Valid) + " --store");
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.output;
    EXPECT_EQ(StoredServer(), "127.0.0.1:" + std::to_string(responder_.Port()));
}

TEST_F(XrdetectTest, SilenceExitsOneAndStoresNothing)
{
    Outcome outcome = RunXrdetect(StartResponder(ResponderMode::Silent) + " --store");
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(outcome.output, std::string(kSearching) + "Found 0 server(s).\n");
    EXPECT_EQ(responder_.Requests().size(), 2u);
    EXPECT_EQ(StoredServer(), "sentinel:1");
}

TEST_F(XrdetectTest, BadUsageExitsTwoWithAHint)
{
    const char *const rows[] = {
        "--timeout",       "--timeout x",         "--timeout -1",        "--ttl 0",
        "--ttl 256",       "--port 0",            "--port 65536",        "--wait-mode 4",
        "--address",       "--address 1.2.3",     "--address 1.2.3.256", "--address 1.2.3.4.5",
        "--address 1..2.3", "--address 127.0.0.1x", "--bogus",
    };
    for (const char *row : rows) {
        Outcome outcome = RunXrdetect(row);
        EXPECT_EQ(outcome.exitCode, 2u) << row;
        EXPECT_NE(outcome.output.find("Try 'xrdetect --help'."), std::string::npos) << row;
    }
    EXPECT_EQ(StoredServer(), "sentinel:1");
}

TEST_F(XrdetectTest, HelpListsTheOptions)
{
    Outcome outcome = RunXrdetect("--help");
    EXPECT_EQ(outcome.exitCode, 0u);
    for (const char *option : {"--timeout", "--ttl", "--port", "--address", "--wait-mode",
                               "--store", "--help"})
        EXPECT_NE(outcome.output.find(option), std::string::npos) << option;
}

}  // namespace
