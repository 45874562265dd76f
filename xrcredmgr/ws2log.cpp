#include "ws2log.h"

#include <winsock2.h>
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "LockHold.h"
#include "nt/regutil.h"
#include "regnames.h"
#include "xrstr.h"

namespace {

const char kDefaultPath[] = ".\\ws2.log";
const char *const kLevelNames[] = {"Product test log\n", "WSPxxx calls\n",
                                   "WSPxxx and SPxxx calls\n"};

struct Ws2Log {
    signed char level = -1;
    char path[256] = "";
    DWORD lastThread = 0;
};

Ws2Log g_log;
CRITICAL_SECTION g_lock;

/* The first byte of the registry value's data; -1 when there is none. */
signed char RegistryLevel()
{
    char *data = nullptr;
    DWORD size = 0;
    if (XrRegRead(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_WS2LOG_LEVEL, nullptr, &data, &size,
                  nullptr) != 0)
        return -1;
    signed char level = size > 0 ? static_cast<signed char>(data[0]) : -1;
    XrRegRelease(nullptr, data);
    return level;
}

/* WINSOCK_DEBUG as a decimal number cut to 8 bits; 0 when it is not set. */
signed char EnvironmentLevel()
{
    char text[32];
    DWORD length = GetEnvironmentVariableA("WINSOCK_DEBUG", text, sizeof text);
    if (length == 0 || length >= sizeof text)
        return 0;
    return static_cast<signed char>(atoi(text));
}

/* The registry's file path, read into the path as it is stored (its type is not checked). */
void ReadPath()
{
    XrStrCopy(g_log.path, sizeof g_log.path, kDefaultPath);
    char *data = nullptr;
    DWORD size = 0;
    if (XrRegRead(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_WS2LOG_FILE, nullptr, &data, &size,
                  nullptr) != 0)
        return;
    size_t length = size < sizeof g_log.path - 1 ? size : sizeof g_log.path - 1;
    memcpy(g_log.path, data, length);
    g_log.path[length] = '\0';
    XrRegRelease(nullptr, data);
}

void WriteThreadHeader(FILE *file)
{
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    fputs("\n", file);
    if (length == 0 || length >= sizeof exe)
        fputs("(unknown app)\n", file);
    else
        fprintf(file, "(%s)\n", exe);
}

} // namespace

void XrWs2LogLockCreate(void)
{
    InitializeCriticalSection(&g_lock);
}

void XrWs2LogLockDelete(void)
{
    DeleteCriticalSection(&g_lock);
    g_log = Ws2Log{};
}

int XrWs2LogInit(void)
{
    LockHold hold(&g_lock);
    if (g_log.level != -1)
        return g_log.level;
    g_log.level = RegistryLevel();
    if (g_log.level <= 0) {
        g_log.level = EnvironmentLevel();
        if (g_log.level <= 0) {
            g_log.level = 0;
            return 0;
        }
    }
    ReadPath();
    FILE *file = fopen(g_log.path, "a");
    if (!file) {
        g_log.level = 0;
        return 0;
    }
    fprintf(file, "Logging level %d -- ", g_log.level);
    if (g_log.level <= 3)
        fputs(kLevelNames[g_log.level - 1], file);
    fclose(file);
    return g_log.level;
}

void XrWs2Log(int level, const char *format, ...)
{
    if (g_log.level <= 0 || g_log.level < level)
        return;
    LockHold hold(&g_lock);
    int savedError = WSAGetLastError();
    FILE *file = fopen(g_log.path, "a");
    if (!file) {
        g_log.level = 0;
        WSASetLastError(savedError);
        return;
    }
    DWORD thread = GetCurrentThreadId();
    if (thread != g_log.lastThread) {
        WriteThreadHeader(file);
        g_log.lastThread = thread;
    }
    fprintf(file, "%lx ", thread);
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
    fflush(file);
    fclose(file);
    WSASetLastError(savedError);
}
