// The start-up picture: a borderless topmost window with bitmap 1089 that stays up for a fixed
// time; a close asked for earlier waits for that time to end.
#ifndef CLIENT_SHELL_SPLASHWINDOW_H
#define CLIENT_SHELL_SPLASHWINDOW_H

#include <windows.h>

class SplashWindow {
public:
    // Only the first call of a process shows anything.
    static void Show(int bitmapId, UINT milliseconds);
    // Closes now when the time is over, else as soon as it is.
    static void Close();
    // Dispatches this thread's messages until the time is over.
    static void Wait();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void TimeOver();
    static void Destroy();

    static bool shown_;
    static bool busy_;
    static bool timeOver_;
    static bool closeRequested_;
    static HWND window_;
    static HBITMAP bitmap_;
};

#endif
