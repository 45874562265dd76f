// A test stand-in for SOCKS servers answering discovery requests: one UDP socket on its own
// thread that records every datagram that arrives and answers requests in a chosen way.
#ifndef TESTS_DISCOVERY_DETECT_RESPONDER_H
#define TESTS_DISCOVERY_DETECT_RESPONDER_H

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class ResponderMode {
    Silent,        // never answers
    Short,         // a 26-byte reply
    WrongVersion,  // version 4
    NonZeroId,     // ID 1
    Long,          // a valid reply padded to 40 bytes
    Valid,         // valid replies only
};

// "silent", "short", "wrong-version", "nonzero-id", "long", "valid"; false for other names.
bool ResponderModeFromName(const char *name, ResponderMode *mode);
const char *ResponderModeName(ResponderMode mode);

struct ResponderOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 0;  // 0: any free port
    ResponderMode mode = ResponderMode::Valid;
    // Valid replies to each request. In mode Valid they are all the replies (0 counts as 1);
    // in the other answering modes they follow the mode's own reply.
    int validReplies = 0;
};

struct ResponderRequest {
    std::vector<unsigned char> bytes;
    sockaddr_in from;
    time_t arrival;  // wall clock, seconds
};

class DetectResponder {
public:
    DetectResponder() = default;
    DetectResponder(const DetectResponder &) = delete;
    DetectResponder &operator=(const DetectResponder &) = delete;
    ~DetectResponder();

    // Binds the sockets and starts answering. 0, or -1 when a socket could not be made.
    int Start(const ResponderOptions &options);
    void Stop();

    uint16_t Port() const;  // the listening socket's port, host order
    // The source port of each reply sent to a request, in sending order (host order).
    std::vector<uint16_t> ReplyPorts() const;
    std::vector<ResponderRequest> Requests() const;
    // Waits at most timeoutMs for count requests to have arrived.
    bool WaitForRequests(size_t count, int timeoutMs) const;

private:
    void Run();
    void Answer(const ResponderRequest &request);

    ResponderOptions options_;
    std::vector<SOCKET> sockets_;  // [0] listens and sends the first reply; one per reply
    std::vector<uint16_t> ports_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<ResponderRequest> requests_;
};

#endif
