// A small HTTP server on 127.0.0.1 for the import tests: answers every request the same way,
// chosen by the test, and keeps the last request's text.
#ifndef TESTS_CLIENT_SHELL_HTTP_SERVER_H
#define TESTS_CLIENT_SHELL_HTTP_SERVER_H

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

class LoopbackHttpServer {
public:
    enum class Mode { Respond, CloseEarly, NeverAnswer };

    // Listens on a free port of 127.0.0.1 at once.
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer &) = delete;
    LoopbackHttpServer &operator=(const LoopbackHttpServer &) = delete;

    // status line code and reason, extra header lines (each ending in CRLF) and the body.
    void Respond(int status, const std::string &body, const std::string &headers = "");
    void SetMode(Mode mode) { mode_ = mode; }

    int Port() const { return port_; }
    std::string Url(const std::string &path) const;
    std::string LastRequest();
    int Requests() const { return requests_; }

private:
    void Serve();
    void Answer(SOCKET client);

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<Mode> mode_{Mode::Respond};
    std::atomic<int> requests_{0};
    std::mutex lock_;
    std::string response_;
    std::string lastRequest_;
    std::thread thread_;
};

#endif
