// xrresponder: answers discovery requests on one UDP port for a bounded time, as a SOCKS server
// on the local network would (or in one of the faulty ways the tests need).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "detect_responder.h"

namespace {

const char kUsage[] =
    "Usage: xrresponder [options]\n"
    "  --address A.B.C.D   address to listen on (default 127.0.0.1)\n"
    "  --port PORT         UDP port to listen on, 1-65535 (default 1080)\n"
    "  --mode MODE         silent, short, wrong-version, nonzero-id, long or valid (default)\n"
    "  --replies N         valid replies per request, each from its own port, 0-64\n"
    "  --seconds S         lifetime, 1-3600 (default 30)\n"
    "  --count-requests    print the number of requests received before ending\n";

// A whole decimal number within [low, high].
bool ParseBounded(const char *text, long low, long high, long *value)
{
    char *end = nullptr;
    long number = text ? std::strtol(text, &end, 10) : 0;
    if (!text || end == text || *end != '\0' || number < low || number > high)
        return false;
    *value = number;
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    ResponderOptions options;
    options.port = 1080;
    long seconds = 30;
    bool countRequests = false;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        long number = 0;
        bool ok = true;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--count-requests") {
            countRequests = true;
            continue;
        } else if (arg == "--address") {
            ok = value && inet_addr(value) != INADDR_NONE;
            if (ok)
                options.address = value;
        } else if (arg == "--port") {
            ok = ParseBounded(value, 1, 65535, &number);
            options.port = uint16_t(number);
        } else if (arg == "--mode") {
            ok = value && ResponderModeFromName(value, &options.mode);
        } else if (arg == "--replies") {
            ok = ParseBounded(value, 0, 64, &number);
            options.validReplies = int(number);
        } else if (arg == "--seconds") {
            ok = ParseBounded(value, 1, 3600, &seconds);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "xrresponder: bad option or value: %s\n%s", argv[i], kUsage);
            return 2;
        }
        i++;
    }

    WSADATA winsock;
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) {
        std::fprintf(stderr, "xrresponder: cannot start Winsock\n");
        return 1;
    }
    DetectResponder responder;
    if (responder.Start(options) != 0) {
        std::fprintf(stderr, "xrresponder: cannot listen on %s:%u (error %d)\n",
                     options.address.c_str(), unsigned(options.port), WSAGetLastError());
        WSACleanup();
        return 1;
    }
    std::printf("xrresponder: listening on %s:%u, mode %s, for %ld s\n", options.address.c_str(),
                unsigned(responder.Port()), ResponderModeName(options.mode), seconds);
    std::fflush(stdout);
    Sleep(DWORD(seconds) * 1000);
    responder.Stop();
    if (countRequests)
        std::printf("requests: %u\n", unsigned(responder.Requests().size()));
    WSACleanup();
    return 0;
}
