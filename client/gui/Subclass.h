// Window subclassing that works with every common-controls version: the object and the previous
// window procedure are kept in window properties.
#ifndef CLIENT_GUI_SUBCLASS_H
#define CLIENT_GUI_SUBCLASS_H

#include <windows.h>

void SubclassWindow(HWND hwnd, WNDPROC proc, void *object);
// The object given to SubclassWindow, or null.
void *SubclassObject(HWND hwnd);
// The previous procedure's handling; after WM_NCDESTROY the window is no longer subclassed.
LRESULT SubclassDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void UnsubclassWindow(HWND hwnd);

#endif
