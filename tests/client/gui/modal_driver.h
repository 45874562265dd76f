// Drives a modal dialog of the test's own thread from a second thread: waits (bounded) for the
// dialog window to appear, then acts on it with ordinary messages.
#ifndef TESTS_CLIENT_GUI_MODAL_DRIVER_H
#define TESTS_CLIENT_GUI_MODAL_DRIVER_H

#include <windows.h>
#include <string.h>

#include <functional>
#include <string>
#include <thread>

class ModalDriver {
public:
    // action gets the first visible dialog window of the creating thread within 20 s; it must
    // end the dialog.
    explicit ModalDriver(std::function<void(HWND)> action)
        : owner_(GetCurrentThreadId()), thread_([this, action] {
              HWND dialog = Wait();
              if (dialog) {
                  action(dialog);
                  acted_ = true;
              } else {
                  // End whatever modal loop the test thread is in, so that the test fails
                  // instead of hanging.
                  PostThreadMessageA(owner_, WM_QUIT, 0, 0);
              }
          })
    {
    }
    ~ModalDriver() { Join(); }

    bool Acted()
    {
        Join();
        return acted_;
    }

    static std::string Text(HWND window)
    {
        char text[512] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    static std::string ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

    static void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

private:
    static BOOL CALLBACK Find(HWND window, LPARAM found)
    {
        char name[32] = "";
        GetClassNameA(window, name, sizeof name);
        if (IsWindowVisible(window) && strcmp(name, "#32770") == 0) {
            *reinterpret_cast<HWND *>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    HWND Wait()
    {
        for (int tries = 0; tries < 1000; tries++) {
            HWND found = nullptr;
            EnumThreadWindows(owner_, Find, reinterpret_cast<LPARAM>(&found));
            if (found)
                return found;
            Sleep(20);
        }
        return nullptr;
    }

    DWORD owner_;
    bool acted_ = false;
    std::thread thread_;
};

#endif
