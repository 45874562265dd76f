// client.exe, the settings program "Ferrowin Client Properties".
#include <windows.h>

#include "ClientApp.h"
#include "Seams.h"

namespace {

// Exists from static construction to process end, with its settings.
ClientApp theApp;

}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    ShellSeamsFromEnvironment();
    theApp.InitInstance(commandLine);
    return theApp.ExitInstance();
}
