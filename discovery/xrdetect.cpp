#include "xrdetect.h"

#include <errno.h>
#include <process.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <ws2tcpip.h>
#include <mmsystem.h>

#include "nt/nt_log.h"
#include "xrstr.h"

namespace {

const char kRoutine[] = "DetectSocksServer";

void Fail(DetectResult *result, int32_t code, const char *format, int value)
{
    DetectLog(XR_LOG_ERROR, format, value);
    result->error = code;
}

// The host's first address stands in for the bound one, and its /24 broadcast is the
// destination; without a name or an address the limited broadcast has to do.
void BroadcastDestination(sockaddr_in *local, sockaddr_in *destination)
{
    char name[256];
    hostent *host = nullptr;
    if (gethostname(name, sizeof name) == 0)
        host = gethostbyname(name);
    if (!host || !host->h_addr_list[0]) {
        destination->sin_addr.s_addr = INADDR_BROADCAST;
        return;
    }
    memcpy(&local->sin_addr, host->h_addr_list[0], sizeof local->sin_addr);
    destination->sin_addr = local->sin_addr;
    reinterpret_cast<unsigned char *>(&destination->sin_addr)[3] = 255;
}

void BuildRequest(const sockaddr_in &local, const sockaddr_in &destination, uint16_t port,
                  DetectPacket *request)
{
    memset(request, 0, sizeof *request);
    request->version = DETECT_VERSION;
    DetectSetInAddr(&request->source, &local);
    request->sourcePort = local.sin_port;
    DetectSetInAddr(&request->destination, &destination);
    request->destinationPort = port;
    request->timeStamp = uint32_t(time(nullptr));
    XrStrCopy(request->tag, sizeof request->tag, "0");
}

// Takes one datagram; a valid reply's source becomes the next server. Returns whether more
// replies are wanted.
bool ReceiveReply(DetectContext *context, SOCKET sock, unsigned char *buffer, int *exitCode)
{
    DetectResult *result = context->result;
    sockaddr_in from = {};
    int fromLength = sizeof from;
    int length = recvfrom(sock, reinterpret_cast<char *>(buffer), DETECT_TRANSFER_SIZE, 0,
                          reinterpret_cast<sockaddr *>(&from), &fromLength);
    if (length == SOCKET_ERROR) {
        DetectLogError(kRoutine, "recvfrom()", WSAGetLastError());
        return true;
    }
    DetectPacket reply;
    if (UnpackFromBuf(buffer, length, &reply) == -1) {
        DetectLogError(kRoutine, "recvfrom: Wrong packet size", length);
        return true;
    }
    if (!CheckReplyPacket(&reply)) {
        DetectLogError(kRoutine, "Server reply failed validity check", 0);
        return true;
    }
    result->servers[result->count].in = from;
    result->count++;
    *exitCode = 0;
    in_addr replySource;
    memcpy(&replySource, reply.source.address, sizeof replySource);
    DetectLog(20, "DetectSocksServer(): Received response from %s\n", inet_ntoa(replySource));
    if (result->count == 1) {
        SetEvent(context->firstReplyEvent);
    } else if (result->count == DETECT_MAX_SERVERS) {
        DetectLog(20, "DetectSocksServer(): Maximum allowable number of responses received %d\n",
                  result->count);
        return false;
    }
    return !context->stopAfterFirst;
}

// Listens after one request until its time is up, a cancel datagram, a failed wait or enough
// replies. The time runs from the request on, to the millisecond: datagrams that anyone on the
// network sends meanwhile neither stretch it nor hide that nobody answered, since its end with
// no server stored is a time-out whatever arrived before.
void Listen(DetectContext *context, SOCKET sock, unsigned char *buffer, int *exitCode)
{
    DetectResult *result = context->result;
    const unsigned long long budget =
        context->params->timeout > 0 ? (unsigned long long)context->params->timeout * 1000 : 0;
    const DWORD start = timeGetTime();
    for (bool wanted = true; wanted;) {
        DWORD waited = timeGetTime() - start;
        unsigned long long left = waited < budget ? budget - waited : 0;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(sock, &readable);
        FD_SET(context->cancelSocket, &readable);
        timeval wait = {long(left / 1000), long(left % 1000 * 1000)};
        int ready = g_detectSocketCalls.select(0, &readable, nullptr, nullptr, &wait);
        if (ready > 0 && FD_ISSET(context->cancelSocket, &readable)) {
            DetectLog(XR_LOG_ERROR, "DetectSocksServer(): Cancelled\n");
            result->error = DETECT_ERROR_CANCELLED;
            return;
        }
        if (ready == SOCKET_ERROR) {
            DetectLogError(kRoutine, "select()", WSAGetLastError());
            result->error = DETECT_ERROR_SELECT;
            return;
        }
        wanted = ready > 0 && ReceiveReply(context, sock, buffer, exitCode)
                 && timeGetTime() - start < budget;
    }
    if (result->count == 0) {
        DetectLog(XR_LOG_ERROR, "DetectSocksServer(): select timed out\n");
        result->error = DETECT_ERROR_TIMEOUT;
    }
}

// Sends the request and listens, once more when nobody answered in time. Returns the
// thread's exit code.
int Search(DetectContext *context, SOCKET sock, sockaddr_in local, unsigned char **buffer)
{
    DetectParams *params = context->params;
    DetectResult *result = context->result;
    bool broadcast = params->useAddress == 0;
    int ttl = params->ttl;
    if (g_detectSocketCalls.setsockopt(sock, IPPROTO_IP, broadcast ? IP_TTL : IP_MULTICAST_TTL,
                                       reinterpret_cast<const char *>(&ttl),
                                       sizeof ttl) == SOCKET_ERROR)
        DetectLogError(kRoutine, "setsockopt(TTL)", WSAGetLastError());

    sockaddr_in destination = {};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(params->port);
    if (broadcast)
        BroadcastDestination(&local, &destination);
    else
        destination.sin_addr.s_addr = inet_addr(params->address);

    int exitCode = -1;
    for (int sent = 0; sent < 2; ) {
        DetectPacket request;
        BuildRequest(local, destination, params->port, &request);
        if (!*buffer && !(*buffer = static_cast<unsigned char *>(malloc(DETECT_TRANSFER_SIZE))))
            break;
        int packed = PackToBuf(*buffer, DETECT_TRANSFER_SIZE, &request);
        if (packed == -1) {
            DetectLogError(kRoutine, "PackToBuf failed", packed);
            break;
        }
        if (g_detectSocketCalls.sendto(sock, reinterpret_cast<const char *>(*buffer), packed, 0,
                                       reinterpret_cast<const sockaddr *>(&destination),
                                       sizeof destination) == SOCKET_ERROR) {
            DetectLogError(kRoutine, "sendto()", WSAGetLastError());
            result->error = DETECT_ERROR_SEND;
            break;
        }
        sent++;
        Listen(context, sock, *buffer, &exitCode);
        if (result->count != 0 || result->error != DETECT_ERROR_TIMEOUT)
            break;
    }
    DetectLog(20, "DetectSocksServer(): No of servers found %d\n", result->count);
    return exitCode;
}

// Socket, broadcast permission and bind; a failure ends the run with its code.
SOCKET OpenWorkerSocket(const DetectParams *params, DetectResult *result, sockaddr_in *local)
{
    SOCKET sock = g_detectSocketCalls.socket(AF_INET, SOCK_DGRAM, 0);
    if (sock == INVALID_SOCKET) {
        DetectLogError(kRoutine, "socket()", WSAGetLastError());
        result->error = DETECT_ERROR_SOCKET;
        return INVALID_SOCKET;
    }
    BOOL on = TRUE;
    if (params->useAddress == 0 &&
        g_detectSocketCalls.setsockopt(sock, SOL_SOCKET, SO_BROADCAST,
                                       reinterpret_cast<const char *>(&on),
                                       sizeof on) == SOCKET_ERROR) {
        DetectLogError(kRoutine, "setsockopt(SO_BROADCAST)", WSAGetLastError());
        result->error = DETECT_ERROR_BROADCAST;
        closesocket(sock);
        return INVALID_SOCKET;
    }
    local->sin_family = AF_INET;
    if (g_detectSocketCalls.bind(sock, reinterpret_cast<const sockaddr *>(local), sizeof *local) ==
        SOCKET_ERROR) {
        DetectLogError(kRoutine, "bind()", WSAGetLastError());
        result->error = DETECT_ERROR_BIND;
        closesocket(sock);
        return INVALID_SOCKET;
    }
    int length = sizeof *local;
    getsockname(sock, reinterpret_cast<sockaddr *>(local), &length);
    return sock;
}

uint32_t RunDetect(DetectParams *params, DetectResult *result)
{
    if (!params || !result) {
        DetectLog(XR_LOG_ERROR, "DetectSocksServer() - Invalid param %d %d",
                  int(intptr_t(params)), int(intptr_t(result)));
        return 0;
    }
    auto *context = static_cast<DetectContext *>(calloc(1, sizeof(DetectContext)));
    if (!context) {
        Fail(result, DETECT_ERROR_MEMORY, "DetectSocksServer() - malloc failure %d", errno);
        return 0;
    }
    if (params->waitMode < 1 || params->waitMode > 3)
        params->waitMode = 2;
    memset(result, 0, sizeof *result);

    sockaddr_in cancelAddress = {};
    cancelAddress.sin_family = AF_INET;
    cancelAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int addressLength = sizeof cancelAddress;
    HANDLE event = nullptr;
    HANDLE workerEvent = nullptr;
    HANDLE thread = nullptr;
    SOCKET cancel = socket(AF_INET, SOCK_DGRAM, 0);
    if (cancel == INVALID_SOCKET) {
        Fail(result, DETECT_ERROR_SOCKET, "DetectSocksServer() - socket creation failed %d",
             WSAGetLastError());
    } else if (bind(cancel, reinterpret_cast<const sockaddr *>(&cancelAddress),
                    sizeof cancelAddress) == SOCKET_ERROR) {
        Fail(result, DETECT_ERROR_BIND, "DetectSocksServer() - bind failed %d", WSAGetLastError());
    } else if (getsockname(cancel, reinterpret_cast<sockaddr *>(&cancelAddress),
                           &addressLength) == SOCKET_ERROR) {
        Fail(result, DETECT_ERROR_GETSOCKNAME, "DetectSocksServer() - getsockname failed %d",
             WSAGetLastError());
    } else if (!(event = CreateEventA(nullptr, TRUE, FALSE, nullptr)) ||
               !DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &workerEvent, 0,
                                FALSE, DUPLICATE_SAME_ACCESS)) {
        Fail(result, DETECT_ERROR_EVENT, "DetectSocksServer() - Event creation failed %d",
             int(GetLastError()));
    } else {
        // The worker gets a handle of its own: after a quit message or a failed wait it may
        // still set the event once this call has closed its handle, whose value may by then
        // name another object.
        context->cancelSocket = cancel;
        context->firstReplyEvent = workerEvent;
        context->stopAfterFirst = params->waitMode == 1;
        context->params = params;
        context->result = result;
        thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WorkerThread, context, 0,
                                                         nullptr));
        if (!thread)
            Fail(result, DETECT_ERROR_THREAD,
                 "DetectSocksServer() - WorkerThread creation failed %d", errno);
    }
    if (!thread) {
        if (workerEvent)
            CloseHandle(workerEvent);
        if (event)
            CloseHandle(event);
        if (cancel != INVALID_SOCKET)
            closesocket(cancel);
        free(context);
        return 0;
    }

    const HANDLE handles[2] = {thread, event};
    DWORD waited = WaitWithMessagePump(params->waitMode == 3 ? 1 : 2, handles);
    uint32_t port = 0;
    if (waited == 0 || waited == 1)
        port = cancelAddress.sin_port;
    else
        Fail(result, DETECT_ERROR_WAIT, "DetectSocksServer() - Wait failed %d",
             int(GetLastError()));
    CloseHandle(event);
    CloseHandle(thread);
    return port;
}

}  // namespace

