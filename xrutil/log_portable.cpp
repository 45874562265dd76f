/* The logging library's system side for the native build, standing in for the Windows one:
 * standard error and file outputs only. There is no registry (the environment alone steers the
 * log) and no event log; "%m" gives the C library's text for errno. */
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "nt/nt_log_os.h"
#include "xrstr.h"

namespace {
std::recursive_mutex g_mutex;
}

int XrLogOsLock(void)
{
    g_mutex.lock();
    return 0;
}

void XrLogOsUnlock(void)
{
    g_mutex.unlock();
}

unsigned long XrLogOsSaveError(void)
{
    return (unsigned long)errno;
}

void XrLogOsRestoreError(unsigned long error)
{
    errno = (int)error;
}

void XrLogOsErrorText(const XrLog *, unsigned long error, char *text, size_t size)
{
    XrStrCopy(text, size, strerror((int)error));
}

unsigned long XrLogOsProcessId(void)
{
    return (unsigned long)getpid();
}

unsigned long XrLogOsThreadId(void)
{
    return (unsigned long)gettid();
}

int XrLogOsGetEnv(const char *name, char *value, size_t size)
{
    const char *text = getenv(name);
    return text && text[0] && XrStrCopy(value, size, text) == 0 ? 0 : -1;
}

int32_t XrLogOsReadSettings(XrLogSettings *)
{
    return 0;
}

void XrLogOsMakeWritable(const char *path)
{
    struct stat info;
    if (stat(path, &info) == 0)
        chmod(path, info.st_mode | S_IWUSR);
}

void XrLogOsOpenServices(XrLog *log, const XrLogParams *)
{
    log->flags &= ~XR_LOG_EVENTLOG;
}

void XrLogOsReport(const XrLog *, int32_t, const char *)
{
}

void XrLogOsCloseServices(XrLog *)
{
}
