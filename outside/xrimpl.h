/* The socksifying engine's calls that this system makes, and the records they share.
 *
 * The real engine is a separate component that ships on its own. The library built from
 * outside/xrimpl stands in for it: it exports the same calls with the same contracts, keeps
 * no SOCKS state, transfers bytes on the socket it is given, and carries out ping and
 * traceroute from this machine instead of from a SOCKS server. Its extra exports, marked
 * "test hook" below, exist only in the stand-in. */
#ifndef OUTSIDE_XRIMPL_H
#define OUTSIDE_XRIMPL_H

#include <winsock2.h>
#include <windows.h>
#include <stddef.h>

#ifdef XRIMPL_BUILD
#define XRIMPL_API __declspec(dllexport)
#else
#define XRIMPL_API __declspec(dllimport)
#endif

#ifdef __cplusplus
#define XRIMPL_STATIC_ASSERT(cond, text) static_assert(cond, text)
extern "C" {
#else
#define XRIMPL_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

/* ---- Remote commands ------------------------------------------------------------------ */

/* Registered window messages the engine posts back, one per call that did not fail at once;
 * the status is in wParam, lParam carries nothing. */
#define XR_RPC_MSG_OPEN "RPC_OPEN"
#define XR_RPC_MSG_COMMAND "RPC_COMMAND"
#define XR_RPC_MSG_CANCEL "RPC_CANCEL"
#define XR_RPC_MSG_READ "RPC_READ"

/* Command codes of XrRpcCommand. A ping or traceroute whose destination cannot be resolved
 * or never answers fails: its last read, after all output, answers status 1. */
#define XR_RPC_PING 1
#define XR_RPC_TRACEROUTE 2
#define XR_RPC_READ 4
#define XR_RPC_CANCEL 5

/* Status values in wParam. 0: open and command succeeded, read found no more output, cancel
 * left nothing to read. 2: open and command succeeded, read put a piece in the buffer, cancel
 * left output still to be read. */
#define XR_RPC_STATUS_DONE 0
#define XR_RPC_STATUS_FAILED 1
#define XR_RPC_STATUS_MORE 2

/* Longest piece of output one read delivers, terminator not counted. */
#define XR_RPC_PIECE_MAX 255

/* The record of every XrRpcOpen and XrRpcCommand call; zero-filled before use. The engine
 * copies what it needs during the call, except the result buffer, which it fills later,
 * before posting the read's message. */
typedef struct RpcRequest {
    HWND window;           /* notified of the step's end */
    UINT message;          /* registered message posted to it */
    char destination[255]; /* ping and traceroute: at most 254 characters and a terminator */
    char zero;
    char *result;          /* read and cancel: buffer of resultSize + 1 bytes */
    int resultSize;        /* read and cancel: most characters of a piece (255) */
} RpcRequest;

/* The layout is the 32-bit engine's; the 64-bit test build keeps its order and the sizes of
 * its pointer-free fields. */
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, window) == 0, "RpcRequest layout");
#ifdef _WIN64
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, message) == sizeof(HWND), "RpcRequest layout");
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, destination) == sizeof(HWND) + 4, "RpcRequest layout");
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, zero) == offsetof(RpcRequest, destination) + 255,
                     "RpcRequest layout");
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, resultSize) == offsetof(RpcRequest, result) + sizeof(char *),
                     "RpcRequest layout");
#else
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, message) == 4, "RpcRequest layout");
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, destination) == 8, "RpcRequest layout");
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, zero) == 263, "RpcRequest layout");
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, result) == 264, "RpcRequest layout");
XRIMPL_STATIC_ASSERT(offsetof(RpcRequest, resultSize) == 268, "RpcRequest layout");
XRIMPL_STATIC_ASSERT(sizeof(RpcRequest) == 272, "RpcRequest layout");
#endif

/* One connection of the remote-command facility; 0 when none. */
typedef struct XrRpcSession *XrRpcHandle;

/* Brackets all use of the calls below; XrRpcCleanup closes the connections still open. */
XRIMPL_API void __cdecl XrRpcInit(void);
XRIMPL_API void __cdecl XrRpcCleanup(void);

