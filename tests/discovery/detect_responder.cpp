#include "detect_responder.h"

#include <chrono>
#include <cstring>
#include <utility>

#include "xrdetect.h"

namespace {

const std::pair<ResponderMode, const char *> kModeNames[] = {
    {ResponderMode::Silent, "silent"},
    {ResponderMode::Short, "short"},
    {ResponderMode::WrongVersion, "wrong-version"},
    {ResponderMode::NonZeroId, "nonzero-id"},
    {ResponderMode::Long, "long"},
    {ResponderMode::Valid, "valid"},
};

const int kLongReplySize = 40;

// The replies to one request, in sending order.
std::vector<ResponderMode> ReplyPlan(const ResponderOptions &options)
{
    std::vector<ResponderMode> plan;
    if (options.mode == ResponderMode::Silent)
        return plan;
    int valid = options.validReplies;
    if (options.mode == ResponderMode::Valid)
        valid = valid > 0 ? valid : 1;
    else
        plan.push_back(options.mode);
    plan.insert(plan.end(), size_t(valid), ResponderMode::Valid);
    return plan;
}

// What a server sends back: its own address as source, the requester as destination.
std::vector<unsigned char> BuildReply(ResponderMode shape, const DetectPacket &request,
                                      const sockaddr_in &self, const sockaddr_in &to)
{
    DetectPacket reply = {};
    reply.version = shape == ResponderMode::WrongVersion ? 4 : DETECT_VERSION;
    reply.id = shape == ResponderMode::NonZeroId ? 1 : 0;
    DetectSetInAddr(&reply.source, &self);
    reply.sourcePort = self.sin_port;
    DetectSetInAddr(&reply.destination, &to);
    reply.destinationPort = request.destinationPort;
    reply.timeStamp = uint32_t(time(nullptr));
    reply.tag[0] = '0';
    std::vector<unsigned char> bytes(kLongReplySize, 0xEE);
    PackToBuf(bytes.data(), int(bytes.size()), &reply);
    if (shape == ResponderMode::Short)
        bytes.resize(DETECT_PACKET_SIZE - 1);
    else if (shape != ResponderMode::Long)
        bytes.resize(DETECT_PACKET_SIZE);
    return bytes;
}

sockaddr_in LocalAddress(SOCKET sock)
{
    sockaddr_in local = {};
    int length = sizeof local;
    getsockname(sock, reinterpret_cast<sockaddr *>(&local), &length);
    return local;
}

}  // namespace

bool ResponderModeFromName(const char *name, ResponderMode *mode)
{
    for (const auto &entry : kModeNames) {
        if (std::strcmp(entry.second, name) == 0) {
            *mode = entry.first;
            return true;
        }
    }
    return false;
}

const char *ResponderModeName(ResponderMode mode)
{
    for (const auto &entry : kModeNames)
        if (entry.first == mode)
            return entry.second;
    return "?";
}

DetectResponder::~DetectResponder()
{
    Stop();
}

int DetectResponder::Start(const ResponderOptions &options)
{
    options_ = options;
    size_t count = ReplyPlan(options).size();
    for (size_t i = 0; i < (count > 0 ? count : 1); i++) {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr(options.address.c_str());
        address.sin_port = htons(i == 0 ? options.port : 0);
        SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (sock == INVALID_SOCKET)
            break;
        sockets_.push_back(sock);
        if (bind(sock, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
            break;
        ports_.push_back(ntohs(LocalAddress(sock).sin_port));
    }
    if (ports_.size() != sockets_.size() || ports_.empty()) {
        Stop();
        return -1;
    }
    stop_ = false;
    thread_ = std::thread(&DetectResponder::Run, this);
    return 0;
}

void DetectResponder::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    for (SOCKET sock : sockets_)
        closesocket(sock);
    sockets_.clear();
    ports_.clear();
}

uint16_t DetectResponder::Port() const
{
    return ports_.empty() ? 0 : ports_[0];
}

std::vector<uint16_t> DetectResponder::ReplyPorts() const
{
    std::vector<uint16_t> ports = ports_;
    ports.resize(ReplyPlan(options_).size());
    return ports;
}

std::vector<ResponderRequest> DetectResponder::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool DetectResponder::WaitForRequests(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return requests_.size() >= count; });
}

void DetectResponder::Run()
{
    while (!stop_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(sockets_[0], &readable);
        timeval poll = {0, 50 * 1000};
        if (select(0, &readable, nullptr, nullptr, &poll) <= 0)
            continue;
        unsigned char buffer[2048];
        ResponderRequest request = {};
        int fromLength = sizeof request.from;
        int length = recvfrom(sockets_[0], reinterpret_cast<char *>(buffer), sizeof buffer, 0,
                              reinterpret_cast<sockaddr *>(&request.from), &fromLength);
        if (length < 0)
            continue;
        request.bytes.assign(buffer, buffer + length);
        request.arrival = time(nullptr);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        arrived_.notify_all();
        Answer(request);
    }
}

void DetectResponder::Answer(const ResponderRequest &request)
{
    DetectPacket packet;
    if (UnpackFromBuf(request.bytes.data(), int(request.bytes.size()), &packet) != 0 ||
        packet.version != DETECT_VERSION)
        return;
    std::vector<ResponderMode> plan = ReplyPlan(options_);
    for (size_t i = 0; i < plan.size(); i++) {
        std::vector<unsigned char> reply =
            BuildReply(plan[i], packet, LocalAddress(sockets_[i]), request.from);
        sendto(sockets_[i], reinterpret_cast<const char *>(reply.data()), int(reply.size()), 0,
               reinterpret_cast<const sockaddr *>(&request.from), sizeof request.from);
    }
}
