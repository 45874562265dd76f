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
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    std::string text;
    int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; i++) {
        char name[64] = "";
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = name;
        item.cchTextMax = sizeof name;
        SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        text += (i ? "," : "") + std::string(name);
    }
    return text;
}