/* Opens a connection and returns at once; the request's message follows with the outcome.
 * Returns 0, with nothing posted, when the request lacks a window or message, or before
 * XrRpcInit. */
XRIMPL_API XrRpcHandle __cdecl XrRpcOpen(const RpcRequest *request);

/* Starts one step on the connection and returns 0; its message follows. Returns -1, with
 * nothing posted, for an unknown handle or code, a missing request, a second ping or
 * traceroute on one connection, a command after a cancel, a read without a buffer, or a
 * cancel while an earlier cancel is unanswered.
 * Reads are answered in the order made, each with the next piece of output, or with 0 once
 * the command has ended and all output was read. A cancel stops the command; reads waiting at
 * that moment are answered first, then the cancel's message tells whether output remains. */
XRIMPL_API int __cdecl XrRpcCommand(XrRpcHandle handle, int code, const RpcRequest *request);

/* Stops the connection's work and frees it. Steps not answered yet get no message. */
XRIMPL_API void __cdecl XrRpcClose(XrRpcHandle handle);

/* Test hook: number of echoes of a ping (default 4), the pause between them in milliseconds
 * (default 1000), and useTcp 1 to probe with TCP connects instead of ICMP echoes, as the
 * stand-in does by itself when ICMP is not available. Applies to commands started later. */
XRIMPL_API void __cdecl XrImplSetProbePlan(int echoCount, int intervalMs, int useTcp);

/* Test hook: the output's lines end with lineEnd (default "\n"; at most two characters) and one
 * read delivers at most pieceMax characters (default and at most XR_RPC_PIECE_MAX), as from a
 * server that ends its lines otherwise and sends smaller pieces. Applies to connections opened
 * later. */
XRIMPL_API void __cdecl XrImplSetOutputShape(const char *lineEnd, int pieceMax);

/* ---- Socksification of the calling process -------------------------------------------- */

/* 0 leaves the calling process's own sockets unredirected until called again with 1. */
XRIMPL_API void __cdecl WSPSetSocksify(int on);

/* Test hooks: the last value given to WSPSetSocksify in this process (1 before any call),
 * and the number of calls. */
XRIMPL_API int __cdecl XrImplGetSocksify(void);
XRIMPL_API int __cdecl XrImplSocksifyCalls(void);

/* ---- Socket transfer for authentication modules --------------------------------------- */

/* The connection record the engine hands to an authentication handler. Only the fields this
 * system reads or writes are named; the rest belongs to the engine. */
typedef struct XrConnection {
    SOCKET socket;                /* the connection to the SOCKS peer */
    struct in_addr serverAddress; /* the SOCKS server, network order */
    char serverName[256];         /* its host name, empty when only the address is known */
    char engine[257];
    char requestedUser[129];      /* user name given in the peer's request */
    char user[129];               /* authenticated user, filled by a successful server handler */
} XrConnection;

XRIMPL_STATIC_ASSERT(offsetof(XrConnection, socket) == 0, "XrConnection layout");
XRIMPL_STATIC_ASSERT(offsetof(XrConnection, requestedUser) == sizeof(SOCKET) + 4 + 256 + 257,
                     "XrConnection layout");
XRIMPL_STATIC_ASSERT(offsetof(XrConnection, user) == offsetof(XrConnection, requestedUser) + 129,
                     "XrConnection layout");
#ifndef _WIN64
XRIMPL_STATIC_ASSERT(offsetof(XrConnection, requestedUser) == 521, "XrConnection layout");
XRIMPL_STATIC_ASSERT(offsetof(XrConnection, user) == 650, "XrConnection layout");
#endif

/* Send or receive exactly length bytes on s. flags go to the socket call; ioClass (7 from
 * the modules) and context are the engine's own and ignored by the stand-in. Returns length,
 * or the count reached when the peer closed or the socket failed: anything else than length
 * is a failure. */
XRIMPL_API int __cdecl XrIOSend(SOCKET s, XrConnection *connection, char *buffer, int length,
                                int flags, int ioClass, void *context);
XRIMPL_API int __cdecl XrIORecv(SOCKET s, XrConnection *connection, char *buffer, int length,
                                int flags, int ioClass, void *context);

#ifdef __cplusplus
}
#endif

#endif
