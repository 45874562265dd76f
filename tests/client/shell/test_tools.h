// Small helpers of the settings program's tests and benchmark: a free loopback port, a shown
// window of another process, and the pages a sheet shows.
#ifndef TESTS_CLIENT_SHELL_TEST_TOOLS_H
#define TESTS_CLIENT_SHELL_TEST_TOOLS_H

#include <winsock2.h>
#include <windows.h>

#include <string>

// A port of 127.0.0.1 that was free a moment ago; type SOCK_STREAM or SOCK_DGRAM.
int FreeLoopbackPort(int type);
// The visible top-level window of that process with exactly that caption, or null.
HWND FindShownWindow(DWORD process, const char *caption);
// The tab texts of a property sheet of this or another process, joined by commas
// ("General,Proxy,Diagnostics").
std::string SheetTabs(HWND sheet);

#endif
