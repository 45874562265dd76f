#include "probe.h"

#include <iphlpapi.h>
#include <icmpapi.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

const int kEchoBytes = 32;
const DWORD kEchoTimeoutMs = 1000;
const int kMaxHops = 30;
// The echo service port: a refusal proves the host is there as well as an answer does.
const u_short kTcpProbePort = 7;

enum EchoResult { kReply, kHopExpired, kTimedOut, kUnreachable, kFailed };

struct Echo {
    EchoResult result;
    struct in_addr from;
    unsigned long rttMs;
    int ttl; // of the reply; 0 when the probe cannot see it
};

// ICMP needs raw or ping sockets, which an unprivileged user may lack; an echo that fails
// without an ICMP answer switches the run to TCP connects.
struct Prober {
    HANDLE icmp; // INVALID_HANDLE_VALUE when probing by TCP
};

// Only four dotted decimal parts of 0..255 count as an address; anything else made of digits
// and dots is a typing error, not a host name to look up.
int ParseDotted(const char *text, struct in_addr *address)
{
    unsigned char parts[4];
    const char *p = text;
    for (int i = 0; i < 4; i++) {
        int value = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9' && digits < 4) {
            value = value * 10 + (*p++ - '0');
            digits++;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return -1;
        parts[i] = (unsigned char)value;
        if (i < 3 && *p++ != '.')
            return -1;
    }
    if (*p)
        return -1;
    memcpy(address, parts, sizeof parts);
    return 0;
}

int Resolve(const char *text, struct in_addr *address)
{
    if (!*text)
        return -1;
    if (strspn(text, "0123456789.") == strlen(text))
        return ParseDotted(text, address);
    struct hostent *host = gethostbyname(text);
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list[0])
        return -1;
    memcpy(address, host->h_addr_list[0], sizeof *address);
    return 0;
}

void Dotted(struct in_addr address, char (&text)[16])
{
    const unsigned char *b = (const unsigned char *)&address;
    snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}

void TcpEcho(struct in_addr destination, Echo *echo)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return;
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    struct sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(kTcpProbePort);
    to.sin_addr = destination;
    DWORD start = GetTickCount();
    int error = 0;
    if (connect(s, (struct sockaddr *)&to, sizeof to) == SOCKET_ERROR) {
        error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            struct timeval wait = {(long)(kEchoTimeoutMs / 1000), 0};
            int ready = select(0, NULL, &writable, &failed, &wait);
            if (ready < 0) {
                error = WSAGetLastError();
            } else if (ready == 0) {
                error = WSAETIMEDOUT;
            } else if (FD_ISSET(s, &failed)) {
                int size = sizeof error;
                getsockopt(s, SOL_SOCKET, SO_ERROR, (char *)&error, &size);
            } else {
                error = 0;
            }
        }
    }
    echo->rttMs = GetTickCount() - start;
    closesocket(s);
    if (error == 0 || error == WSAECONNREFUSED)
        echo->result = kReply;
    else if (error == WSAETIMEDOUT)
        echo->result = kTimedOut;
    else if (error == WSAEHOSTUNREACH || error == WSAENETUNREACH)
        echo->result = kUnreachable;
}

// ttl 0 sends with the system's default.
void SendEcho(Prober *prober, struct in_addr destination, int ttl, Echo *echo)
{
    echo->result = kFailed;
    echo->from = destination;
    echo->rttMs = 0;
    echo->ttl = 0;
    if (prober->icmp == INVALID_HANDLE_VALUE) {
        TcpEcho(destination, echo);
        return;
    }
    char data[kEchoBytes];
    memset(data, 'x', sizeof data);
    DWORD reply[(sizeof(ICMP_ECHO_REPLY) + kEchoBytes + 64) / sizeof(DWORD)];
    IP_OPTION_INFORMATION options = {};
    options.Ttl = (UCHAR)ttl;
    DWORD count = IcmpSendEcho(prober->icmp, destination.s_addr, data, sizeof data,
                               ttl ? &options : NULL, reply, sizeof reply, kEchoTimeoutMs);
    const ICMP_ECHO_REPLY *answer = (const ICMP_ECHO_REPLY *)reply;
    switch (count ? answer->Status : GetLastError()) {
    case IP_SUCCESS:
        echo->result = kReply;
        break;
    case IP_TTL_EXPIRED_TRANSIT:
        echo->result = kHopExpired;
        break;
    case IP_REQ_TIMED_OUT:
        echo->result = kTimedOut;
        break;
    case IP_DEST_NET_UNREACHABLE:
    case IP_DEST_HOST_UNREACHABLE:
    case IP_DEST_PROT_UNREACHABLE:
    case IP_DEST_PORT_UNREACHABLE:
        echo->result = kUnreachable;
        break;
    default:
        if (!count) {
            IcmpCloseHandle(prober->icmp);
            prober->icmp = INVALID_HANDLE_VALUE;
            TcpEcho(destination, echo);
            return;
        }
        break;
    }
    if (count) {
        echo->from.s_addr = answer->Address;
        echo->rttMs = answer->RoundTripTime;
        echo->ttl = answer->Options.Ttl;
    }
}

