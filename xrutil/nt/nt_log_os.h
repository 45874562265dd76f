/* What the logging library needs from the system it runs on. nt_log.cpp holds everything else;
 * nt_log_win32.cpp serves these on Windows, log_portable.cpp on the native build. Internal to
 * xrutil. */
#ifndef XRUTIL_NT_LOG_OS_H
#define XRUTIL_NT_LOG_OS_H

#include <stddef.h>

#include "nt_log.h"

/* Open parameters while they are being derived, with room for the texts found on the way. */
struct XrLogSettings {
    XrLogParams params;
    char filePath[1024];
    char errorLibPath[1024];
};

/* The process mutex, made unnamed on first use and kept for the life of the process: a close
 * that let go of it could leave a writer waiting on, or releasing, a mutex nobody else uses.
 * Lock waits without time-out and returns 0 once held, -1 when the mutex cannot be made;
 * only a held lock is unlocked. */
int XrLogOsLock(void);
void XrLogOsUnlock(void);

/* The thread's last system error. */
unsigned long XrLogOsSaveError(void);
void XrLogOsRestoreError(unsigned long error);

/* The system's text for error (from the handle's error library first, where there is one),
 * as the system gives it; empty when there is none. */
void XrLogOsErrorText(const XrLog *log, unsigned long error, char *text, size_t size);

unsigned long XrLogOsProcessId(void);
unsigned long XrLogOsThreadId(void);

/* 0 with the variable's text when it is set, not empty and fits; -1 otherwise. */
int XrLogOsGetEnv(const char *name, char *value, size_t size);

/* The client program's logging settings in the registry. Returns 0 when logging to a file is
 * switched off; otherwise XR_LOG_FILE with the file path set when a log file is named, else
 * XR_LOG_STDERR, and the error message library path set when one is named. */
int32_t XrLogOsReadSettings(XrLogSettings *settings);

/* Lets a read-only file be opened for appending. */
void XrLogOsMakeWritable(const char *path);

/* The event source (clearing the event log flag when it cannot be registered) and the two
 * libraries; a report of one message at its level; their release. */
void XrLogOsOpenServices(XrLog *log, const XrLogParams *params);
void XrLogOsReport(const XrLog *log, int32_t level, const char *message);
void XrLogOsCloseServices(XrLog *log);

#endif
