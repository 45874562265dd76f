// The proxy page with 10,000 routes: from the page's creation to the sheet shown and idle, and
// Apply (check, harvest, configuration file, registry) against the configuration writer alone on
// the same routes. The file lives in the temporary folder; Apply writes the client key of the
// prefix it runs in, as the page does. Prints figures.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ClientSettings.h"
#include "PropertySheet.h"
#include "ProxyPage.h"
#include "Seams.h"
#include "regnames.h"

namespace {

const int kRoutes = 10000;
const int kRuns = 5;
const int kApplyButton = 0x3021;

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<RouteEntry> Routes()
{
    std::vector<RouteEntry> routes;
    for (int i = 0; i < kRoutes; i++)
        routes.push_back(RouteEntry::ServerRoute("server" + std::to_string(i % 50) + ".example", "1080", 5,
                                                 "10." + std::to_string(i / 250) + "." + std::to_string(i % 250) + ".0",
                                                 std::to_string(1 + i % 1000)));
    return routes;
}

// The sheet with the page shown; measures creation to shown and idle, and one Apply.
void ShowAndApply(const std::string &config, double &shown, double &apply)
{
    ClientSettings settings;
    settings.configFile = config;
    settings.ReadServers(config.c_str());
    DWORD thread = GetCurrentThreadId();
    auto start = std::chrono::steady_clock::now();
    std::thread driver([&] {
        HWND sheet = nullptr;
        for (int i = 0; i < 200000 && !sheet; i++) {
            sheet = FindWindowA(nullptr, "Proxy benchmark");
            if (!sheet || !IsWindowVisible(sheet)) {
                sheet = nullptr;
                Sleep(0);
            }
        }
        if (!sheet) {
            PostThreadMessageA(thread, WM_QUIT, 0, 0);
            return;
        }
        // A sent message is handled once the page's thread is idle.
        SendMessageA(sheet, WM_NULL, 0, 0);
        shown = Since(start);
        auto pressed = std::chrono::steady_clock::now();
        SendMessageA(GetDlgItem(sheet, kApplyButton), BM_CLICK, 0, 0);
        apply = Since(pressed);
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    PropertySheet sheet("Proxy benchmark");
    ProxyPage page(settings);
    sheet.AddPage(&page);
    sheet.DoModal();
    driver.join();
}

}

int main()
{
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    std::string config = std::string(folder) + "ferrowin-proxy-bench-" + std::to_string(GetCurrentProcessId()) + ".cfg";
    // The page keeps the Run entry and writes to the client key: answer the error dialog quietly.
    g_shellSeams.errorDialog = [](const char *, const char *, const char *) {};

    std::vector<double> writer;
    for (int run = 0; run < kRuns; run++) {
        ClientSettings settings;
        settings.servers = Routes();
        auto start = std::chrono::steady_clock::now();
        if (settings.SaveServers(config.c_str()) != 0) {
            std::printf("the configuration writer failed on %s\n", config.c_str());
            return 1;
        }
        writer.push_back(Since(start));
    }
    std::vector<double> shown, apply;
    for (int run = 0; run < kRuns; run++) {
        double s = 0, a = 0;
        ShowAndApply(config, s, a);
        shown.push_back(s);
        apply.push_back(a);
    }
    DeleteFileA(config.c_str());
    std::printf("proxy page, %d routes, median of %d runs:\n", kRoutes, kRuns);
    std::printf("  page created to shown and idle  %8.1f ms  (goal: under 300 ms)\n", Median(shown));
    std::printf("  Apply                           %8.1f ms  (goal: under 500 ms)\n", Median(apply));
    std::printf("  configuration writer alone      %8.1f ms\n", Median(writer));
    std::printf("  Apply / writer                  %8.2f    (goal: at most 4)\n", Median(apply) / Median(writer));
    WSACleanup();
    return 0;
}
