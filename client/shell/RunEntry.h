// The settings program's entry in the system's Run key, which starts the logon refresh
// ("client.exe startup") at every logon while automatic detection or configuration by URL is on.
#ifndef CLIENT_SHELL_RUNENTRY_H
#define CLIENT_SHELL_RUNENTRY_H

#include <windows.h>

// name "proxy": value is the new detection setting; name "config": the new configuration-by-URL
// setting. The other setting is read from the client key. Writes or deletes the entry; false
// (after the error dialog) when the registry could not be read or written.
bool UpdateRunEntry(const char *name, DWORD value);

#endif
