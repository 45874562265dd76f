// Button bars made over placeholders of a real dialog, with the program's own image strips:
// what a user sees (buttons, images with a transparent background, tool tips) and what a click
// does (WM_COMMAND to the dialog).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ImageButtonBar.h"
#include "button_bar_test_resource.h"
#include "resource.h"

namespace {

std::vector<int> commands;

INT_PTR CALLBACK HostProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && lParam)
        commands.push_back(LOWORD(wParam));
    return FALSE;
}

const ImageButton kRouteButtons[] = {
    {1080, "New"}, {1081, "Remove"}, {1087, "Edit"}, {1083, "Up"}, {1085, "Down"}};
const ImageButton kDetectButton[] = {{1112, "Detect Server"}};

RECT ItemPlace(HWND dialog, int id)
{
    RECT place;
    GetWindowRect(GetDlgItem(dialog, id), &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&place), 2);
    return place;
}

std::string Tip(HWND bar, int command)
{
    char text[1024] = "";
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = bar;
    tool.uId = static_cast<UINT_PTR>(command);
    tool.lpszText = text;
    SendMessageA(reinterpret_cast<HWND>(SendMessageA(bar, TB_GETTOOLTIPS, 0, 0)), TTM_GETTEXTA, sizeof text,
                 reinterpret_cast<LPARAM>(&tool));
    return text;
}

void Click(HWND bar, int index)
{
    RECT rect;
    SendMessageA(bar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
    LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageA(bar, WM_MOUSEMOVE, 0, at);
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(bar, WM_LBUTTONUP, 0, at);
}

// Whether image `index` drawn over a background shows the background at (x, y).
bool Transparent(HIMAGELIST images, int index, int x, int y)
{
    const COLORREF background = RGB(0, 128, 128);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 64, 64);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, canvas);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, 64, 64};
    FillRect(dc, &all, brush);
    ImageList_Draw(images, index, dc, 0, 0, ILD_TRANSPARENT);
    COLORREF colour = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(brush);
    DeleteObject(canvas);
    DeleteDC(dc);
    return colour == background;
}
}

TEST(ImageButtonBarTest, PlaceholdersBecomeBarsOfImageButtonsWithTipsThatSendTheirCommands)
{
    commands.clear();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_BAR_HOST), nullptr, HostProc, 0);
    ASSERT_NE(nullptr, dialog);
    ShowWindow(dialog, SW_SHOW);
    RECT place = ItemPlace(dialog, IDC_ROUTE_BAR);

    struct Case {
        int placeholder, bitmap, size;
        const ImageButton *buttons;
        int count;
        bool visible;
    } cases[] = {
        {IDC_ROUTE_BAR, IDB_ROUTE_BUTTONS, 18, kRouteButtons, 5, true},
        {IDC_DETECT_BAR, IDB_DETECT_BUTTON, 27, kDetectButton, 1, false},
    };
    ImageButtonBar bars[2];
    for (int i = 0; i < 2; i++) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.placeholder);
        ASSERT_TRUE(bars[i].Create(dialog, c.placeholder, c.bitmap, c.size, c.buttons, c.count));
        HWND bar = GetDlgItem(dialog, c.placeholder);
        EXPECT_EQ(bars[i].Handle(), bar);
        EXPECT_EQ(c.visible, IsWindowVisible(bar) != 0);
        ASSERT_EQ(c.count, SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
        for (int b = 0; b < c.count; b++) {
            TBBUTTON button = {};
            SendMessageA(bar, TB_GETBUTTON, b, reinterpret_cast<LPARAM>(&button));
            EXPECT_EQ(c.buttons[b].command, button.idCommand);
            EXPECT_EQ(b, button.iBitmap);
            EXPECT_EQ(c.buttons[b].tip, Tip(bar, c.buttons[b].command));
        }
        HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(bar, TB_GETIMAGELIST, 0, 0));
        ASSERT_NE(nullptr, images);
        EXPECT_EQ(c.count, ImageList_GetImageCount(images));
        int cx = 0, cy = 0;
        ImageList_GetIconSize(images, &cx, &cy);
        EXPECT_EQ(c.size, cx);
        EXPECT_EQ(c.size, cy);
        // Magenta corners are transparent; the drawing in the middle is not.
        EXPECT_TRUE(Transparent(images, 0, 0, 0));
        EXPECT_FALSE(Transparent(images, 0, c.size / 2, c.size / 2));
    }
    RECT now = ItemPlace(dialog, IDC_ROUTE_BAR);
    EXPECT_TRUE(EqualRect(&place, &now));

    HWND routes = bars[0].Handle();
    Click(routes, 2);
    Click(routes, 4);
    bars[0].Enable(1081, false);
    EXPECT_FALSE(SendMessageA(routes, TB_ISBUTTONENABLED, 1081, 0));
    Click(routes, 1);
    EXPECT_EQ((std::vector<int>{1087, 1085}), commands);

    EXPECT_FALSE(bars[0].Create(dialog, IDC_ROUTE_BAR, IDB_ROUTE_BUTTONS, 18, kRouteButtons, 5));
    ImageButtonBar missing;
    EXPECT_FALSE(missing.Create(dialog, 999, IDB_ROUTE_BUTTONS, 18, kRouteButtons, 5));
    DestroyWindow(dialog);

    // A page's window is made again when the sheet rebuilds its pages: its bar comes back.
    dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_BAR_HOST), nullptr, HostProc, 0);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(bars[0].Create(dialog, IDC_ROUTE_BAR, IDB_ROUTE_BUTTONS, 18, kRouteButtons, 5));
    EXPECT_EQ(GetDlgItem(dialog, IDC_ROUTE_BAR), bars[0].Handle());
    EXPECT_EQ(5, SendMessageA(bars[0].Handle(), TB_BUTTONCOUNT, 0, 0));
    DestroyWindow(dialog);
}
