// Socksification switch and the exact-length socket transfer that authentication modules use.
#include "xrimpl.h"

static volatile LONG gSocksify = 1;
static volatile LONG gSocksifyCalls = 0;

void __cdecl WSPSetSocksify(int on)
{
    InterlockedExchange(&gSocksify, on);
    InterlockedIncrement(&gSocksifyCalls);
}

int __cdecl XrImplGetSocksify(void)
{
    return InterlockedCompareExchange(&gSocksify, 0, 0);
}

int __cdecl XrImplSocksifyCalls(void)
{
    return InterlockedCompareExchange(&gSocksifyCalls, 0, 0);
}

// Sockets may move fewer bytes per call than asked; a module's message is only usable whole.
static int Transfer(SOCKET s, char *buffer, int length, int flags, bool sending)
{
    int done = 0;
    while (done < length) {
        int n = sending ? send(s, buffer + done, length - done, flags)
                        : recv(s, buffer + done, length - done, flags);
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int __cdecl XrIOSend(SOCKET s, XrConnection *, char *buffer, int length, int flags, int, void *)
{
    return Transfer(s, buffer, length, flags, true);
}

int __cdecl XrIORecv(SOCKET s, XrConnection *, char *buffer, int length, int flags, int, void *)
{
    return Transfer(s, buffer, length, flags, false);
}
