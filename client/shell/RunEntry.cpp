#include "RunEntry.h"

#include <string>

#include "RegistryKey.h"
#include "Seams.h"
#include "regnames.h"

namespace {

const char kProgram[] = "client.exe";
const char kStartupWord[] = " startup";

bool Failed()
{
    g_shellSeams.errorDialog("", "Could not access program registry information.",
                             "The program was not installed correctly.");
    return false;
}

}

bool UpdateRunEntry(const char *name, DWORD value)
{
    RegistryKey client;
    if (!client.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        return Failed();
    DWORD stored = 0;
    bool detection = lstrcmpA(name, "proxy") == 0
                         ? value != 0
                         : client.ReadNumber(XR_VALUE_PROXY_METHOD, stored) && stored != 0;
    bool byUrl = value != 0;
    if (lstrcmpA(name, "config") != 0 && client.ReadNumber(XR_VALUE_WIZARD_LAST_USED_IMPORT, stored))
        byUrl = stored != 0;

    RegistryKey run;
    if (!run.Create(HKEY_LOCAL_MACHINE, XR_RUN_KEY))
        return Failed();
    if (!detection && !byUrl) {
        run.DeleteValue(XR_VALUE_STARTUP);
        return true;
    }
    std::string directory;
    if (!client.ReadString(XR_VALUE_INSTALLATION_DIRECTORY, directory) || directory.empty())
        return Failed();
    if (directory.back() != '\\')
        directory += '\\';
    std::string program = directory + kProgram;
    // The Run key holds a command line: a path with blanks must be quoted to stay one word.
    if (program.find(' ') != std::string::npos)
        program = "\"" + program + "\"";
    if (!run.WriteString(XR_VALUE_STARTUP, program + kStartupWord))
        return Failed();
    return true;
}
