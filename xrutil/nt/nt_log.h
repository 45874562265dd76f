/* Logging: standard error, a size-limited file, the system event log. Levels 1 error,
 * 2 warning, 3 information, 10 detail. No Windows types here, so portable code can log. */
#ifndef XRUTIL_NT_LOG_H
#define XRUTIL_NT_LOG_H

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

#define XR_LOG_VERSION 3

#define XR_LOG_STDERR 0x1
#define XR_LOG_EVENTLOG 0x2
#define XR_LOG_FILE 0x4

#define XR_LOG_ERROR 1
#define XR_LOG_WARNING 2
#define XR_LOG_INFO 3
#define XR_LOG_DETAIL 10

#define XR_LOG_POLICY_STOP 1
#define XR_LOG_POLICY_REOPEN 2
#define XR_LOG_POLICY_STOP_QUIET 3

/* Format written as plain text: no formatting, no "%m". */
#define XR_LOG_PLAIN (-1)

typedef struct XrLogParams {
    int32_t version;
    const char *programName;
    const char *filePath;
    int32_t maxSizeKb;
    int32_t sizePolicy;
    const char *resourceLibPath;
    const char *errorLibPath;
} XrLogParams;

typedef struct XrLog {
    int32_t version;
    int32_t flags;
    int32_t level;
    char filePath[260];
    FILE *file;
    int32_t maxSize;
    int32_t sizePolicy;
    int32_t keptCopies; /* older files kept by policy 2; open leaves 0, the caller may set it */
    int32_t initialSize;
    void *eventSource;  /* HANDLE from RegisterEventSourceA */
    void *resourceLib;  /* HMODULE */
    void *errorLib;     /* HMODULE */
} XrLog;

/* flags and level both -1: derive them from the registry and the environment. */
int XrLogOpen(XrLog **log, int32_t flags, int32_t level, const XrLogParams *params);
/* log null: the process log handle. */
void XrLogWrite(XrLog *log, int32_t level, int32_t code, const char *format, ...);
void XrLogWriteV(XrLog *log, int32_t level, int32_t code, const char *format, va_list args);
int XrLogClose(XrLog **log);
void XrLogProcess(XrLog *log, int32_t level, int32_t code, const char *format, ...);

/* The process log handle variable: open it with XrLogOpen(XrLogProcessHandle(), ...). */
XrLog **XrLogProcessHandle(void);
/* 1 while some open has started logging in this process (and no limit or close stopped it). */
int XrLogStarted(void);

#ifdef __cplusplus
}
#endif

#endif