__attribute__((format(printf, 2, 3)))
void Emit(const XrProbeOutput *output, const char *format, ...)
{
    char line[320];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    output->emit(output->context, line);
}

int Ping(Prober *prober, struct in_addr destination, const XrProbePlan *plan,
         const XrProbeOutput *output)
{
    char shown[16];
    Dotted(destination, shown);
    Emit(output, "Pinging %s:\n", shown);
    int sent = 0;
    int received = 0;
    while (sent < plan->echoCount && !output->pause(output->context, sent ? plan->intervalMs : 0)) {
        Echo echo;
        SendEcho(prober, destination, 0, &echo);
        sent++;
        char from[16];
        Dotted(echo.from, from);
        switch (echo.result) {
        case kReply:
            received++;
            if (echo.ttl)
                Emit(output, "Reply from %s: bytes=%d time=%lums TTL=%d\n", from, kEchoBytes,
                     echo.rttMs, echo.ttl);
            else
                Emit(output, "Reply from %s: port %u answered in %lums\n", from,
                     (unsigned)kTcpProbePort, echo.rttMs);
            break;
        case kHopExpired:
            Emit(output, "Reply from %s: TTL expired in transit.\n", from);
            break;
        case kTimedOut:
            Emit(output, "Request timed out.\n");
            break;
        case kUnreachable:
            Emit(output, "Reply from %s: Destination host unreachable.\n", from);
            break;
        case kFailed:
            Emit(output, "General failure.\n");
            break;
        }
    }
    Emit(output,
         "\nPing statistics for %s:\n"
         "    Packets: Sent = %d, Received = %d, Lost = %d (%d%% loss)\n",
         shown, sent, received, sent - received, sent ? (sent - received) * 100 / sent : 0);
    return received ? 0 : -1;
}

int Traceroute(Prober *prober, struct in_addr destination, const XrProbeOutput *output)
{
    char shown[16];
    Dotted(destination, shown);
    Emit(output, "Tracing route to %s over a maximum of %d hops:\n", shown, kMaxHops);
    int result = -1;
    for (int hop = 1; hop <= kMaxHops; hop++) {
        if (output->pause(output->context, 0))
            return -1;
        Echo echo;
        SendEcho(prober, destination, hop, &echo);
        char from[16];
        Dotted(echo.from, from);
        if (echo.result == kReply || echo.result == kHopExpired)
            Emit(output, "%3d  %4lu ms  %s\n", hop, echo.rttMs, from);
        else if (echo.result == kTimedOut)
            Emit(output, "%3d     *     Request timed out.\n", hop);
        else if (echo.result == kUnreachable)
            Emit(output, "%3d  %s  Destination host unreachable.\n", hop, from);
        else
            Emit(output, "%3d  General failure.\n", hop);
        if (echo.result != kHopExpired && echo.result != kTimedOut) {
            result = echo.result == kReply ? 0 : -1;
            break;
        }
    }
    Emit(output, "Trace complete.\n");
    return result;
}

} // namespace

int XrProbeRun(int code, const char *destination, const XrProbePlan *plan,
               const XrProbeOutput *output)
{
    struct in_addr address;
    if (Resolve(destination, &address) != 0) {
        Emit(output, "Cannot find destination %s.\n", destination);
        return -1;
    }
    Prober prober = {plan->useTcp ? INVALID_HANDLE_VALUE : IcmpCreateFile()};
    int result = code == XR_RPC_PING ? Ping(&prober, address, plan, output)
                                     : Traceroute(&prober, address, output);
    if (prober.icmp != INVALID_HANDLE_VALUE)
        IcmpCloseHandle(prober.icmp);
    return result;
}
