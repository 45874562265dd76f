// Start-up costs of client.exe against a bare Win32 program that opens one window, in the same
// run and prefix:
//   sheet:   process start to the main sheet shown and idle, against the bare window shown and idle;
//   refresh: "client.exe startup" importing its configuration from a web server on 127.0.0.1, to
//            its end, against the bare program's start and end.
// Run by scripts/bench with the prefix's client key prepared here and cleaned afterwards.
//   client_bench            the benchmark
//   client_bench bare       the bare program: one window until closed
//   client_bench bare-exit  the bare program: one window, closed at once
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "http_server.h"
#include "regnames.h"
#include "test_tools.h"

namespace {

const int kRuns = 10;
const DWORD kWaitMs = 30000;
const char kSheetCaption[] = "Ferrowin Client Properties";
const char kBareCaption[] = "Bare window";

LRESULT CALLBACK BareProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int Bare(bool exitAtOnce)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BareProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "BareWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("BareWindow", kBareCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                                CW_USEDEFAULT, 400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
    UpdateWindow(window);
    if (exitAtOnce)
        DestroyWindow(window);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

std::string Folder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text(path);
    return text.substr(0, text.find_last_of('\\') + 1);
}

PROCESS_INFORMATION Start(const std::string &command)
{
    std::string line = command;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        fprintf(stderr, "cannot start %s\n", command.c_str());
    return process;
}

void Finish(PROCESS_INFORMATION &process)
{
    if (WaitForSingleObject(process.hProcess, kWaitMs) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

// Milliseconds from the start to the window shown and the process idle; then closes it with
// the command the window understands.
double ShownAndIdle(const std::string &command, const char *caption, UINT closeMessage, WPARAM closeParam)
{
    auto start = std::chrono::steady_clock::now();
    PROCESS_INFORMATION process = Start(command);
    HWND window = nullptr;
    for (DWORD waited = 0; !window && waited < kWaitMs; waited++) {
        window = FindShownWindow(process.dwProcessId, caption);
        if (!window)
            Sleep(1);
    }
    WaitForInputIdle(process.hProcess, kWaitMs);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (window)
        PostMessageA(window, closeMessage, closeParam, 0);
    Finish(process);
    return window ? ms : -1;
}

double StartToEnd(const std::string &command)
{
    auto start = std::chrono::steady_clock::now();
    PROCESS_INFORMATION process = Start(command);
    WaitForSingleObject(process.hProcess, kWaitMs);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Finish(process);
    return ms;
}

double Median(const std::function<double()> &run)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; i++)
        times.push_back(run());
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void SetValue(const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
}

void SetText(const char *name, const std::string &text)
{
    SetValue(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetNumber(const char *name, DWORD value)
{
    SetValue(name, REG_DWORD, &value, sizeof value);
}

const char *const kBenchValues[] = {XR_VALUE_INSTALLATION_DIRECTORY, XR_VALUE_CLIENT_LIBRARY_FILE,
                                    XR_VALUE_APPLICATION_FILE,       XR_VALUE_WIZARD_LAST_USED_IMPORT,
                                    XR_VALUE_LAST_IMPORT_URL,        XR_VALUE_USE_AUTHENTICATION,
                                    XR_VALUE_PROXY_METHOD,           XR_VALUE_ENABLE_DNS_PROXY,
                                    XR_VALUE_LOCAL_DNS_DOMAINS,      XR_VALUE_REMOTE_DNS_DOMAINS};

void CleanValues()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    for (const char *name : kBenchValues)
        RegDeleteValueA(key, name);
    RegCloseKey(key);
}

void WriteFileText(const std::string &path, const char *text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

void Report(const char *what, double client, double bare)
{
    printf("%-44s client %7.1f ms  bare %7.1f ms  ratio %.2f  difference %+.1f ms\n", what, client, bare,
           bare > 0 ? client / bare : 0.0, client - bare);
}

}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "bare") == 0)
        return Bare(false);
    if (argc == 2 && strcmp(argv[1], "bare-exit") == 0)
        return Bare(true);

    std::string folder = Folder();
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string work = std::string(temp) + "ferrowin-client-bench\\";
    CreateDirectoryA(work.c_str(), nullptr);
    WriteFileText(work + "client.cfg", "socks5 - - - - gateway.example:1080\r\n");
    WriteFileText(work + "apps.cfg", "yes C:\\Tools\\browser.exe\r\n");
    // Message boxes and error dialogs, should any come, go to a journal instead of a window.
    SetEnvironmentVariableA("FERROWIN_CLIENT_JOURNAL", (work + "journal.txt").c_str());
    for (const char *name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "no_proxy"})
        SetEnvironmentVariableA(name, nullptr);
    CleanValues();
    SetText(XR_VALUE_INSTALLATION_DIRECTORY, folder);
    SetText(XR_VALUE_CLIENT_LIBRARY_FILE, work + "client.cfg");
    SetText(XR_VALUE_APPLICATION_FILE, work + "apps.cfg");

    std::string client = "\"" + folder + "client.exe\"";
    std::string bare = "\"" + folder + "client_bench.exe\"";
    double sheet = Median([&] { return ShownAndIdle(client, kSheetCaption, WM_COMMAND, IDCANCEL); });
    double bareShown = Median([&] { return ShownAndIdle(bare + " bare", kBareCaption, WM_CLOSE, 0); });
    Report("start to window shown and idle", sheet, bareShown);

    LoopbackHttpServer server;
    server.Respond(200, "set 3=0\nsocks5 - - - - gateway.example:1080\nlocaldns corp.example\n"
                        "yes C:\\Tools\\browser.exe\n");
    SetNumber(XR_VALUE_WIZARD_LAST_USED_IMPORT, 1);
    SetText(XR_VALUE_LAST_IMPORT_URL, server.Url("/client.cfg"));
    double refresh = Median([&] { return StartToEnd(client + " startup"); });
    double bareRun = Median([&] { return StartToEnd(bare + " bare-exit"); });
    Report("start to end: logon refresh with URL import", refresh, bareRun);
    printf("(medians of %d runs; %d requests served)\n", kRuns, server.Requests());
    CleanValues();
    return 0;
}
