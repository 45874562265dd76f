// The "Use Authentication" switch carried over to the plug-in registry: the logon refresh, the
// wizard and the General page keep the plug-ins' client modules in step with it.
#ifndef CLIENT_SHELL_PLUGINSWITCH_H
#define CLIENT_SHELL_PLUGINSWITCH_H

#include <windows.h>

// Every client module but the built-in null authentication enabled or disabled; a failure is
// reported by the error dialog.
void ApplyAuthenticationToPlugIns(DWORD useAuthentication);

#endif
