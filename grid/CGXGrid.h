// The grid control: rows of read-only text cells under one or more header rows, with row
// selection, row moves and a double-click notification. It is a window of its own class that
// holds the platform's report-mode list view in virtual mode: the list view draws the rows and
// gives selection, keyboard and scrolling; the texts live here, so 10,000 rows cost no items.
//
// Rows are numbered from 0 and the header rows count: with two header rows the first data row
// is row 2. A cell of a header row reads back the header text put there.
#ifndef GRID_CGXGRID_H
#define GRID_CGXGRID_H

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// Window class of the grid, for dialog templates: CONTROL "", id, "CGXGrid", WS_TABSTOP, ...
#define CGX_GRID_CLASS "CGXGrid"

// Sent to the grid's parent as WM_NOTIFY (header.code NM_DBLCLK) when a data row is
// double-clicked; row counts the header rows.
struct CGXGridNotify {
    NMHDR header;
    int row;
    int column;
};

class CGXGrid {
public:
    // Registers the window class for every module of the process; call once before a dialog
    // with a grid is created. False when the class cannot be registered.
    static bool Init();
    // The grid of a window of the grid class, or null.
    static CGXGrid *FromWindow(HWND window);
    // A new grid window; it lives until the window is destroyed.
    static CGXGrid *Create(HWND parent, int id, const RECT &rect, DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP);

    HWND Handle() const { return hwnd_; }
    // The list view inside (for tests and for the keyboard focus).
    HWND List() const { return list_; }

    // Layout. A row count below the header rows keeps the header rows; new cells are empty.
    void SetColumnCount(int columns);
    int ColumnCount() const { return columns_; }
    void SetHeaderRowCount(int rows);
    int HeaderRowCount() const { return static_cast<int>(header_.size()); }
    void SetRowCount(int rows);
    int RowCount() const { return HeaderRowCount() + static_cast<int>(data_.size()); }
    void SetColumnWidth(int column, int width);
    int ColumnWidth(int column) const;

    // Cells: text, kept as given. A header cell may cover the cells to its right (span >= 1).
    void SetCellText(int row, int column, const std::string &text);
    std::string CellText(int row, int column) const;
    void SetHeaderSpan(int row, int column, int span);
    int HeaderSpan(int row, int column) const;

    // Appends a data row with the given cells; returns its row.
    int AppendRow(const std::vector<std::string> &cells);
    // Data rows only; false for a header row or a row out of range. The current row follows
    // a moved row.
    bool RemoveRow(int row);
    bool MoveRow(int from, int to);

    // The selected data row, or -1; setting it selects the row and scrolls it into view
    // (-1 clears the selection).
    int CurrentRow() const;
    void SetCurrentRow(int row);

    void Redraw();

private:
    CGXGrid() = default;
    static LRESULT CALLBACK GridProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Subclassing of the list view and its header; Unhooked is the previous procedure's handling.
    WNDPROC Hook(HWND window, WNDPROC proc);
    static LRESULT Unhooked(HWND window, WNDPROC previous, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate(HWND hwnd);
    // The row-moving keys of the list view, handled here; false for any other key.
    bool OnKey(UINT key);
    LRESULT OnListNotify(NMHDR *header);
    void PaintHeader(HDC dc);
    // A change of rows or cells; the list view learns of it when it is next asked.
    void Changed();
    void Flush();
    bool IsDataRow(int row) const;
    std::string *Cell(int row, int column);
    const std::string *Cell(int row, int column) const;

    HWND hwnd_ = nullptr;
    HWND list_ = nullptr;
    HWND headerWindow_ = nullptr;
    WNDPROC headerProc_ = nullptr;
    WNDPROC listProc_ = nullptr;
    bool stale_ = false;
    int columns_ = 0;
    // Header texts and spans per header row; data texts per data row.
    std::vector<std::vector<std::string>> header_;
    std::vector<std::vector<int>> spans_;
    std::vector<std::vector<std::string>> data_;
};

#endif
