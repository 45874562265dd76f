// The grid in a real dialog made from a template, driven with the messages a user's mouse and
// keyboard send; what the grid shows is read back through the list view, which asks the grid.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "CGXGrid.h"
#include "grid_test_resource.h"

namespace {

std::vector<CGXGridNotify> notified;

INT_PTR CALLBACK HostProc(HWND, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR *>(lParam)->idFrom == IDC_GRID &&
        reinterpret_cast<NMHDR *>(lParam)->code == NM_DBLCLK)
        notified.push_back(*reinterpret_cast<CGXGridNotify *>(lParam));
    return FALSE;
}

// The two layouts the pages use: routes under two header rows with texts across two columns,
// credentials under one header row. Column 0 is hidden in the first, unnamed in the second.
struct Layout {
    const char *name;
    int headerRows;
    std::vector<std::vector<const char *>> headers;
    std::vector<std::vector<int>> spans;
};

const Layout kRoutes = {"routes", 2,
                        {{"", "Server", "", "Destination", ""}, {"", "Address", "Port", "Address", "Port"}},
                        {{1, 2, 1, 2, 1}, {1, 1, 1, 1, 1}}};
const Layout kCredentials = {"credentials", 1, {{"", "Server", "User ID"}}, {{1, 1, 1}}};

class GridTest : public testing::Test {
protected:
    void SetUp() override
    {
        notified.clear();
        ASSERT_TRUE(CGXGrid::Init());
        dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_GRID_HOST), nullptr, HostProc, 0);
        ASSERT_NE(nullptr, dialog_);
        ShowWindow(dialog_, SW_SHOW);
        grid_ = CGXGrid::FromWindow(GetDlgItem(dialog_, IDC_GRID));
        ASSERT_NE(nullptr, grid_);
    }
    void TearDown() override { DestroyWindow(dialog_); }

    void Apply(const Layout &layout)
    {
        int columns = static_cast<int>(layout.headers[0].size());
        grid_->SetColumnCount(columns);
        grid_->SetHeaderRowCount(layout.headerRows);
        for (int row = 0; row < layout.headerRows; row++)
            for (int column = 0; column < columns; column++) {
                grid_->SetCellText(row, column, layout.headers[row][column]);
                grid_->SetHeaderSpan(row, column, layout.spans[row][column]);
            }
        RECT client;
        GetClientRect(grid_->Handle(), &client);
        grid_->SetColumnWidth(0, 0);
        for (int column = 1; column < columns; column++)
            grid_->SetColumnWidth(column, client.right / (columns - 1));
    }

    // Fills data rows as the pages do: grow by one row, write its cells.
    void AddRows(int count, const char *prefix)
    {
        for (int i = 0; i < count; i++) {
            grid_->SetRowCount(grid_->RowCount() + 1);
            grid_->SetCellText(grid_->RowCount() - 1, 1, prefix + std::to_string(i));
            grid_->SetCellText(grid_->RowCount() - 1, 2, "1080");
        }
    }

    // The text the list view shows in a cell of a data row.
    std::string Shown(int row, int column)
    {
        char text[260] = "";
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(grid_->List(), LVM_GETITEMTEXTA, row - grid_->HeaderRowCount(), reinterpret_cast<LPARAM>(&item));
        return text;
    }

    // Column 1 of every data row, as shown, separated by blanks.
    std::string ShownOrder()
    {
        std::string order;
        int items = static_cast<int>(SendMessageA(grid_->List(), LVM_GETITEMCOUNT, 0, 0));
        for (int item = 0; item < items; item++)
            order += (item ? " " : "") + Shown(item + grid_->HeaderRowCount(), 1);
        return order;
    }

    POINT CellCentre(int row, int column)
    {
        RECT rect = {};
        rect.top = column;
        rect.left = LVIR_BOUNDS;
        SendMessageA(grid_->List(), LVM_GETSUBITEMRECT, row - grid_->HeaderRowCount(), reinterpret_cast<LPARAM>(&rect));
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }

    void Mouse(UINT message, POINT at) { SendMessageA(grid_->List(), message, MK_LBUTTON, MAKELPARAM(at.x, at.y)); }

    int HeaderHeight()
    {
        RECT rect;
        GetWindowRect(reinterpret_cast<HWND>(SendMessageA(grid_->List(), LVM_GETHEADER, 0, 0)), &rect);
        return rect.bottom - rect.top;
    }

    HWND dialog_ = nullptr;
    CGXGrid *grid_ = nullptr;
};

}