DetectSocketCalls g_detectSocketCalls = {socket, setsockopt, bind, sendto, select};

// Faults are caught as C++ exceptions only: MinGW's GCC has no structured exception blocks,
// and a hardware fault cannot be turned into an exception without them.
uint32_t DetectSocksServer(DetectParams *params, DetectResult *result)
{
    try {
        return RunDetect(params, result);
    } catch (...) {
        DetectLog(XR_LOG_ERROR, "Caught DetectSocksServer() exception!");
        return 0;
    }
}

int CancelSocksDetect(uint32_t port)
{
    if (port == 0)
        return 0;
    try {
        SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (sock == INVALID_SOCKET)
            return 0;
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = u_short(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const char wake[4] = {};
        int sent = sendto(sock, wake, sizeof wake, 0, reinterpret_cast<const sockaddr *>(&to),
                          sizeof to);
        closesocket(sock);
        return sent == sizeof wake ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void DetectSetInAddr(DetectInAddr *to, const sockaddr_in *from)
{
    to->family = DETECT_FAMILY_INET;
    to->port = from->sin_port;
    memcpy(to->address, &from->sin_addr, sizeof to->address);
}

DWORD WaitWithMessagePump(DWORD count, const HANDLE *handles)
{
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return 1;
            DispatchMessageA(&message);
        }
        DWORD waited = MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (waited != WAIT_OBJECT_0 + count)
            return waited;
    }
}

unsigned __stdcall WorkerThread(void *arg)
{
    auto *context = static_cast<DetectContext *>(arg);
    HANDLE done = nullptr;
    unsigned char *buffer = nullptr;
    try {
        SOCKET cancel = context->cancelSocket;
        DetectParams *params = context->params;
        done = params->doneEvent;
        sockaddr_in local = {};
        int exitCode = -1;
        SOCKET sock = OpenWorkerSocket(params, context->result, &local);
        if (sock != INVALID_SOCKET) {
            exitCode = Search(context, sock, local, &buffer);
            closesocket(sock);
        }
        closesocket(cancel);
        CloseHandle(context->firstReplyEvent);
        free(context);
        if (done)
            SetEvent(done);
        free(buffer);
        return unsigned(exitCode);
    } catch (...) {
        free(buffer);
        DetectLog(XR_LOG_ERROR, "Caught WorkerThread exception in DetectSocksServer()!");
        if (done)
            SetEvent(done);
        return unsigned(-1);
    }
}

void DetectServerText(const struct sockaddr_in *server, char *text, size_t size)
{
    snprintf(text, size, "%s:%d", inet_ntoa(server->sin_addr), ntohs(server->sin_port));
}
