#include "IconListControl.h"

#include <commctrl.h>

#include <algorithm>

#include "ApplicationIcons.h"
#include "Dialog.h"
#include "Subclass.h"

namespace {

// A cell's text as drawn: longer texts are cut.
const int kCellText = 200;

// The file name without folder and extension.
std::string ApplicationName(const std::string &path)
{
    size_t start = path.find_last_of("\\/:");
    start = start == std::string::npos ? 0 : start + 1;
    size_t dot = path.find_last_of('.');
    return path.substr(start, dot == std::string::npos || dot < start ? std::string::npos : dot - start);
}

int AddIcon(HWND list, int which, HICON icon)
{
    return ImageList_AddIcon(reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, which, 0)), icon);
}

}

IconListControl::~IconListControl()
{
    if (hwnd_ && SubclassObject(hwnd_) == this)
        UnsubclassWindow(hwnd_);
}

bool IconListControl::Attach(HWND dialog, int id)
{
    HWND list = GetDlgItem(dialog, id);
    char name[32] = "";
    if (hwnd_ || !list || !GetClassNameA(list, name, sizeof name) || lstrcmpiA(name, WC_LISTVIEWA) != 0)
        return false;
    hwnd_ = list;
    SetWindowLongPtrA(hwnd_, GWL_STYLE,
                      (GetWindowLongPtrA(hwnd_, GWL_STYLE) & ~(LVS_TYPEMASK | LVS_SHAREIMAGELISTS)) | LVS_REPORT |
                          LVS_OWNERDRAWFIXED);
    // Without LVS_SHAREIMAGELISTS the list view destroys its image lists with itself.
    const int lists[] = {LVSIL_SMALL, SM_CXSMICON, LVSIL_NORMAL, SM_CXICON};
    for (int i = 0; i < 4; i += 2) {
        int size = GetSystemMetrics(lists[i + 1]);
        SendMessageA(hwnd_, LVM_SETIMAGELIST, lists[i],
                     reinterpret_cast<LPARAM>(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 8, 8)));
    }
    SubclassWindow(hwnd_, ListProc, this);
    return true;
}

void IconListControl::SetView(DWORD view)
{
    SetWindowLongPtrA(hwnd_, GWL_STYLE, (GetWindowLongPtrA(hwnd_, GWL_STYLE) & ~LVS_TYPEMASK) | (view & LVS_TYPEMASK));
}

int IconListControl::AddApplication(const std::string &path)
{
    HICON large = nullptr, small = nullptr;
    HICON icon = GetApplicationIcons(path, &large, &small);
    std::string name = ApplicationName(path);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
    item.iItem = Count();
    item.pszText = const_cast<char *>(name.c_str());
    // The two lists grow together, so one index names the row's icon in both.
    item.iImage = AddIcon(hwnd_, LVSIL_SMALL, small);
    AddIcon(hwnd_, LVSIL_NORMAL, large);
    item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageA(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    DestroyIcon(icon);
    DestroyIcon(large);
    DestroyIcon(small);
    int row = static_cast<int>(SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0)
        return -1;
    item.iSubItem = 1;
    item.pszText = const_cast<char *>(path.c_str());
    SendMessageA(hwnd_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    SendMessageA(hwnd_, LVM_ENSUREVISIBLE, row, FALSE);
    return row;
}

int IconListControl::Count() const
{
    return static_cast<int>(SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0));
}

std::string IconListControl::Text(int row, int column) const
{
    char text[MAX_PATH] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    if (row < 0 || row >= Count())
        return std::string();
    SendMessageA(hwnd_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

LRESULT CALLBACK IconListControl::ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_REFLECT_DRAWITEM) {
        static_cast<IconListControl *>(SubclassObject(hwnd))->Draw(*reinterpret_cast<DRAWITEMSTRUCT *>(lParam));
        return TRUE;
    }
    return SubclassDefault(hwnd, message, wParam, lParam);
}

void IconListControl::Draw(const DRAWITEMSTRUCT &draw)
{
    char text[kCellText + 1] = "";
    LVITEMA item = {};
    item.mask = LVIF_IMAGE | LVIF_STATE;
    item.iItem = static_cast<int>(draw.itemID);
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(hwnd_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    bool selected = (item.state & LVIS_SELECTED) != 0;
    HDC dc = draw.hDC;
    COLORREF oldText = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    COLORREF oldBack = SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(hwnd_, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    int iconWidth = 0, iconHeight = 0;
    ImageList_GetIconSize(images, &iconWidth, &iconHeight);
    ImageList_Draw(images, item.iImage, dc, draw.rcItem.left, draw.rcItem.top,
                   selected ? ILD_BLEND50 : ILD_TRANSPARENT);

    RECT cell = draw.rcItem;
    cell.right = cell.left;
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    for (int index = 0; SendMessageA(hwnd_, LVM_GETCOLUMNA, index, reinterpret_cast<LPARAM>(&column)); index++) {
        cell.left = cell.right;
        cell.right += column.cx;
        if (index == 0)
            cell.left = std::min(cell.left + iconWidth, cell.right);
        item.iSubItem = index;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        text[0] = '\0';
        SendMessageA(hwnd_, LVM_GETITEMTEXTA, draw.itemID, reinterpret_cast<LPARAM>(&item));
        ExtTextOutA(dc, cell.left + 2, cell.top + 1, ETO_OPAQUE | ETO_CLIPPED, &cell, text, lstrlenA(text), nullptr);
    }
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    if (draw.itemState & ODS_FOCUS) {
        RECT focus = draw.rcItem;
        focus.left += iconWidth;
        DrawFocusRect(dc, &focus);
    }
}
