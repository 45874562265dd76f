// Shows one of the shared dialogs by name, for screenshots: show_dialog error|about
#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include "AboutDialog.h"
#include "ErrorDialog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    InitCommonControls();
    if (strcmp(commandLine, "error") == 0) {
        ShowErrorDialog("Ferrowin Client", "Could not open Ferrowin Client registry.",
                        "The program was not installed correctly.");
        return 0;
    }
    if (strcmp(commandLine, "about") == 0) {
        AboutDialog about;
        about.SetIcon(LoadIcon(nullptr, IDI_APPLICATION));
        about.SetBuildDate("Tue Jan 16 15:41:36 2001");
        about.SetLinkText("http://www.ferrowin.example/");
        about.DoModal();
        return 0;
    }
    return 1;
}
