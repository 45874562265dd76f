/* Registry keys and values that the credential manager and its provider installer read. */
#ifndef XRCREDMGR_REGNAMES_H
#define XRCREDMGR_REGNAMES_H

/* HKEY_LOCAL_MACHINE: the client key and the WinSock2 debug log values in it. */
#define XR_CLIENT_KEY "SOFTWARE\\Varo\\Ferrowin Client\\2.0"
#define XR_WS2LOG_LEVEL_VALUE "WinSock2 Log Level"
#define XR_WS2LOG_FILE_VALUE "WinSock2 Log File"

/* HKEY_LOCAL_MACHINE: a non-zero 4-byte number here switches the manager to test mode. */
#define XR_TESTING_KEY "Software\\Varo\\Testing"
#define XR_TESTING_VALUE "XrClient"

/* HKEY_CURRENT_USER: where the credential cache keeps its data. */
#define XR_CREDENTIALS_KEY "Software\\Varo\\SOCKS5 Credentials\\3.0"

#endif
