// The discovery worker against a real responder on loopback: unicast to 127.0.0.1, except the
// broadcast case, which runs only inside the network namespace made by detect_netns.sh.
#include <gtest/gtest.h>

#include <process.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "detect_responder.h"
#include "nt/nt_log.h"
#include "xrdetect.h"
#include "xrstr.h"

namespace {

class Winsock {
public:
    Winsock() { WSAStartup(MAKEWORD(2, 2), &data_); }
    ~Winsock() { WSACleanup(); }

private:
    WSADATA data_;
};

// The records of one run; the done event tells when the worker has let go of them.
struct Discovery {
    DetectParams params = {};
    DetectResult result = {};
    uint32_t cancelPort = 0;
    double seconds = 0;

    Discovery(uint16_t port, int waitMode, int timeout)
    {
        params.timeout = timeout;
        params.ttl = 2;
        params.useAddress = 1;
        XrStrCopy(params.address, sizeof params.address, "127.0.0.1");
        params.port = port;
        params.waitMode = waitMode;
        params.doneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Discovery()
    {
        // Never release the records under a running worker.
        EXPECT_EQ(WaitForSingleObject(params.doneEvent, DWORD(2 * params.timeout + 5) * 1000),
                  WAIT_OBJECT_0);
        CloseHandle(params.doneEvent);
    }

    // One run as the proxy page makes it: discover, then stop a worker that still listens.
    void Run()
    {
        auto start = std::chrono::steady_clock::now();
        cancelPort = DetectSocksServer(&params, &result);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        CancelSocksDetect(cancelPort);
        WaitForSingleObject(params.doneEvent, DWORD(2 * params.timeout + 5) * 1000);
    }

    uint16_t ServerPort(int index) const { return ntohs(result.servers[index].in.sin_port); }
};

std::string Dotted(const unsigned char *bytes)
{
    std::ostringstream text;
    text << int(bytes[0]) << '.' << int(bytes[1]) << '.' << int(bytes[2]) << '.' << int(bytes[3]);
    return text.str();
}

// Sends the process log to a file for the life of the object.
class LogCapture {
public:
    LogCapture() : path_(testing::TempDir() + "detect_test.log")
    {
        std::remove(path_.c_str());
        XrLogParams params = {XR_LOG_VERSION, "discovery test", path_.c_str(), 1024,
                              XR_LOG_POLICY_STOP_QUIET, nullptr, nullptr};
        EXPECT_EQ(XrLogOpen(XrLogProcessHandle(), XR_LOG_FILE, 255, &params), 0);
    }
    ~LogCapture() { XrLogClose(XrLogProcessHandle()); }

    std::string Text() const
    {
        std::ifstream file(path_);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    std::string path_;
};

// Starts a responder on 127.0.0.1 and returns its port.
uint16_t StartOnLoopback(DetectResponder *responder, ResponderMode mode, int validReplies = 0)
{
    ResponderOptions options;
    options.mode = mode;
    options.validReplies = validReplies;
    EXPECT_EQ(responder->Start(options), 0);
    return responder->Port();
}

class DiscoveryTest : public testing::Test {
protected:
    uint16_t StartResponder(ResponderMode mode, int validReplies = 0)
    {
        return StartOnLoopback(&responder_, mode, validReplies);
    }