TEST_F(GridTest, HeaderRowsCountAsRowsAnswerCellQueriesAndStackInTheHeader)
{
    int height[2] = {};
    int i = 0;
    for (const Layout *layout : {&kRoutes, &kCredentials}) {
        SCOPED_TRACE(layout->name);
        Apply(*layout);
        grid_->SetRowCount(0);
        EXPECT_EQ(layout->headerRows, grid_->RowCount());
        AddRows(3, "proxy");
        EXPECT_EQ(layout->headerRows + 3, grid_->RowCount());
        EXPECT_EQ(3, SendMessageA(grid_->List(), LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < layout->headerRows; row++)
            for (size_t column = 0; column < layout->headers[row].size(); column++) {
                EXPECT_EQ(layout->headers[row][column], grid_->CellText(row, static_cast<int>(column)));
                EXPECT_EQ(layout->spans[row][column], grid_->HeaderSpan(row, static_cast<int>(column)));
            }
        int first = layout->headerRows;
        EXPECT_EQ("proxy0", grid_->CellText(first, 1));
        EXPECT_EQ("proxy2", Shown(first + 2, 1));
        EXPECT_EQ("1080", Shown(first + 2, 2));
        EXPECT_EQ("", grid_->CellText(first + 3, 1));
        EXPECT_EQ("", grid_->CellText(first, 7));
        // The first data row starts below the whole header.
        RECT item = {};
        item.left = LVIR_BOUNDS;
        SendMessageA(grid_->List(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
        height[i] = HeaderHeight();
        EXPECT_GE(item.top, height[i]);
        i++;
    }
    EXPECT_GT(height[1], 0);
    EXPECT_EQ(2 * height[1], height[0]);
}

TEST_F(GridTest, RowsMoveAndGoWithTheCurrentRowFollowingAndHeaderRowsStay)
{
    Apply(kRoutes);
    AddRows(5, "r");
    grid_->SetCurrentRow(2);
    struct Step {
        const char *what;
        int from, to;
        bool done;
        const char *order;
        int current;
    } steps[] = {
        {"down", 2, 3, true, "r1 r0 r2 r3 r4", 3},
        {"up", 3, 2, true, "r0 r1 r2 r3 r4", 2},
        {"last to first", 6, 2, true, "r4 r0 r1 r2 r3", 3},
        {"first to last", 2, 6, true, "r0 r1 r2 r3 r4", 2},
        {"into the header", 2, 1, false, "r0 r1 r2 r3 r4", 2},
        {"beyond the last", 6, 7, false, "r0 r1 r2 r3 r4", 2},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(step.done, grid_->MoveRow(step.from, step.to));
        EXPECT_EQ(step.order, ShownOrder());
        EXPECT_EQ(step.current, grid_->CurrentRow());
    }

    EXPECT_FALSE(grid_->RemoveRow(1));
    EXPECT_FALSE(grid_->RemoveRow(7));
    EXPECT_TRUE(grid_->RemoveRow(2));
    EXPECT_EQ("r1 r2 r3 r4", ShownOrder());
    EXPECT_EQ(2, grid_->CurrentRow());
    EXPECT_EQ("r1", grid_->CellText(2, 1));
    grid_->SetCurrentRow(5);
    EXPECT_TRUE(grid_->RemoveRow(5));
    EXPECT_EQ("r1 r2 r3", ShownOrder());
    EXPECT_EQ(4, grid_->CurrentRow());
    EXPECT_TRUE(grid_->RemoveRow(2));
    EXPECT_EQ(3, grid_->CurrentRow());
    EXPECT_EQ("r3", grid_->CellText(3, 1));
    EXPECT_EQ(4, grid_->RowCount());

    grid_->SetCurrentRow(1);
    EXPECT_EQ(-1, grid_->CurrentRow());
}

TEST_F(GridTest, MouseAndKeyboardSelectRowsAndTenThousandRowsScroll)
{
    Apply(kRoutes);
    const int rows = 10000;
    AddRows(rows, "host");
    int last = grid_->RowCount() - 1;
    EXPECT_EQ(2 + rows - 1, last);
    EXPECT_EQ("host9999", Shown(last, 1));

    POINT at = CellCentre(3, 1);
    Mouse(WM_LBUTTONDOWN, at);
    Mouse(WM_LBUTTONUP, at);
    EXPECT_EQ(3, grid_->CurrentRow());
    SetFocus(grid_->List());
    // Each key moves the selected and focused row within the data rows and scrolls it into
    // view; a page key goes to the last (first) row in view, then a page further.
    int page = static_cast<int>(SendMessageA(grid_->List(), LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 2);
    struct Key {
        const char *what;
        WPARAM key;
        int row;
    } keys[] = {
        {"down", VK_DOWN, 4},
        {"up", VK_UP, 3},
        {"home", VK_HOME, 2},
        {"up at the first data row", VK_UP, 2},
        {"page down to the last row in view", VK_NEXT, 2 + page - 1},
        {"page down again", VK_NEXT, 2 + 2 * (page - 1)},
        {"page up to the first row in view", VK_PRIOR, 2 + page - 1},
        {"down inside the view", VK_DOWN, 2 + page},
        {"page down from inside the view", VK_NEXT, 2 + 2 * (page - 1)},
        {"page up from inside the view", VK_PRIOR, 2 + page - 1},
        {"page up again", VK_PRIOR, 2},
        {"end", VK_END, last},
        {"down at the last row", VK_DOWN, last},
        {"page up from the end", VK_PRIOR, last - page + 1},
    };
    for (const Key &key : keys) {
        SCOPED_TRACE(key.what);
        SendMessageA(grid_->List(), WM_KEYDOWN, key.key, 0);
        EXPECT_EQ(key.row, grid_->CurrentRow());
        int item = key.row - grid_->HeaderRowCount();
        EXPECT_EQ(item, SendMessageA(grid_->List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        int top = static_cast<int>(SendMessageA(grid_->List(), LVM_GETTOPINDEX, 0, 0));
        EXPECT_LE(top, item);
        EXPECT_LT(item, top + page);
    }

    grid_->SetCurrentRow(2 + 5000);
    int top = static_cast<int>(SendMessageA(grid_->List(), LVM_GETTOPINDEX, 0, 0));
    EXPECT_LE(top, 5000);
    EXPECT_LT(5000, top + page);
    EXPECT_EQ("host5000", grid_->CellText(grid_->CurrentRow(), 1));
}

TEST_F(GridTest, DoubleClickOnADataRowNotifiesTheParentWithRowAndColumn)
{
    Apply(kRoutes);
    AddRows(3, "r");
    POINT at = CellCentre(3, 2);
    Mouse(WM_LBUTTONDOWN, at);
    Mouse(WM_LBUTTONUP, at);
    Mouse(WM_LBUTTONDBLCLK, at);
    Mouse(WM_LBUTTONUP, at);
    ASSERT_EQ(1u, notified.size());
    EXPECT_EQ(grid_->Handle(), notified[0].header.hwndFrom);
    EXPECT_EQ(3, notified[0].row);
    EXPECT_EQ(2, notified[0].column);

    // Below the last row there is no row to edit.
    POINT below = CellCentre(4, 2);
    below.y += 40;
    Mouse(WM_LBUTTONDBLCLK, below);
    Mouse(WM_LBUTTONUP, below);
    EXPECT_EQ(1u, notified.size());
}
