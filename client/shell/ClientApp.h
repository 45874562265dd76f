// The settings program's application object. Initialisation decides, once per process, what this
// run is (a second instance, the logon refresh, the setup wizard or the main sheet) and does it;
// no message loop of its own follows. Exit releases what initialisation set up.
#ifndef CLIENT_SHELL_CLIENTAPP_H
#define CLIENT_SHELL_CLIENTAPP_H

#include <windows.h>

#include "ClientSettings.h"

class ClientApp {
public:
    // commandLine: the parameters after the program name. Always 0: no message loop is to run.
    int InitInstance(const char *commandLine);
    // The process's exit code.
    int ExitInstance();

    ClientSettings settings;

private:
    void LogonRefresh();
    void DetectAtStartup();
    void ApplyAuthentication(DWORD useAuthentication);
    void RunPropertySheet();
    void RunWizard(DWORD setupInProgress);
    void StartCredentialManager();

    bool pluginsOpen_ = false;
};

#endif
