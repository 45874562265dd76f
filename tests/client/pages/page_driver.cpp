#include "page_driver.h"

#include <string.h>

#include "PropertySheet.h"
#include "modal_driver.h"

INT_PTR ShowOnSheet(PropertyPage &page, const std::function<void(HWND sheet, HWND page)> &act, bool &acted)
{
    PropertySheet sheet("Page test");
    sheet.AddPage(&page);
    ModalDriver driver([&](HWND window) {
        act(window, CurrentPage(window));
        // A test that stopped half-way still ends its sheet; the sheet's loop notices its end at
        // its next message.
        if (IsWindow(window) && CurrentPage(window))
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(window, WM_NULL, 0, 0);
    });
    INT_PTR result = sheet.DoModal();
    acted = driver.Acted();
    return result;
}

HWND CurrentPage(HWND sheet)
{
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

void Click(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void PostCommand(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void Type(HWND dialog, int id, const std::string &text)
{
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string FilterOf(const OPENFILENAMEA &dialog)
{
    const char *end = dialog.lpstrFilter;
    while (*end)
        end += strlen(end) + 1;
    return std::string(dialog.lpstrFilter, end);
}

std::string TextOf(HWND dialog, int id)
{
    char text[4096] = "";
    SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

void Choose(HWND dialog, int id, int index)
{
    HWND list = GetDlgItem(dialog, id);
    SendMessageA(list, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

bool Enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool ToolEnabled(HWND dialog, int barId, int command)
{
    return SendMessageA(GetDlgItem(dialog, barId), TB_ISBUTTONENABLED, command, 0) != 0;
}

namespace {

struct Search {
    const char *caption;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM data)
{
    Search *search = reinterpret_cast<Search *>(data);
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && strcmp(caption, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

const int kTries = 1000;
const DWORD kPollMs = 20;

}

HWND WaitForWindow(DWORD thread, const char *caption)
{
    for (int tries = 0; tries < kTries; tries++) {
        Search search = {caption, nullptr};
        EnumThreadWindows(thread, Match, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(kPollMs);
    }
    return nullptr;
}

bool WaitGone(HWND window)
{
    for (int tries = 0; tries < kTries; tries++) {
        if (!IsWindow(window) || !IsWindowVisible(window))
            return true;
        Sleep(kPollMs);
    }
    return false;
}

bool WaitDestroyed(HWND window)
{
    for (int tries = 0; tries < kTries; tries++) {
        if (!IsWindow(window))
            return true;
        Sleep(kPollMs);
    }
    return false;
}

bool WaitForText(HWND dialog, int id, const std::string &part)
{
    for (int tries = 0; tries < kTries; tries++) {
        if (TextOf(dialog, id).find(part) != std::string::npos)
            return true;
        Sleep(kPollMs);
    }
    return false;
}

HWND GridList(HWND dialog, int gridId)
{
    return FindWindowExA(GetDlgItem(dialog, gridId), nullptr, WC_LISTVIEWA, nullptr);
}

int GridDataRows(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string ListCell(HWND list, int row, int column)
{
    char text[300] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::string GridRow(HWND list, int dataRow)
{
    std::string row;
    for (int column = 1; column <= 4; column++)
        row += (column > 1 ? "|" : "") + ListCell(list, dataRow, column);
    return row;
}

void SelectGridRow(HWND list, int dataRow)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, dataRow, reinterpret_cast<LPARAM>(&item));
}

void DoubleClickGridRow(HWND list, int dataRow)
{
    RECT rect = {};
    rect.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, dataRow, reinterpret_cast<LPARAM>(&rect));
    LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list, WM_LBUTTONUP, 0, at);
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(list, WM_LBUTTONUP, 0, at);
}
