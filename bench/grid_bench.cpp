// The grid with 10,000 rows of routes: filling it as the proxy page does (one row at a time),
// showing it, selecting a row far down, moving rows up and down, arrow keys and removing rows,
// each step followed by the repaint a user would wait for. The arrow keys are also timed when
// the list view class handles them itself, as it did before the grid moved the row on its own.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "CGXGrid.h"

namespace {

const int kRows = 10000;
const int kMoves = 200;

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Lets the grid and the list view handle what is queued and paint.
void Settle(HWND window)
{
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); i++)
        DispatchMessageA(&msg);
    UpdateWindow(window);
}

// Mean time of an arrow key, alternately down and up, with its repaint, handled by the window
// procedure given (the grid's list view, or the list view class's own procedure underneath).
double ArrowKeys(WNDPROC proc, HWND list, HWND top)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMoves; i++) {
        CallWindowProcA(proc, list, WM_KEYDOWN, i % 2 ? VK_UP : VK_DOWN, 0);
        Settle(top);
    }
    return Since(start) / kMoves;
}

}

int main()
{
    if (!CGXGrid::Init())
        return 1;
    HWND top = CreateWindowExA(0, "STATIC", "Grid", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    RECT rect = {0, 0, 640, 480};
    CGXGrid *grid = CGXGrid::Create(top, 1037, rect);
    if (!grid)
        return 1;
    grid->SetColumnCount(5);
    grid->SetHeaderRowCount(2);
    grid->SetCellText(0, 1, "Server");
    grid->SetHeaderSpan(0, 1, 2);
    grid->SetCellText(0, 3, "Destination");
    grid->SetHeaderSpan(0, 3, 2);
    grid->SetColumnWidth(0, 0);
    for (int column = 1; column < 5; column++)
        grid->SetColumnWidth(column, 160);

    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRows; i++) {
        int row = grid->RowCount();
        grid->SetRowCount(row + 1);
        grid->SetCellText(row, 1, "socks" + std::to_string(i % 50) + ".example.net");
        grid->SetCellText(row, 2, "1080");
        grid->SetCellText(row, 3, "10." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + ".0");
        grid->SetCellText(row, 4, "-");
    }
    double fill = Since(start);

    start = std::chrono::steady_clock::now();
    ShowWindow(top, SW_SHOW);
    Settle(top);
    double show = Since(start);

    start = std::chrono::steady_clock::now();
    grid->SetCurrentRow(2 + kRows / 2);
    Settle(top);
    double select = Since(start);

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMoves; i++) {
        int row = grid->CurrentRow();
        grid->MoveRow(row, i % 2 ? row + 1 : row - 1);
        Settle(top);
    }
    double move = Since(start) / kMoves;

    double key = ArrowKeys(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(grid->List(), GWLP_WNDPROC)), grid->List(), top);
    WNDCLASSA listClass = {};
    GetClassInfoA(nullptr, WC_LISTVIEWA, &listClass);
    double ownKey = ArrowKeys(listClass.lpfnWndProc, grid->List(), top);

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMoves; i++) {
        grid->RemoveRow(grid->CurrentRow());
        Settle(top);
    }
    double remove = Since(start) / kMoves;

    start = std::chrono::steady_clock::now();
    grid->SetRowCount(2);
    Settle(top);
    double clear = Since(start);

    std::printf("fill %d rows, a row at a time:   %8.1f ms\n", kRows, fill);
    std::printf("show and paint:                  %8.1f ms\n", show);
    std::printf("select row %d and scroll:      %8.1f ms\n", kRows / 2, select);
    std::printf("move one row and repaint:        %8.2f ms (mean of %d)\n", move, kMoves);
    std::printf("arrow key to the next row:       %8.2f ms (mean of %d)\n", key, kMoves);
    std::printf("  the list view's own handling:  %8.2f ms (mean of %d)\n", ownKey, kMoves);
    std::printf("remove one row and repaint:      %8.2f ms (mean of %d)\n", remove, kMoves);
    std::printf("cut to the header rows:          %8.1f ms\n", clear);
    DestroyWindow(top);
    return 0;
}
