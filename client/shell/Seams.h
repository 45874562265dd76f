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

// Which file a dialog asks for: one that exists, a name to save under (asking before
// overwriting), or any name in an existing folder (a log the program will create).
enum class FileChoice { Existing, Save, New };

// The file chosen in the file dialog through the seam, starting from path; filter in the
// dialog's form, pairs of NUL-ended texts. False when cancelled.
bool ChooseFilePath(HWND owner, const char *filter, FileChoice choice, std::string &path);

// When the environment variable FERROWIN_CLIENT_JOURNAL names a file, every seam appends one
// line to it and answers without a window: message boxes with OK or Yes, error dialogs with OK,
// file dialogs with FERROWIN_CLIENT_FILE (cancelled when unset), the icon calls with success.
// Discovery then asks only a loopback address given as FERROWIN_CLIENT_DETECT ("127.0.0.1:port")
// and finds nothing without it. This is how the program runs headless in its process tests.
void ShellSeamsFromEnvironment();

#endif
