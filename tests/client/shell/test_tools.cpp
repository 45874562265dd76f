#include "test_tools.h"

#include <commctrl.h>
#include <string.h>

namespace {

struct FindRequest {
    DWORD process;
    const char *caption;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM data)
{
    FindRequest *request = reinterpret_cast<FindRequest *>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (process == request->process && IsWindowVisible(window) && strcmp(caption, request->caption) == 0) {
        request->found = window;
        return FALSE;
    }
    return TRUE;
}

}

int FreeLoopbackPort(int type)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, type, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr *>(&address), &length);
    closesocket(s);
    WSACleanup();
    return ntohs(address.sin_port);
}

HWND FindShownWindow(DWORD process, const char *caption)
{
    FindRequest request = {process, caption, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

std::string SheetTabs(HWND sheet)
{
    // The tab control writes the texts where its own process can: the item and its text buffer
    // live in the sheet's process, which may be this one or a client.exe the test started.
    struct TabText {
        TCITEMA item;
        char name[64];
    };
    DWORD owner = 0;
    GetWindowThreadProcessId(sheet, &owner);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, owner);
    if (!process)
        return "";
    auto *remote = static_cast<TabText *>(
        VirtualAllocEx(process, nullptr, sizeof(TabText), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    std::string text;
    int count = remote ? static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; i++) {
        TabText tab = {};
        tab.item.mask = TCIF_TEXT;
        tab.item.pszText = remote->name;
        tab.item.cchTextMax = sizeof tab.name;
        WriteProcessMemory(process, remote, &tab, sizeof tab, nullptr);
        SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process, remote->name, tab.name, sizeof tab.name - 1, nullptr);
        text += (i ? "," : "") + std::string(tab.name);
    }
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return text;
}
