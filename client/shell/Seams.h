// Where the settings program meets the user or the network in ways a test answers instead:
// message boxes, error dialogs, file dialogs, the notification-area icon and server discovery.
// Each is one function pointer that defaults to the real call.
#ifndef CLIENT_SHELL_SEAMS_H
#define CLIENT_SHELL_SEAMS_H

#include <winsock2.h>
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <stdint.h>

#include <string>

#include "xrdetect.h"

struct ShellSeams {
    int (*messageBox)(HWND owner, const char *text, const char *caption, UINT type);
    void (*errorDialog)(const char *title, const char *whatHappened, const char *possibleCause);
    // save: a save-file dialog, else an open-file dialog.
    BOOL (*fileDialog)(OPENFILENAMEA *dialog, bool save);
    BOOL (*notifyIcon)(DWORD message, NOTIFYICONDATAA *data);
    uint32_t (*detect)(DetectParams *params, DetectResult *result);
};

extern ShellSeams g_shellSeams;

// The file chosen in the open-file dialog (save: the save-file dialog, which asks before
// overwriting) through the seam; filter in the dialog's form, pairs of NUL-ended texts. False
// when cancelled.
bool ChooseFilePath(HWND owner, const char *filter, bool save, std::string &path);

// When the environment variable FERROWIN_CLIENT_JOURNAL names a file, every seam appends one
// line to it and answers without a window: message boxes with OK or Yes, error dialogs with OK,
// file dialogs with FERROWIN_CLIENT_FILE (cancelled when unset), the icon calls with success.
// Discovery then asks only a loopback address given as FERROWIN_CLIENT_DETECT ("127.0.0.1:port")
// and finds nothing without it. This is how the program runs headless in its process tests.
void ShellSeamsFromEnvironment();

#endif
