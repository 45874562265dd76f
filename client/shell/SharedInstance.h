// What every running process of the settings program shares: how many of them run, and the
// main sheet's window of the first one, so that a second start can bring it forward.
#ifndef CLIENT_SHELL_SHAREDINSTANCE_H
#define CLIENT_SHELL_SHAREDINSTANCE_H

#include <windows.h>

// Processes of this program running now, this one included.
LONG SharedInstanceCount();
void SharedInstanceSetWindow(HWND window);
// The stored window when it is still a window of this program (not a stale handle), else null.
HWND SharedInstanceWindow();

#endif
