/* The logging library: handles, outputs and level derived from the settings, the message line
 * and its three outputs. What differs between systems sits behind nt_log_os.h. */
#include "nt_log.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <atomic>

#include "nt_log_os.h"
#include "xrstr.h"

namespace {

const char kClientProgram[] = "SOCKS5 QVClient";
const char kSdkProgram[] = "SOCKS5 SDK";
const int32_t kDefaultMaxSizeKb = 16384;
const int32_t kDerivedLevel = 255;
/* Longest message line, prefix included. */
const size_t kMessageMax = 2067;
/* The file receives messages only from handles above this level (or exactly at it, for
 * messages of this level). */
const int32_t kFileLevel = 4;

std::atomic<int> g_started{0};
/* Writes under way on this thread: a message issued from inside a write (while looking up an
 * error text, say) is dropped instead of recursing. */
thread_local int t_writing;
/* Read and changed only under the process mutex. */
XrLog *g_processLog;

int32_t Clamp(long long value)
{
    if (value > INT32_MAX)
        return INT32_MAX;
    return value < INT32_MIN ? INT32_MIN : (int32_t)value;
}

/* A decimal environment variable, or fallback when it is not set. */
int32_t EnvNumber(const char *name, int32_t fallback)
{
    char text[32];
    if (XrLogOsGetEnv(name, text, sizeof text) != 0)
        return fallback;
    return Clamp(strtoll(text, NULL, 10));
}

int32_t PathSize(const char *path)
{
    struct stat info;
    return stat(path, &info) == 0 ? Clamp(info.st_size) : 0;
}

/* The file's size now. Counted from the file itself rather than from the stream position:
 * runtimes disagree about that position in append mode. */
int32_t FileSize(FILE *file)
{
    struct stat info;
    fflush(file);
    return fstat(fileno(file), &info) == 0 ? Clamp(info.st_size) : 0;
}

void DeriveFromEnvironment(XrLogSettings *settings, const char *variable, int32_t *flags)
{
    char output[sizeof settings->filePath];
    if (XrLogOsGetEnv(variable, output, sizeof output) != 0)
        return;
    if (XrStrSameText(output, "stderr")) {
        *flags = XR_LOG_STDERR;
        return;
    }
    *flags = XR_LOG_FILE;
    XrLogParams *params = &settings->params;
    if (!params->filePath || !params->filePath[0]) {
        XrStrCopy(settings->filePath, sizeof settings->filePath, output);
        params->filePath = settings->filePath;
    }
    /* LOG_SIZE counts megabytes. */
    int32_t megabytes = EnvNumber("LOG_SIZE", kDefaultMaxSizeKb / 1024);
    params->maxSizeKb = Clamp((long long)megabytes * 1024);
    params->sizePolicy = XR_LOG_POLICY_STOP_QUIET;
}

void Derive(XrLogSettings *settings, int32_t *flags, int32_t *level)
{
    *flags = 0;
    *level = 0;
    const char *program = settings->params.programName;
    int client = program && XrStrSameText(program, kClientProgram);
    if (client) {
        *flags = XrLogOsReadSettings(settings);
        if (*flags)
            *level = kDerivedLevel;
        if (*flags == XR_LOG_FILE) {
            settings->params.maxSizeKb = kDefaultMaxSizeKb;
            settings->params.sizePolicy = XR_LOG_POLICY_STOP_QUIET;
        }
    }
    if (*flags == 0 && (client || (program && XrStrSameText(program, kSdkProgram))))
        DeriveFromEnvironment(settings, client ? "VOLA_LOG_OUTPUT" : "LOG_OUTPUT", flags);
    if (*flags && *level == 0)
        *level = client ? EnvNumber("VOLA_DEBUG", kDerivedLevel) : kDerivedLevel;
}

int ParamsValid(const XrLogParams *params, int32_t flags)
{
    if (params->version != XR_LOG_VERSION)
        return 0;
    if ((flags & XR_LOG_FILE) && !params->filePath)
        return 0;
    if ((flags & XR_LOG_EVENTLOG) && !params->programName)
        return 0;
    if (params->maxSizeKb > 0 && !params->sizePolicy)
        return 0;
    return !(params->maxSizeKb < 0 && params->sizePolicy);
}

FILE *OpenForAppend(const char *path)
{
    FILE *file = fopen(path, "a");
    if (!file) {
        XrLogOsMakeWritable(path);
        file = fopen(path, "a");
    }
    return file;
}

/* 0: file open and logging may start; 1: file already full, open succeeds without logging;
 * -1: open fails. */
int OpenFile(XrLog *log, const XrLogParams *params)
{
    /* A cut name would be another file: refuse the path rather than log somewhere unexpected. */
    if (XrStrCopy(log->filePath, sizeof log->filePath, params->filePath) != 0) {
        fprintf(stderr, "Log file path longer than %d characters: %s\n",
                (int)sizeof log->filePath - 1, params->filePath);
        return -1;
    }
    log->initialSize = PathSize(log->filePath);
    log->file = OpenForAppend(log->filePath);
    if (!log->file)
        return -1;
    log->maxSize = Clamp((long long)params->maxSizeKb * 1024);
    log->sizePolicy = params->sizePolicy;
    if (log->sizePolicy == XR_LOG_POLICY_STOP || log->sizePolicy == XR_LOG_POLICY_STOP_QUIET) {
        if (log->initialSize > log->maxSize) {
            fprintf(stderr, "Log file %s already exceeds maximum size %d bytes\n", log->filePath,
                    (int)log->maxSize);
            return 1;
        }
        return 0;
    }
    if (log->sizePolicy == XR_LOG_POLICY_REOPEN)
        return 0;
    fclose(log->file);
    log->file = NULL;
    return -1;
}

int OpenLocked(XrLog **log, int32_t flags, int32_t level, const XrLogParams *params)
{
    XrLogSettings settings = {};
    if (params)
        settings.params = *params;
    else {
        settings.params.version = XR_LOG_VERSION;
        settings.params.programName = kSdkProgram;
    }
    if (flags == -1 && level == -1)
        Derive(&settings, &flags, &level);
    if (!ParamsValid(&settings.params, flags))
        return -1;

    XrLog *handle = (XrLog *)calloc(1, sizeof *handle);
    if (!handle) {
        fputs("Out of memory allocating log handle.\n", stderr);
        return -1;
    }
    handle->version = XR_LOG_VERSION;
    handle->flags = flags;
    handle->level = level;
    *log = handle;
    if (flags < 1 || level < 1)
        return 0;

    if ((flags & XR_LOG_FILE) && settings.params.filePath[0]) {
        int opened = OpenFile(handle, &settings.params);
        if (opened < 0) {
            free(handle);
            *log = NULL;
            return -1;
        }
        if (opened > 0) {
            g_started = 0;
            return 0;
        }
    }
    XrLogOsOpenServices(handle, &settings.params);
    g_started = 1;
    return 0;
}

/* path followed by number, or path itself for number 0. */
void CopyName(char *name, size_t size, const char *path, int32_t number)
{
    if (number > 0)
        snprintf(name, size, "%s%d", path, (int)number);
    else
        XrStrCopy(name, size, path);
}

/* Size policy 2: another process may have moved the file away meanwhile, so open it again;
 * when it is still full, shift the kept copies up by one and start a new file. With no copies
 * kept the full file itself starts again: its old lines are what no copy keeps, and the limit
 * holds. It is emptied in place rather than removed, which fails while another handle has it
 * open. */
void Reopen(XrLog *log)
{
    fclose(log->file);
    log->file = fopen(log->filePath, "a");
    if (!log->file) {
        fprintf(stderr, "can't open `%s' for logging\n", log->filePath);
        return;
    }
    if (FileSize(log->file) <= log->maxSize)
        return;
    fclose(log->file);
    for (int32_t i = log->keptCopies; i >= 1; --i) {
        char older[sizeof log->filePath + 12];
        char newer[sizeof older];
        CopyName(older, sizeof older, log->filePath, i);
        CopyName(newer, sizeof newer, log->filePath, i - 1);
        remove(older);
        rename(newer, older);
    }
    if (log->keptCopies < 1) {
        FILE *emptied = fopen(log->filePath, "w");
        if (emptied)
            fclose(emptied);
    }
    log->initialSize = PathSize(log->filePath);
    log->file = fopen(log->filePath, "a");
    if (!log->file)
        fprintf(stderr, "can't open %s for logging\n", log->filePath);
}

/* Writes format with every "%m" replaced by errorText into out (or only counts, for a null
 * out). '%' in the error text are doubled so that formatting leaves them alone; "%%" is kept
 * as it is so that "%%m" stays a literal "%m". Returns the length. */
size_t Expand(char *out, const char *format, const char *errorText)
{
    size_t length = 0;
    auto put = [out, &length](char c) {
        if (out)
            out[length] = c;
        ++length;
    };
    for (const char *f = format; *f; ++f) {
        if (f[0] == '%' && f[1] == 'm') {
            for (const char *e = errorText; *e; ++e) {
                put(*e);
                if (*e == '%')
                    put('%');
            }
            ++f;
        } else {
            put(*f);
            if (f[0] == '%' && f[1] == '%')
                put(*++f);
        }
    }
    if (out)
        out[length] = '\0';
    return length;
}

void ErrorText(const XrLog *log, unsigned long error, char *text, size_t size)
{
    XrLogOsErrorText(log, error, text, size);
    size_t length = strlen(text);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r'))
        text[--length] = '\0';
    if (length == 0)
        XrStrCopy(text, size, "Unknown error");
}

/* The message after the prefix: the format with "%m" expanded, formatted with the arguments. */
void FormatBody(const XrLog *log, char *body, size_t size, const char *format, va_list args,
                unsigned long error)
{
    char errorText[1024] = "";
    if (strstr(format, "%m"))
        ErrorText(log, error, errorText, sizeof errorText);
    char *expanded = (char *)malloc(Expand(NULL, format, errorText) + 1);
    if (!expanded) {
        /* Out of memory: the format as plain text is still worth a line. */
        XrStrCopy(body, size, format);
        return;
    }
    Expand(expanded, format, errorText);
    vsnprintf(body, size, expanded, args);
    free(expanded);
}

/* The file output. Returns -1 when the file has just reached its limit and logging stops. */
int WriteFile(XrLog *log, const char *message)
{
    if (FileSize(log->file) > log->maxSize) {
        if (log->sizePolicy != XR_LOG_POLICY_REOPEN) {
            fprintf(log->file, "Log file %s exceeds maximum size %d bytes--logging stopped.\n",
                    log->filePath, (int)log->maxSize);
            fflush(log->file);
            g_started = 0;
            return -1;
        }
        Reopen(log);
        if (!log->file)
            return 0;
    }
    char stamp[32];
    time_t now = time(NULL);
    struct tm *local = localtime(&now);
    if (!local || strftime(stamp, sizeof stamp, "%b %d %H:%M:%S", local) == 0)
        stamp[0] = '\0';
    fprintf(log->file, "%.16s%s\n", stamp, message);
    fflush(log->file);
    return 0;
}

void Emit(XrLog *log, int32_t level, int32_t code, const char *format, va_list args,
          unsigned long error)
{
    char message[kMessageMax + 1];
    int toFile = (log->flags & XR_LOG_FILE) != 0;
    int prefix = snprintf(message, sizeof message, "%s%05u:%06u%s", toFile ? "[" : "",
                          (unsigned)XrLogOsProcessId(), (unsigned)XrLogOsThreadId(),
                          toFile ? "]: " : ": ");
    if (code == XR_LOG_PLAIN)
        XrStrCopy(message + prefix, sizeof message - prefix, format);
    else
        FormatBody(log, message + prefix, sizeof message - prefix, format, args, error);

    if (log->flags & XR_LOG_STDERR) {
        fprintf(stderr, "%s\n", message);
        fflush(stderr);
    }
    if (toFile && log->file
        && (log->level > kFileLevel || (log->level == kFileLevel && level == kFileLevel))
        && WriteFile(log, message) != 0)
        return;
    if (log->flags & XR_LOG_EVENTLOG)
        XrLogOsReport(log, level, message);
}

}  // namespace

