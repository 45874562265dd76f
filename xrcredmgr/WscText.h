/* Text forms at the Winsock catalog interface: the catalog speaks wide characters, the program
 * narrow ones in the ANSI code page. */
#ifndef XRCREDMGR_WSCTEXT_H
#define XRCREDMGR_WSCTEXT_H

#include <windows.h>

/* A text as shown in a message or a log line. */
struct WscShown {
    char text[256];
};

/* At most 255 characters, each reduced to its low byte; "(null wstr)" for null. */
WscShown WscShowName(const WCHAR *name);
/* The 36-character form without braces; "(null guid)" for null, "(bad guid)" when the
 * identifier cannot be converted. */
WscShown WscShowGuid(const GUID *id);

/* Conversions in the ANSI code page into size characters, terminator included; false when the
 * text does not convert or does not fit. */
bool WscToWide(const char *text, WCHAR *out, int size);
bool WscToNarrow(const WCHAR *text, char *out, int size);

#endif
