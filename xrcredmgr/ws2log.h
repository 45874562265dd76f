/* WinSock2 debug log: a plain-text trace of the Winsock provider side, switched on by the
 * registry values "WinSock2 Log Level" / "WinSock2 Log File" of the client key or by the
 * environment variable WINSOCK_DEBUG. Separate from the runtime log of xrutil.
 *
 * The file is opened and closed for every line, so other processes may append between lines.
 * Every call holds the log lock, which the process creates before the first call and deletes
 * after the last. */
#ifndef XRCREDMGR_WS2LOG_H
#define XRCREDMGR_WS2LOG_H

#ifdef __cplusplus
extern "C" {
#endif

void XrWs2LogLockCreate(void);
/* Deleting the lock also returns the log to its state before initialisation. */
void XrWs2LogLockDelete(void);

/* Reads the settings once (while the level is still -1) and writes the file's header line.
 * Returns the level: 0 off, 1 to 127 on, higher is more detail. */
int XrWs2LogInit(void);

/* Appends one line when the level is at least `level`. Callers end their texts with "\n".
 * The socket layer's last error is the same after the call as before. */
void XrWs2Log(int level, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;

#ifdef __cplusplus
}
#endif

#endif