    Winsock winsock_;
    DetectResponder responder_;
};

TEST_F(DiscoveryTest, FirstReplyEndsModeOneWait)
{
    uint16_t port = StartResponder(ResponderMode::Valid);
    Discovery run(port, 1, 5);
    run.Run();
    EXPECT_NE(run.cancelPort, 0u);
    EXPECT_LT(run.seconds, 2.5);
    ASSERT_EQ(run.result.count, 1);
    EXPECT_EQ(run.result.error, 0);
    EXPECT_EQ(run.result.servers[0].in.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(run.ServerPort(0), port);
}

TEST_F(DiscoveryTest, SeventeenServersFillSixteenEntriesInModeThree)
{
    uint16_t port = StartResponder(ResponderMode::Valid, 17);
    Discovery run(port, 3, 5);
    run.Run();
    ASSERT_EQ(run.result.count, DETECT_MAX_SERVERS);
    // Stopped listening at the sixteenth reply instead of running into the time-out.
    EXPECT_LT(run.seconds, 2.5);
    std::vector<uint16_t> replyPorts = responder_.ReplyPorts();
    ASSERT_EQ(replyPorts.size(), 17u);
    for (int i = 0; i < DETECT_MAX_SERVERS; i++)
        EXPECT_EQ(run.ServerPort(i), replyPorts[size_t(i)]) << i;
}

TEST_F(DiscoveryTest, NoAnswerCostsTwoRequestsAndTwiceTheTimeout)
{
    uint16_t port = StartResponder(ResponderMode::Silent);
    Discovery run(port, 1, 1);
    run.Run();
    EXPECT_NE(run.cancelPort, 0u);
    EXPECT_EQ(run.result.error, DETECT_ERROR_TIMEOUT);
    EXPECT_EQ(run.result.count, 0);
    EXPECT_EQ(responder_.Requests().size(), 2u);
    EXPECT_GT(run.seconds, 1.9);
    EXPECT_LT(run.seconds, 4.0);
}

// Runs the discovery on a thread of its own and ends its wait with a quit message once the
// responder has the request; the worker goes on listening.
void EndWaitWithQuitMessage(Discovery *run, const DetectResponder &responder)
{
    std::atomic<DWORD> waiterThread{0};
    std::thread waiter([&] {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
        waiterThread = GetCurrentThreadId();
        run->cancelPort = DetectSocksServer(&run->params, &run->result);
    });
    bool requested = responder.WaitForRequests(1, 3000);
    PostThreadMessageA(waiterThread, WM_QUIT, 0, 0);
    waiter.join();
    ASSERT_TRUE(requested);
    ASSERT_NE(run->cancelPort, 0u);
}

TEST_F(DiscoveryTest, QuitMessageEndsWaitAndCancelStopsWorkerWithoutSecondRequest)
{
    uint16_t port = StartResponder(ResponderMode::Silent);
    Discovery run(port, 3, 5);
    ASSERT_NO_FATAL_FAILURE(EndWaitWithQuitMessage(&run, responder_));
    EXPECT_EQ(WaitForSingleObject(run.params.doneEvent, 0), DWORD(WAIT_TIMEOUT));

    EXPECT_EQ(CancelSocksDetect(run.cancelPort), 1);
    ASSERT_EQ(WaitForSingleObject(run.params.doneEvent, 3000), WAIT_OBJECT_0);
    EXPECT_EQ(run.result.error, DETECT_ERROR_CANCELLED);
    EXPECT_EQ(run.result.count, 0);
    EXPECT_EQ(responder_.Requests().size(), 1u);
}

// 127.0.0.1 at port (network order).
sockaddr_in Loopback(u_short port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = port;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A 27-byte datagram with the given version and ID, the other fields zero.
std::vector<unsigned char> Datagram(uint8_t version, uint16_t id)
{
    DetectPacket packet = {};
    packet.version = version;
    packet.id = id;
    std::vector<unsigned char> bytes(DETECT_PACKET_SIZE);
    PackToBuf(bytes.data(), int(bytes.size()), &packet);
    return bytes;
}

// A valid reply, sent from a socket of its own to the worker's socket at port (network order).
void SendReply(u_short port)
{
    std::vector<unsigned char> bytes = Datagram(DETECT_VERSION, 0);
    SOCKET sock = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = Loopback(port);
    EXPECT_EQ(sendto(sock, reinterpret_cast<const char *>(bytes.data()), int(bytes.size()), 0,
                     reinterpret_cast<const sockaddr *>(&to), sizeof to),
              int(bytes.size()));
    closesocket(sock);
}

TEST_F(DiscoveryTest, ReplyAfterQuitMessageSignalsNoObjectCreatedMeanwhile)
{
    uint16_t port = StartResponder(ResponderMode::Silent);
    Discovery run(port, 2, 5);
    ASSERT_NO_FATAL_FAILURE(EndWaitWithQuitMessage(&run, responder_));

    // Events made now may take the handle values that the finished call has just closed.
    HANDLE events[4];
    for (HANDLE &event : events)
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SendReply(responder_.Requests()[0].from.sin_port);
    for (int i = 0; i < 100 && run.result.count == 0; i++)
        Sleep(20);
    EXPECT_EQ(run.result.count, 1);
    for (HANDLE event : events) {
        EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_TIMEOUT));
        CloseHandle(event);
    }
    EXPECT_EQ(CancelSocksDetect(run.cancelPort), 1);
}

// Datagrams that are no valid reply, sent to the worker's socket from a socket of their own
// every 300 ms until stop is set (12 s at most): too short, wrong version, non-zero ID, and
// longer than the worker's transfer buffer.
void SendJunk(u_short port, const std::atomic<bool> &stop)
{
    const std::vector<unsigned char> junk[] = {std::vector<unsigned char>(8), Datagram(4, 0),
                                               Datagram(DETECT_VERSION, 1),
                                               std::vector<unsigned char>(600, 0xEE)};
    SOCKET sock = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = Loopback(port);
    for (size_t i = 0; i < 40 && !stop; i++) {
        const std::vector<unsigned char> &bytes = junk[i % (sizeof junk / sizeof junk[0])];
        sendto(sock, reinterpret_cast<const char *>(bytes.data()), int(bytes.size()), 0,
               reinterpret_cast<const sockaddr *>(&to), sizeof to);
        Sleep(300);
    }
    closesocket(sock);
}

// Junk arriving more often than once a second neither holds the worker (it listens for the
// time-out, not for as long as the junk keeps coming) nor hides that nobody answered: the
// search still asks twice and ends with the time-out.
TEST_F(DiscoveryTest, JunkDatagramsNeitherHoldTheWorkerNorHideThatNobodyAnswered)
{
    uint16_t port = StartResponder(ResponderMode::Silent);
    Discovery run(port, 3, 1);
    std::atomic<bool> stop{false};
    std::thread junk([&] {
        if (responder_.WaitForRequests(1, 3000))
            SendJunk(responder_.Requests()[0].from.sin_port, stop);
    });
    run.Run();
    stop = true;
    junk.join();
    EXPECT_EQ(run.result.count, 0);
    EXPECT_EQ(run.result.error, DETECT_ERROR_TIMEOUT);
    EXPECT_EQ(responder_.Requests().size(), 2u);
    EXPECT_LT(run.seconds, 5.0);  // about twice the 1 s time-out, not the junk's 12 s
}

// Answers the discovery's request number `request` (from 1) with a valid reply from a socket
// of its own, once the responder has it.
std::thread AnswerRequest(const DetectResponder &responder, size_t request)
{
    return std::thread([&responder, request] {
        if (responder.WaitForRequests(request, 5000))
            SendReply(responder.Requests()[request - 1].from.sin_port);
    });
}

// The time-out error tells that a request went unanswered: a time-out after a server was
// stored changes nothing, while a server found only by the second request leaves the error of
// the first beside it.
TEST_F(DiscoveryTest, TimeOutErrorStaysOnlyWhenTheFirstRequestWentUnanswered)
{
    const struct {
        size_t answered;  // the request that gets a reply
        int waitMode;
        int32_t error;
    } rows[] = {{1, 3, 0}, {2, 1, DETECT_ERROR_TIMEOUT}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.answered);
        DetectResponder responder;
        Discovery run(StartOnLoopback(&responder, ResponderMode::Silent), row.waitMode, 1);
        std::thread answer = AnswerRequest(responder, row.answered);
        run.Run();
        answer.join();
        EXPECT_EQ(run.result.count, 1);
        EXPECT_EQ(run.result.error, row.error);
        EXPECT_EQ(responder.Requests().size(), row.answered);
    }
}

// A window of the waiting thread whose message makes the server answer: the discovery finds
// the server only when the wait hands the message to the window.
struct AnsweringWindow {
    static int messages;
    HWND window;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_APP)
            return DefWindowProcA(window, message, wParam, lParam);
        messages++;
        SendReply(u_short(wParam));
        return 0;
    }
    AnsweringWindow()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "FerrowinDiscoveryTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, windowClass.hInstance, nullptr);
        messages = 0;
    }
    ~AnsweringWindow() { DestroyWindow(window); }
};
int AnsweringWindow::messages;

