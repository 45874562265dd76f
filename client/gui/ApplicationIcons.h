// What the application lists show of a program: the program file inside a command line, its
// icons, and the program a shell shortcut points to. Nothing here shows any window.
#ifndef CLIENT_GUI_APPLICATIONICONS_H
#define CLIENT_GUI_APPLICATIONICONS_H

#include <windows.h>

#include <string>

// The program file a command line starts: the text up to the first blank or tab before which
// the text names an existing file (not a folder), or the whole text when there is none. So a
// program path with blanks followed by arguments gives the program path alone.
std::string ApplicationProgramPath(const std::string &command);

// The icons of the program of a command line. Returns the first icon of the program file, or
// a copy of the system's question-mark icon when the file has none or is no program. large and
// small get the shell's icons for the file (the small one is the large one when the shell has
// no small one), or copies of the returned icon when the shell knows none. Each of the three
// is a new icon that the caller destroys (DestroyIcon).
HICON GetApplicationIcons(const std::string &command, HICON *large, HICON *small);

// The file a shell shortcut (.lnk) points to, following a shortcut to a shortcut (at most a few
// steps); empty when the file is no shortcut, the target no longer exists, or the shortcuts go
// round in a circle. The shortcut is read and resolved without any user interface, without
// searching for a moved target and without rewriting the shortcut file.
std::string ResolveShortcut(const std::string &shortcut);

#endif
