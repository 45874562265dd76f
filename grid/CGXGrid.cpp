#include "CGXGrid.h"

#include <algorithm>

namespace {

const char kGridProp[] = "CGXGrid";
const int kDefaultColumnWidth = 80;

}

bool CGXGrid::Init()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA wc = {};
    // Global, so that dialog templates of any module of the process can name the class.
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = GridProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = CGX_GRID_CLASS;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

CGXGrid *CGXGrid::FromWindow(HWND window)
{
    char name[16] = "";
    if (!window || !GetClassNameA(window, name, sizeof name) || lstrcmpA(name, CGX_GRID_CLASS) != 0)
        return nullptr;
    return reinterpret_cast<CGXGrid *>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

CGXGrid *CGXGrid::Create(HWND parent, int id, const RECT &rect, DWORD style)
{
    HWND window = CreateWindowExA(0, CGX_GRID_CLASS, "", style, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleA(nullptr), nullptr);
    return FromWindow(window);
}

bool CGXGrid::OnCreate(HWND hwnd)
{
    // The dialog manager looks into the grid for the list view's tab stop.
    SetWindowLongPtrA(hwnd, GWL_EXSTYLE, GetWindowLongPtrA(hwnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    RECT client;
    GetClientRect(hwnd, &client);
    list_ = CreateWindowExA(0, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                LVS_OWNERDATA | LVS_NOSORTHEADER,
                            0, 0, client.right, client.bottom, hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!list_)
        return false;
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    listProc_ = Hook(list_, ListProc);
    // The header is drawn here: several header rows and texts across columns.
    headerWindow_ = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
    if (headerWindow_)
        headerProc_ = Hook(headerWindow_, HeaderProc);
    SetHeaderRowCount(0);
    return true;
}

LRESULT CALLBACK CGXGrid::GridProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CGXGrid *self = reinterpret_cast<CGXGrid *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = new CGXGrid;
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    // Messages before WM_NCCREATE have no grid yet.
    if (!self)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CREATE:
        return self->OnCreate(hwnd) ? 0 : -1;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete self;
        break;
    case WM_SIZE:
        if (self->list_)
            MoveWindow(self->list_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        if (self->list_)
            SetFocus(self->list_);
        return 0;
    case WM_ENABLE:
        if (self->list_)
            EnableWindow(self->list_, static_cast<BOOL>(wParam));
        return 0;
    case WM_SETFONT:
    case WM_GETFONT:
        return self->list_ ? SendMessageA(self->list_, message, wParam, lParam) : 0;
    case WM_NOTIFYFORMAT:
        return NFR_ANSI;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR *>(lParam)->hwndFrom == self->list_)
            return self->OnListNotify(reinterpret_cast<NMHDR *>(lParam));
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CGXGrid::OnListNotify(NMHDR *header)
{
    switch (header->code) {
    case LVN_GETDISPINFOA: {
        LVITEMA &item = reinterpret_cast<NMLVDISPINFOA *>(header)->item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            const std::string *text = Cell(item.iItem + HeaderRowCount(), item.iSubItem);
            lstrcpynA(item.pszText, text ? text->c_str() : "", item.cchTextMax);
        }
        return 0;
    }
    case LVN_ODFINDITEMA:
        // No search by typing: the first column may be hidden.
        return -1;
    case NM_DBLCLK: {
        LVHITTESTINFO hit = {};
        hit.pt = reinterpret_cast<NMITEMACTIVATE *>(header)->ptAction;
        if (SendMessageA(list_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 || hit.iItem < 0)
            return 0;
        CGXGridNotify notify = {};
        notify.header.hwndFrom = hwnd_;
        notify.header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd_));
        notify.header.code = NM_DBLCLK;
        notify.row = hit.iItem + HeaderRowCount();
        notify.column = hit.iSubItem;
        SendMessageA(GetParent(hwnd_), WM_NOTIFY, notify.header.idFrom, reinterpret_cast<LPARAM>(&notify));
        return 0;
    }
    }
    return 0;
}

WNDPROC CGXGrid::Hook(HWND window, WNDPROC proc)
{
    SetPropA(window, kGridProp, this);
    return reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

LRESULT CGXGrid::Unhooked(HWND window, WNDPROC previous, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropA(window, kGridProp);
    }
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

LRESULT CALLBACK CGXGrid::ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CGXGrid *self = static_cast<CGXGrid *>(GetPropA(hwnd, kGridProp));
    // Whoever asks the list view (its painting included) sees the rows as they are now.
    self->Flush();
    if (message == WM_KEYDOWN && self->OnKey(static_cast<UINT>(wParam)))
        return 0;
    return Unhooked(hwnd, self->listProc_, message, wParam, lParam);
}

bool CGXGrid::OnKey(UINT key)
{
    // The list view's own moves walk every row of a virtual list with full-row select (a tenth
    // of a second and more among 10,000 rows); moving the current row from here costs a few
    // milliseconds and keeps the same selection, focus, scrolling and change notifications.
    int items = static_cast<int>(data_.size());
    if (items == 0)
        return false;
    int focus = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    int top = static_cast<int>(SendMessageA(list_, LVM_GETTOPINDEX, 0, 0));
    int page = std::max(static_cast<int>(SendMessageA(list_, LVM_GETCOUNTPERPAGE, 0, 0)), 1);
    int target;
    switch (key) {
    case VK_UP:
        target = focus - 1;
        break;
    case VK_DOWN:
        target = focus + 1;
        break;
    case VK_HOME:
        target = 0;
        break;
    case VK_END:
        target = items - 1;
        break;
    // A page key goes to the first or last row in view, and a page further from there.
    case VK_PRIOR:
        target = focus == top ? focus - page + 1 : top;
        break;
    case VK_NEXT:
        target = focus == top + page - 1 ? focus + page - 1 : top + page - 1;
        break;
    default:
        return false;
    }
    if (focus < 0)
        target = key == VK_END ? items - 1 : 0;
    target = std::min(std::max(target, 0), items - 1) + HeaderRowCount();
    // At the first or last row the key changes nothing, as in the list view.
    if (target != CurrentRow())
        SetCurrentRow(target);
    return true;
}

LRESULT CALLBACK CGXGrid::HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CGXGrid *self = static_cast<CGXGrid *>(GetPropA(hwnd, kGridProp));
    WNDPROC previous = self->headerProc_;
    switch (message) {
    case HDM_LAYOUT: {
        // One header row is as high as the header would be; the rows stack.
        LRESULT result = CallWindowProcA(previous, hwnd, message, wParam, lParam);
        HDLAYOUT *layout = reinterpret_cast<HDLAYOUT *>(lParam);
        int height = layout->pwpos->cy * std::max(self->HeaderRowCount(), 1);
        layout->prc->top += height - layout->pwpos->cy;
        layout->pwpos->cy = height;
        return result;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        // A text across columns moves with every column edge: draw the whole header each time.
        InvalidateRect(hwnd, nullptr, FALSE);
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        self->PaintHeader(dc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_NCDESTROY:
        self->headerWindow_ = nullptr;
        break;
    }
    return Unhooked(hwnd, previous, message, wParam, lParam);
}

void CGXGrid::PaintHeader(HDC dc)
{
    RECT client;
    GetClientRect(headerWindow_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    int rows = HeaderRowCount();
    if (rows == 0)
        return;
    int height = (client.bottom - client.top) / rows;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(headerWindow_, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (int row = 0; row < rows; row++) {
        for (int column = 0; column < columns_;) {
            int span = std::min(HeaderSpan(row, column), columns_ - column);
            RECT first = {}, last = {};
            Header_GetItemRect(headerWindow_, column, &first);
            Header_GetItemRect(headerWindow_, column + span - 1, &last);
            RECT cell = {first.left, row * height, last.right, (row + 1) * height};
            if (cell.right > cell.left) {
                DrawEdge(dc, &cell, BDR_RAISEDINNER, BF_RECT);
                InflateRect(&cell, -3, -1);
                DrawTextA(dc, header_[row][column].c_str(), -1, &cell,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
            }
            column += span;
        }
    }
    SelectObject(dc, oldFont);
}

void CGXGrid::SetColumnCount(int columns)
{
    columns = std::max(columns, 0);
    for (; columns_ < columns; columns_++) {
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH;
        column.cx = kDefaultColumnWidth;
        SendMessageA(list_, LVM_INSERTCOLUMNA, columns_, reinterpret_cast<LPARAM>(&column));
    }
    for (; columns_ > columns; columns_--)
        SendMessageA(list_, LVM_DELETECOLUMN, columns_ - 1, 0);
    for (auto &row : header_)
        row.resize(columns_);
    for (auto &row : spans_)
        row.resize(columns_, 1);
    for (auto &row : data_)
        row.resize(columns_);
    Redraw();
}

void CGXGrid::SetHeaderRowCount(int rows)
{
    rows = std::max(rows, 0);
    header_.resize(rows, std::vector<std::string>(columns_));
    spans_.resize(rows, std::vector<int>(columns_, 1));
    LONG_PTR style = GetWindowLongPtrA(list_, GWL_STYLE);
    SetWindowLongPtrA(list_, GWL_STYLE, rows ? style & ~LVS_NOCOLUMNHEADER : style | LVS_NOCOLUMNHEADER);
    // The list view lays its header out again (HDM_LAYOUT) when its font is set.
    SendMessageA(list_, WM_SETFONT, SendMessageA(list_, WM_GETFONT, 0, 0), TRUE);
    Redraw();
}

void CGXGrid::Changed()
{
    // One repaint and one item count for a whole run of changes: telling the list view of each
    // row costs milliseconds.
    if (!stale_) {
        stale_ = true;
        InvalidateRect(list_, nullptr, FALSE);
    }
}

void CGXGrid::Flush()
{
    if (!stale_)
        return;
    stale_ = false;
    if (static_cast<size_t>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)) != data_.size())
        SendMessageA(list_, LVM_SETITEMCOUNT, data_.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
}

void CGXGrid::SetRowCount(int rows)
{
    data_.resize(std::max(rows - HeaderRowCount(), 0), std::vector<std::string>(columns_));
    Changed();
}

void CGXGrid::SetColumnWidth(int column, int width)
{
    SendMessageA(list_, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0));
}

int CGXGrid::ColumnWidth(int column) const
{
    return static_cast<int>(SendMessageA(list_, LVM_GETCOLUMNWIDTH, column, 0));
}

bool CGXGrid::IsDataRow(int row) const
{
    return row >= HeaderRowCount() && row < RowCount();
}

const std::string *CGXGrid::Cell(int row, int column) const
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= columns_)
        return nullptr;
    return row < HeaderRowCount() ? &header_[row][column] : &data_[row - HeaderRowCount()][column];
}

std::string *CGXGrid::Cell(int row, int column)
{
    return const_cast<std::string *>(static_cast<const CGXGrid *>(this)->Cell(row, column));
}

void CGXGrid::SetCellText(int row, int column, const std::string &text)
{
    std::string *cell = Cell(row, column);
    if (!cell)
        return;
    *cell = text;
    if (row < HeaderRowCount())
        InvalidateRect(headerWindow_, nullptr, FALSE);
    else
        Changed();
}

std::string CGXGrid::CellText(int row, int column) const
{
    const std::string *cell = Cell(row, column);
    return cell ? *cell : std::string();
}

void CGXGrid::SetHeaderSpan(int row, int column, int span)
{
    if (row < 0 || row >= HeaderRowCount() || column < 0 || column >= columns_)
        return;
    spans_[row][column] = std::max(span, 1);
    InvalidateRect(headerWindow_, nullptr, FALSE);
}

int CGXGrid::HeaderSpan(int row, int column) const
{
    if (row < 0 || row >= HeaderRowCount() || column < 0 || column >= columns_)
        return 1;
    return spans_[row][column];
}

int CGXGrid::AppendRow(const std::vector<std::string> &cells)
{
    data_.push_back(cells);
    data_.back().resize(columns_);
    Changed();
    return RowCount() - 1;
}

bool CGXGrid::RemoveRow(int row)
{
    if (!IsDataRow(row))
        return false;
    int current = CurrentRow();
    data_.erase(data_.begin() + (row - HeaderRowCount()));
    Changed();
    // The selection stays at its place: on the row that took the removed one's place, or on
    // the new last row.
    if (current > row || current == RowCount())
        current--;
    SetCurrentRow(IsDataRow(current) ? current : -1);
    return true;
}

bool CGXGrid::MoveRow(int from, int to)
{
    if (!IsDataRow(from) || !IsDataRow(to))
        return false;
    int current = CurrentRow();
    auto first = data_.begin() + (from - HeaderRowCount());
    auto target = data_.begin() + (to - HeaderRowCount());
    if (from < to)
        std::rotate(first, first + 1, target + 1);
    else
        std::rotate(target, first, first + 1);
    if (current == from)
        current = to;
    else if (from < current && current <= to)
        current--;
    else if (to <= current && current < from)
        current++;
    Changed();
    SetCurrentRow(current);
    return true;
}

int CGXGrid::CurrentRow() const
{
    int item = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return item < 0 ? -1 : item + HeaderRowCount();
}

void CGXGrid::SetCurrentRow(int row)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    // Unselecting the old row first spares the list view a walk over all rows.
    int current = CurrentRow();
    if (current >= 0)
        SendMessageA(list_, LVM_SETITEMSTATE, current - HeaderRowCount(), reinterpret_cast<LPARAM>(&item));
    if (!IsDataRow(row))
        return;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list_, LVM_SETITEMSTATE, row - HeaderRowCount(), reinterpret_cast<LPARAM>(&item));
    SendMessageA(list_, LVM_ENSUREVISIBLE, row - HeaderRowCount(), FALSE);
}

void CGXGrid::Redraw()
{
    InvalidateRect(list_, nullptr, TRUE);
    if (headerWindow_)
        InvalidateRect(headerWindow_, nullptr, FALSE);
}