int XrLogOpen(XrLog **log, int32_t flags, int32_t level, const XrLogParams *params)
{
    if (!log || XrLogOsLock() != 0)
        return -1;
    /* Checked under the lock: two threads opening one variable must not both fill it. */
    int result = *log ? -1 : OpenLocked(log, flags, level, params);
    XrLogOsUnlock();
    return result;
}

void XrLogWriteV(XrLog *log, int32_t level, int32_t code, const char *format, va_list args)
{
    unsigned long error = XrLogOsSaveError();
    if (g_started && XrLogOsLock() == 0) {
        XrLog *handle = log ? log : g_processLog;
        if (handle && handle->flags && handle->level != -1 && level <= handle->level
            && t_writing == 0 && format) {
            ++t_writing;
            Emit(handle, level, code, format, args, error);
            --t_writing;
        }
        XrLogOsUnlock();
    }
    XrLogOsRestoreError(error);
}

void XrLogWrite(XrLog *log, int32_t level, int32_t code, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    XrLogWriteV(log, level, code, format, args);
    va_end(args);
}

void XrLogProcess(XrLog *log, int32_t level, int32_t code, const char *format, ...)
{
    unsigned long error = XrLogOsSaveError();
    if (log && level <= log->level) {
        va_list args;
        va_start(args, format);
        XrLogWriteV(log, level, code, format, args);
        va_end(args);
    }
    XrLogOsRestoreError(error);
}

int XrLogClose(XrLog **log)
{
    if (!log || XrLogOsLock() != 0)
        return -1;
    /* Checked under the lock: of two threads closing one variable, the second finds it empty. */
    XrLog *handle = *log;
    if (handle) {
        if (handle->file)
            fclose(handle->file);
        XrLogOsCloseServices(handle);
        free(handle);
        *log = NULL;
        g_started = 0;
    }
    XrLogOsUnlock();
    return handle ? 0 : -1;
}

XrLog **XrLogProcessHandle(void)
{
    return &g_processLog;
}

int XrLogStarted(void)
{
    return g_started;
}
