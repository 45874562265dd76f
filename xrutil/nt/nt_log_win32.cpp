/* The logging library's Windows side: the process mutex, system error texts, the client's
 * logging settings in the registry and the event log. */
#include <windows.h>

#include <string.h>

#include "nt_log_os.h"
#include "regnames.h"
#include "regutil.h"
#include "xrstr.h"

namespace {

const DWORD kEventId = 0x40000001;

void *volatile g_mutex;

/* A value of the client key, from the user's hive first, then from the machine's. */
int ReadClientValue(const char *name, DWORD *type, char **value, DWORD *size)
{
    if (XrRegRead(HKEY_CURRENT_USER, XR_CLIENT_KEY, name, type, value, size, NULL) == 0)
        return 0;
    return XrRegRead(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, name, type, value, size, NULL);
}

/* The value as text, whatever its type: the read buffer has room for a terminator. */
void TakeText(char *dest, size_t destSize, char *value, DWORD size)
{
    value[size] = '\0';
    XrStrCopy(dest, destSize, value);
    XrRegRelease(NULL, value);
}

void Report(const XrLog *log, WORD type, const char *text)
{
    ReportEventA((HANDLE)log->eventSource, type, 0, kEventId, NULL, 1, 0, &text, NULL);
}

void *LoadDataFile(const XrLog *log, const char *path, const char *failure)
{
    if (!path || !path[0])
        return NULL;
    HMODULE library = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!library && log->eventSource)
        Report(log, EVENTLOG_ERROR_TYPE, failure);
    return (void *)library;
}

}  // namespace

int XrLogOsLock(void)
{
    HANDLE mutex = g_mutex;
    if (!mutex) {
        HANDLE made = CreateMutexA(NULL, FALSE, NULL);
        if (!made)
            return -1;
        mutex = InterlockedCompareExchangePointer(&g_mutex, made, NULL);
        if (mutex)
            CloseHandle(made);
        else
            mutex = made;
    }
    /* An abandoned mutex is owned all the same. */
    return WaitForSingleObject(mutex, INFINITE) == WAIT_FAILED ? -1 : 0;
}

void XrLogOsUnlock(void)
{
    ReleaseMutex(g_mutex);
}

unsigned long XrLogOsSaveError(void)
{
    return GetLastError();
}

void XrLogOsRestoreError(unsigned long error)
{
    SetLastError(error);
}

void XrLogOsErrorText(const XrLog *log, unsigned long error, char *text, size_t size)
{
    DWORD source = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (log->errorLib)
        source |= FORMAT_MESSAGE_FROM_HMODULE;
    DWORD length = FormatMessageA(source, log->errorLib, error, 0, text, (DWORD)size, NULL);
    if (length == 0)
        text[0] = '\0';
}

unsigned long XrLogOsProcessId(void)
{
    return GetCurrentProcessId();
}

unsigned long XrLogOsThreadId(void)
{
    return GetCurrentThreadId();
}

int XrLogOsGetEnv(const char *name, char *value, size_t size)
{
    DWORD length = GetEnvironmentVariableA(name, value, (DWORD)size);
    return length > 0 && length < size ? 0 : -1;
}

int32_t XrLogOsReadSettings(XrLogSettings *settings)
{
    DWORD type = 0;
    DWORD size = 0;
    char *value = NULL;
    if (ReadClientValue(XR_VALUE_ENABLE_LOG_TO_FILE, &type, &value, &size) == 0) {
        DWORD enabled = 1;
        if (type == REG_DWORD && size >= sizeof enabled)
            memcpy(&enabled, value, sizeof enabled);
        XrRegRelease(NULL, value);
        if (enabled == 0)
            return 0;
    }
    int32_t flags = XR_LOG_STDERR;
    if (ReadClientValue(XR_VALUE_DEBUG_LOG_FILE, &type, &value, &size) == 0) {
        TakeText(settings->filePath, sizeof settings->filePath, value, size);
        settings->params.filePath = settings->filePath;
        flags = XR_LOG_FILE;
    }
    if (XrRegRead(HKEY_LOCAL_MACHINE, XR_COMMON_KEY, XR_VALUE_ERROR_MESSAGE_DLL_FILE, &type, &value, &size,
                  NULL) == 0) {
        TakeText(settings->errorLibPath, sizeof settings->errorLibPath, value, size);
        settings->params.errorLibPath = settings->errorLibPath;
    }
    return flags;
}

void XrLogOsMakeWritable(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

void XrLogOsOpenServices(XrLog *log, const XrLogParams *params)
{
    if (log->flags & XR_LOG_EVENTLOG) {
        log->eventSource = (void *)RegisterEventSourceA(NULL, params->programName);
        if (!log->eventSource)
            log->flags &= ~XR_LOG_EVENTLOG;
    }
    log->resourceLib = LoadDataFile(log, params->resourceLibPath,
                                    "Failed to load resource library.");
    log->errorLib = LoadDataFile(log, params->errorLibPath, "Failed to load error library.");
}

void XrLogOsReport(const XrLog *log, int32_t level, const char *message)
{
    static const WORD kTypes[] = {EVENTLOG_ERROR_TYPE, EVENTLOG_WARNING_TYPE,
                                  EVENTLOG_INFORMATION_TYPE};
    if (log->eventSource && level >= XR_LOG_ERROR && level <= XR_LOG_INFO)
        Report(log, kTypes[level - XR_LOG_ERROR], message);
}

void XrLogOsCloseServices(XrLog *log)
{
    if (log->eventSource)
        DeregisterEventSource((HANDLE)log->eventSource);
    if (log->resourceLib)
        FreeLibrary((HMODULE)log->resourceLib);
    if (log->errorLib)
        FreeLibrary((HMODULE)log->errorLib);
}