TEST_F(DiscoveryTest, WaitHandsWindowMessagesToTheirWindowWhileTheWorkerListens)
{
    uint16_t port = StartResponder(ResponderMode::Silent);
    AnsweringWindow answering;
    ASSERT_NE(answering.window, nullptr);
    Discovery run(port, 1, 1);
    std::thread poster([&] {
        if (responder_.WaitForRequests(1, 3000))
            PostMessageA(answering.window, WM_APP, responder_.Requests()[0].from.sin_port, 0);
    });
    run.Run();
    poster.join();
    EXPECT_EQ(AnsweringWindow::messages, 1);
    EXPECT_EQ(run.result.count, 1);
    EXPECT_EQ(run.result.error, 0);
    EXPECT_EQ(responder_.Requests().size(), 1u);
}

// Starts the worker on what DetectSocksServer would hand it, cancels it once the responder has
// the request when asked to, and returns the worker's exit code.
DWORD WorkerExitCode(Discovery *run, const DetectResponder &responder, bool cancel)
{
    SOCKET cancelSocket = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bind(cancelSocket, reinterpret_cast<sockaddr *>(&address), sizeof address);
    getsockname(cancelSocket, reinterpret_cast<sockaddr *>(&address), &length);
    HANDLE firstReply = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // the worker closes it
    auto *context = static_cast<DetectContext *>(calloc(1, sizeof(DetectContext)));
    *context = {cancelSocket, firstReply, 0, &run->params, &run->result};
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WorkerThread, context, 0, nullptr));
    if (cancel) {
        EXPECT_TRUE(responder.WaitForRequests(1, 3000));
        EXPECT_EQ(CancelSocksDetect(address.sin_port), 1);
    }
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}

