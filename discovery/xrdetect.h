/* Discovery of SOCKS servers on the local network by one UDP datagram. The caller starts
 * Winsock (WSAStartup) before the first call. */
#ifndef DISCOVERY_XRDETECT_H
#define DISCOVERY_XRDETECT_H

#include <stdint.h>
#include <winsock2.h>
#include <windows.h>

#include "xrdetect_packet.h"

#ifdef __cplusplus
extern "C" {
#endif

#define DETECT_MAX_SERVERS 16
#define DETECT_ADDRESS_AREA 260
#define DETECT_TRANSFER_SIZE 544

/* Outcome codes left in DetectResult.error. */
#define DETECT_ERROR_TIMEOUT 1
#define DETECT_ERROR_EVENT 2
#define DETECT_ERROR_THREAD 3
#define DETECT_ERROR_WAIT 4
#define DETECT_ERROR_MEMORY 5
#define DETECT_ERROR_SOCKET 11
#define DETECT_ERROR_BIND 12
#define DETECT_ERROR_GETSOCKNAME 13
#define DETECT_ERROR_BROADCAST 15
#define DETECT_ERROR_SEND 16
#define DETECT_ERROR_SELECT 17
#define DETECT_ERROR_CANCELLED 1223

typedef struct DetectParams {
    int32_t timeout;    /* seconds of listening after each request */
    int32_t ttl;
    int32_t useAddress; /* 0: broadcast on the local /24 subnet */
    HANDLE doneEvent;   /* set when the worker ends; may be null */
    uint16_t port;      /* host order */
    char address[18];   /* dotted IPv4, used when useAddress is non-zero */
    int32_t waitMode;   /* 1 first reply and stop, 2 first reply, 3 worker's end; else 2 */
} DetectParams;

/* Only the socket address of an entry is used. */
typedef union DetectServerAddress {
    struct sockaddr_in in;
    unsigned char area[DETECT_ADDRESS_AREA];
} DetectServerAddress;

typedef struct DetectResult {
    int32_t count;
    DetectServerAddress servers[DETECT_MAX_SERVERS];
    int32_t error;
} DetectResult;

/* Handed to the worker, which frees it; the cancel socket and the first-reply event handle
 * belong to the worker too. */
typedef struct DetectContext {
    SOCKET cancelSocket;
    HANDLE firstReplyEvent;
    int32_t stopAfterFirst;
    DetectParams *params;
    DetectResult *result;
} DetectContext;

/* The worker's socket calls whose failure ends its run, defaulting to Winsock's own. Tests
 * replace one to make that step fail; the caller's cancel socket does not go through them. */
typedef struct DetectSocketCalls {
    SOCKET(WSAAPI *socket)(int family, int type, int protocol);
    int(WSAAPI *setsockopt)(SOCKET sock, int level, int name, const char *value, int length);
    int(WSAAPI *bind)(SOCKET sock, const struct sockaddr *address, int length);
    int(WSAAPI *sendto)(SOCKET sock, const char *buffer, int length, int flags,
                        const struct sockaddr *to, int toLength);
    int(WSAAPI *select)(int count, fd_set *readable, fd_set *writable, fd_set *failed,
                        const PTIMEVAL timeout);
} DetectSocketCalls;

extern DetectSocketCalls g_detectSocketCalls;

/* The cancel socket's port (network order) when the wait ended normally, else 0. In wait
 * modes 1 and 2 the worker may still run: stop it with CancelSocksDetect, and keep params and
 * result alive until it has ended. */
uint32_t DetectSocksServer(DetectParams *params, DetectResult *result);
/* 1 when the wake datagram went to 127.0.0.1 at port (network order), else 0. */
int CancelSocksDetect(uint32_t port);
/* Index of the signalled handle, 1 when a quit message was seen, or WAIT_FAILED. */
DWORD WaitWithMessagePump(DWORD count, const HANDLE *handles);
/* The packet's form of a socket address. */
void DetectSetInAddr(DetectInAddr *to, const struct sockaddr_in *from);

/* A found server as the registry value "Server" and the outputs show it: "a.b.c.d:port". */
void DetectServerText(const struct sockaddr_in *server, char *text, size_t size);
/* Thread procedure for _beginthreadex; ends with 0 when a server was stored, else -1. */
unsigned __stdcall WorkerThread(void *context);

#ifdef __cplusplus
}
#endif

#endif
