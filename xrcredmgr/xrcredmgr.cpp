/* The credential manager: one windowless process per logon that keeps the credential cache open
 * and, at the end of the session, enters the layered provider into the Winsock catalog again so
 * that its chains stay at the head of the catalog order.
 *
 * Command line: "/stop" (any case) ends the running copy; anything else starts the manager.
 * Test hook: the environment variable XRCREDMGR_CATALOG names a file that holds an in-memory
 * catalog (MemoryCatalog.h); when it is set, the provider work goes there instead of into the
 * platform's catalog. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "MemoryCatalog.h"
#include "ProviderInstaller.h"
#include "nt/regutil.h"
#include "regnames.h"
#include "ws2log.h"
#include "xrcred.h"

namespace {

const char kWindowClass[] = "xrcredmgr";
const char kMutexName[] = "xrcredmgr";
const char kWindowTitle[] = "SOCKS5 Credential Manager";
const char kProviderPrefix[] = "Varo Ferrowin ";
const char kProviderSelector[] = "spi";
const char kProviderLibrary[] = "xrspi.dll";
const char kCatalogHook[] = "XRCREDMGR_CATALOG";

HANDLE g_instanceMutex;

/* The debug log's lock for the life of the main routine. */
class Ws2LogLock {
public:
    Ws2LogLock() { XrWs2LogLockCreate(); }
    ~Ws2LogLock() { XrWs2LogLockDelete(); }
    Ws2LogLock(const Ws2LogLock &) = delete;
    Ws2LogLock &operator=(const Ws2LogLock &) = delete;
};

/* Read whenever needed, so that switching it needs no restart. */
bool TestMode()
{
    char *data = nullptr;
    DWORD size = 0;
    if (XrRegRead(HKEY_LOCAL_MACHINE, XR_TESTING_KEY, XR_TESTING_VALUE, nullptr, &data, &size,
                  nullptr) != 0)
        return false;
    DWORD value = 0;
    memcpy(&value, data, size < sizeof value ? size : sizeof value);
    XrRegRelease(nullptr, data);
    return value != 0;
}

/* The provider library beside this program; false when the path would not fit. */
bool ProviderPath(char (&path)[MAX_PATH])
{
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (length == 0 || length >= sizeof exe)
        return false;
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    _splitpath(exe, drive, dir, nullptr, nullptr);
    if (!exe[0] || !dir[0] || strlen(kProviderLibrary) + strlen(dir) + strlen(exe) >= MAX_PATH)
        return false;
    snprintf(path, sizeof path, "%s%s%s", drive, dir, kProviderLibrary);
    return true;
}

int __cdecl NoPrompt(void)
{
    return 0;
}

void ShutDown()
{
    CatalogRun run;
    char path[MAX_PATH];
    if (TestMode()) {
        RemoveProviders(kProviderSelector);
    } else if (ProviderPath(path)) {
        RemoveProviders(kProviderSelector);
        InstallProviders(kProviderPrefix, kProviderSelector, path);
    }
    XrCC_Close();
    XrCC_Exit();
    CloseHandle(g_instanceMutex);
    g_instanceMutex = nullptr;
    PostQuitMessage(0);
}

void StartUp()
{
    if (XrCC_Init(1, HKEY_CURRENT_USER, XR_CREDENTIALS_KEY, NoPrompt) != 0 ||
        XrCC_Open(1) != 0) {
        ShutDown();
        return;
    }
    char path[MAX_PATH];
    if (TestMode() && ProviderPath(path)) {
        CatalogRun run;
        InstallProviders(kProviderPrefix, kProviderSelector, path);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        StartUp();
        break;
    case WM_QUERYENDSESSION:
    case WM_QUIT:
        ShutDown();
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

/* Runs the manager's window until the quit message; its parameter is the exit code. */
int RunManager(HINSTANCE instance, int showCommand)
{
    g_instanceMutex = CreateMutexA(nullptr, TRUE, kMutexName);
    if (!g_instanceMutex || GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;

    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass))
        return 0;

    HWND window = CreateWindowA(kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                instance, nullptr);
    if (!window)
        return 0;
    if (TestMode()) {
        ShowWindow(window, showCommand);
        UpdateWindow(window);
    } else {
        ShowWindow(window, SW_HIDE);
    }

    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    Ws2LogLock logLock;
    XrWs2LogInit();

    if (_stricmp(commandLine, "/stop") == 0) {
        HWND running = FindWindowA(kWindowClass, nullptr);
        if (running)
            PostMessageA(running, WM_QUIT, 0, 0);
        return 0;
    }

    std::unique_ptr<MemoryCatalog> hookCatalog;
    char catalogFile[MAX_PATH];
    DWORD length = GetEnvironmentVariableA(kCatalogHook, catalogFile, sizeof catalogFile);
    if (length > 0 && length < sizeof catalogFile) {
        hookCatalog.reset(new MemoryCatalog(catalogFile));
        WscCatalogUse(hookCatalog.get());
    }
    return RunManager(instance, showCommand);
}
