#include "SplashWindow.h"

namespace {

const char kClassName[] = "FerrowinSplash";
const UINT_PTR kTimerId = 1;
const DWORD kWaitStepMs = 50;

}

bool SplashWindow::shown_ = false;
bool SplashWindow::busy_ = false;
bool SplashWindow::timeOver_ = false;
bool SplashWindow::closeRequested_ = false;
HWND SplashWindow::window_ = nullptr;
HBITMAP SplashWindow::bitmap_ = nullptr;

void SplashWindow::Show(int bitmapId, UINT milliseconds)
{
    if (shown_)
        return;
    shown_ = true;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    bitmap_ = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0,
                                              0, LR_CREATEDIBSECTION));
    BITMAP info = {};
    if (!bitmap_ || !GetObjectA(bitmap_, sizeof info, &info)) {
        timeOver_ = true;
        return;
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_WAIT);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    int x = (GetSystemMetrics(SM_CXSCREEN) - info.bmWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - info.bmHeight) / 2;
    window_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, "Ferrowin Client",
                              WS_POPUP | WS_VISIBLE, x, y, info.bmWidth, info.bmHeight, nullptr, nullptr,
                              instance, nullptr);
    if (!window_) {
        timeOver_ = true;
        return;
    }
    UpdateWindow(window_);
    SetTimer(window_, kTimerId, milliseconds, nullptr);
    busy_ = true;
}

void SplashWindow::Close()
{
    if (!timeOver_) {
        closeRequested_ = true;
        return;
    }
    Destroy();
}

void SplashWindow::Wait()
{
    while (busy_) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            Sleep(kWaitStepMs);
        }
    }
}

void SplashWindow::TimeOver()
{
    timeOver_ = true;
    KillTimer(window_, kTimerId);
    ShowWindow(window_, SW_HIDE);
    busy_ = false;
    if (closeRequested_)
        Destroy();
}

void SplashWindow::Destroy()
{
    if (window_) {
        KillTimer(window_, kTimerId);
        DestroyWindow(window_);
        window_ = nullptr;
    }
    if (bitmap_) {
        DeleteObject(bitmap_);
        bitmap_ = nullptr;
    }
}

LRESULT CALLBACK SplashWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, bitmap_);
        BITMAP info = {};
        GetObjectA(bitmap_, sizeof info, &info);
        BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kTimerId) {
            TimeOver();
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