TEST_F(DiscoveryTest, WorkerExitCodeTellsWhetherAServerWasStored)
{
    Discovery found(StartResponder(ResponderMode::Valid), 3, 1);
    EXPECT_EQ(WorkerExitCode(&found, responder_, false), 0u);
    EXPECT_EQ(found.result.count, 1);

    DetectResponder silent;
    Discovery cancelled(StartOnLoopback(&silent, ResponderMode::Silent), 3, 5);
    EXPECT_EQ(WorkerExitCode(&cancelled, silent, true), DWORD(-1));
    EXPECT_EQ(cancelled.result.error, DETECT_ERROR_CANCELLED);
    EXPECT_EQ(silent.Requests().size(), 1u);
}

// Stand-ins for the worker's socket calls. Requests may go to the loopback network only, so
// that no failure path can make the worker broadcast; the failing ones leave kFailure as the
// socket layer's last error.
const int kFailure = WSAENOBUFS;
std::atomic<int> g_requestsSent;

int WSAAPI LoopbackSendTo(SOCKET sock, const char *buffer, int length, int flags,
                          const sockaddr *to, int toLength)
{
    const auto *address = reinterpret_cast<const sockaddr_in *>(to);
    if (toLength < int(sizeof *address) || address->sin_family != AF_INET ||
        ntohl(address->sin_addr.s_addr) >> 24 != 127) {
        WSASetLastError(WSAEACCES);
        return SOCKET_ERROR;
    }
    g_requestsSent++;
    return sendto(sock, buffer, length, flags, to, toLength);
}

SOCKET WSAAPI FailSocket(int, int, int)
{
    WSASetLastError(kFailure);
    return INVALID_SOCKET;
}

int WSAAPI FailBroadcastOption(SOCKET sock, int level, int name, const char *value, int length)
{
    if (level != SOL_SOCKET || name != SO_BROADCAST)
        return setsockopt(sock, level, name, value, length);
    WSASetLastError(kFailure);
    return SOCKET_ERROR;
}

int WSAAPI FailBind(SOCKET, const sockaddr *, int)
{
    WSASetLastError(kFailure);
    return SOCKET_ERROR;
}

int WSAAPI FailSendTo(SOCKET, const char *, int, int, const sockaddr *, int)
{
    WSASetLastError(kFailure);
    return SOCKET_ERROR;
}

