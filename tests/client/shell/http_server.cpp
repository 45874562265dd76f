#include "http_server.h"

#include <vector>

namespace {

// Every wait of the server is bounded, so that a test that goes wrong still ends.
const int kPollMs = 50;
const int kRequestWaitMs = 5000;

bool Readable(SOCKET s, int milliseconds)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) == 1;
}

}

LoopbackHttpServer::LoopbackHttpServer()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 && listen(listener_, 8) == 0
        && getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port_ = ntohs(address.sin_port);
    Respond(200, "");
    thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    stop_ = true;
    thread_.join();
    closesocket(listener_);
    WSACleanup();
}

void LoopbackHttpServer::Respond(int status, const std::string &body, const std::string &headers)
{
    std::string response = "HTTP/1.1 " + std::to_string(status) + " Test\r\nContent-Length: "
                           + std::to_string(body.size()) + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
    std::lock_guard<std::mutex> hold(lock_);
    response_ = response;
}

std::string LoopbackHttpServer::Url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string LoopbackHttpServer::LastRequest()
{
    std::lock_guard<std::mutex> hold(lock_);
    return lastRequest_;
}

void LoopbackHttpServer::Serve()
{
    std::vector<SOCKET> silent;
    while (!stop_) {
        if (!Readable(listener_, kPollMs))
            continue;
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        requests_++;
        if (mode_ == Mode::NeverAnswer)
            silent.push_back(client); // held open until the server stops
        else
            Answer(client);
    }
    for (SOCKET s : silent)
        closesocket(s);
}

void LoopbackHttpServer::Answer(SOCKET client)
{
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos && Readable(client, kRequestWaitMs)) {
        char buffer[2048];
        int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, got);
    }
    std::string response;
    {
        std::lock_guard<std::mutex> hold(lock_);
        lastRequest_ = request;
        response = response_;
    }
    if (mode_ == Mode::Respond) {
        for (size_t sent = 0; sent < response.size();) {
            int n = send(client, response.data() + sent, static_cast<int>(response.size() - sent), 0);
            if (n <= 0)
                break;
            sent += n;
        }
        shutdown(client, SD_SEND);
    }
    closesocket(client);
}