int WSAAPI FailSelect(int, fd_set *, fd_set *, fd_set *, const PTIMEVAL)
{
    WSASetLastError(kFailure);
    return SOCKET_ERROR;
}

// Each socket step whose failure ends the worker's run: its code is left in the result, the log
// names the step with the socket layer's error, nothing more is sent, and the done event is set
// by the time the worker has ended.
TEST_F(DiscoveryTest, WorkerSocketFailuresEndTheRunWithTheirCodeAndSetTheDoneEvent)
{
    const struct {
        const char *step;
        int32_t code;
        int useAddress;
        int requests;
        void (*fail)(DetectSocketCalls *calls);
    } rows[] = {
        {"socket()", DETECT_ERROR_SOCKET, 1, 0,
         [](DetectSocketCalls *c) { c->socket = FailSocket; }},
        {"setsockopt(SO_BROADCAST)", DETECT_ERROR_BROADCAST, 0, 0,
         [](DetectSocketCalls *c) { c->setsockopt = FailBroadcastOption; }},
        {"bind()", DETECT_ERROR_BIND, 1, 0, [](DetectSocketCalls *c) { c->bind = FailBind; }},
        {"sendto()", DETECT_ERROR_SEND, 1, 0,
         [](DetectSocketCalls *c) { c->sendto = FailSendTo; }},
        {"select()", DETECT_ERROR_SELECT, 1, 1,
         [](DetectSocketCalls *c) { c->select = FailSelect; }},
    };
    const DetectSocketCalls real = g_detectSocketCalls;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.step);
        g_detectSocketCalls = real;
        g_detectSocketCalls.sendto = LoopbackSendTo;
        row.fail(&g_detectSocketCalls);
        g_requestsSent = 0;
        DetectResponder responder;
        LogCapture log;
        {
            Discovery run(StartOnLoopback(&responder, ResponderMode::Silent), 3, 1);
            run.params.useAddress = row.useAddress;
            uint32_t cancelPort = DetectSocksServer(&run.params, &run.result);
            EXPECT_EQ(WaitForSingleObject(run.params.doneEvent, 0), WAIT_OBJECT_0);
            EXPECT_NE(cancelPort, 0u);  // the wait saw the worker end
            EXPECT_EQ(run.result.error, row.code);
            EXPECT_EQ(run.result.count, 0);
            EXPECT_EQ(g_requestsSent, row.requests);
        }
        std::string line = std::string("xrDetect: DetectSocksServer(): ") + row.step
                           + " error: " + std::to_string(kFailure);
        std::string text = log.Text();
        EXPECT_NE(text.find(line), std::string::npos) << text;
    }
    g_detectSocketCalls = real;
}

TEST_F(DiscoveryTest, RejectedRepliesAreLoggedAndWorkerKeepsListening)
{
    struct Row {
        ResponderMode mode;
        const char *logLine;
    };
    const Row rows[] = {
        {ResponderMode::Short,
         "xrDetect: DetectSocksServer(): recvfrom: Wrong packet size error: 26"},
        {ResponderMode::WrongVersion, "xrDetect: CheckReplyPacket(): Version mismatch error: 4"},
        {ResponderMode::NonZeroId, "xrDetect: CheckReplyPacket(): Bad ID error: 1"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(ResponderModeName(row.mode));
        DetectResponder responder;
        uint16_t port = StartOnLoopback(&responder, row.mode, 1);
        LogCapture log;
        {
            Discovery run(port, 1, 5);
            run.Run();
            ASSERT_EQ(run.result.count, 1);
            EXPECT_EQ(run.ServerPort(0), responder.ReplyPorts()[1]);
        }
        std::string text = log.Text();
        EXPECT_NE(text.find(row.logLine), std::string::npos) << text;
        if (row.mode != ResponderMode::Short) {
            EXPECT_NE(text.find("Server reply failed validity check error: 0"),
                      std::string::npos) << text;
        }
    }
}

TEST_F(DiscoveryTest, LongReplyIsAccepted)
{
    uint16_t port = StartResponder(ResponderMode::Long);
    Discovery run(port, 1, 5);
    run.Run();
    ASSERT_EQ(run.result.count, 1);
    EXPECT_EQ(run.ServerPort(0), port);
}

TEST_F(DiscoveryTest, RequestCarriesWorkerSocketSearchedPortAndTimeStamp)
{
    uint16_t port = StartResponder(ResponderMode::Valid);
    Discovery run(port, 1, 5);
    run.Run();
    std::vector<ResponderRequest> requests = responder_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::vector<unsigned char> &bytes = requests[0].bytes;
    ASSERT_EQ(bytes.size(), 27u);
    EXPECT_EQ(bytes[0], 5);
    EXPECT_EQ(bytes[1] | bytes[2], 0);
    EXPECT_EQ(Dotted(&bytes[3]), "0.0.0.0");  // the bound address: unicast needs no own one
    EXPECT_EQ(std::memcmp(&bytes[7], &requests[0].from.sin_port, 2), 0);
    EXPECT_EQ(Dotted(&bytes[9]), "127.0.0.1");
    EXPECT_EQ(bytes[13], port & 0xFF);  // little-endian, unlike the other fields
    EXPECT_EQ(bytes[14], port >> 8);
    uint32_t stamp = uint32_t(bytes[15]) << 24 | bytes[16] << 16 | bytes[17] << 8 | bytes[18];
    EXPECT_LE(std::llabs((long long)stamp - (long long)requests[0].arrival), 5);
    EXPECT_EQ(bytes[19], '0');
    for (size_t i = 20; i < 27; i++)
        EXPECT_EQ(bytes[i], 0) << i;
}

TEST_F(DiscoveryTest, WaitModeOutsideRangeBecomesTwoAndWorkerGoesOn)
{
    uint16_t port = StartResponder(ResponderMode::Valid);
    Discovery run(port, 7, 5);
    run.Run();
    EXPECT_EQ(run.params.waitMode, 2);
    EXPECT_NE(run.cancelPort, 0u);
    EXPECT_EQ(run.result.count, 1);
    // Mode 2 leaves the worker listening after the first reply, so the cancel met it.
    EXPECT_EQ(run.result.error, DETECT_ERROR_CANCELLED);
}

TEST_F(DiscoveryTest, MissingRecordsAreRefused)
{
    DetectParams params = {};
    DetectResult result = {};
    EXPECT_EQ(DetectSocksServer(nullptr, &result), 0u);
    EXPECT_EQ(DetectSocksServer(&params, nullptr), 0u);
    EXPECT_EQ(CancelSocksDetect(0), 0);
}

// Set by detect_netns.sh; and only there does the host's own address, the base of the subnet
// broadcast, lie on the loopback network.
bool InsideTestNamespace()
{
    const char *flag = std::getenv("FERROWIN_DETECT_NETNS");
    char name[256];
    hostent *host = nullptr;
    if (!flag || std::strcmp(flag, "1") != 0 || gethostname(name, sizeof name) != 0 ||
        !(host = gethostbyname(name)) || !host->h_addr_list[0])
        return false;
    return static_cast<unsigned char>(host->h_addr_list[0][0]) == 127;
}

TEST(DetectBroadcast, RequestGoesToSubnetBroadcastAndServerIsFound)
{
    Winsock winsock;
    if (!InsideTestNamespace())
        GTEST_SKIP() << "broadcasts only inside the network namespace of detect_netns.sh";
    DetectResponder responder;
    ResponderOptions options;
    options.address = "0.0.0.0";
    options.port = 1080;
    ASSERT_EQ(responder.Start(options), 0);
    Discovery run(1080, 1, 1);
    run.params.useAddress = 0;
    run.Run();
    ASSERT_EQ(run.result.count, 1);
    EXPECT_EQ(run.result.servers[0].in.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(run.ServerPort(0), 1080);
    std::vector<ResponderRequest> requests = responder.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::vector<unsigned char> &bytes = requests[0].bytes;
    EXPECT_EQ(Dotted(&bytes[3]), "127.0.0.1");  // the host's own address
    EXPECT_EQ(Dotted(&bytes[9]), "127.0.0.255");
    EXPECT_EQ(bytes[13], 0x38);
    EXPECT_EQ(bytes[14], 0x04);
}

}  // namespace
