// Drives a page of a sheet shown modally on the test's thread from the driver thread, as a user
// would: buttons, list choices, text boxes, the grid's rows, and the dialogs a page opens.
#ifndef TESTS_CLIENT_PAGES_PAGE_DRIVER_H
#define TESTS_CLIENT_PAGES_PAGE_DRIVER_H

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <functional>
#include <string>

class PropertyPage;

// Shows page alone on a modal sheet of the test's thread and runs act(sheet, page window) from
// the driver thread; a sheet that act left open is cancelled. Returns the sheet's result; acted
// tells whether act ran at all.
INT_PTR ShowOnSheet(PropertyPage &page, const std::function<void(HWND sheet, HWND page)> &act, bool &acted);

// A file dialog's filter as given: its pairs of NUL-ended texts with their NULs, without the
// empty text that ends them.
std::string FilterOf(const OPENFILENAMEA &dialog);

// The sheet's Apply button.
const int kApplyButton = 0x3021;

HWND CurrentPage(HWND sheet);
// A click on a push button or radio button, handled before this returns.
void Click(HWND dialog, int id);
// A command of a page's button or tool bar button, posted: it may open a dialog.
void PostCommand(HWND dialog, int id);
void Type(HWND dialog, int id, const std::string &text);
std::string TextOf(HWND dialog, int id);
// Chooses an item of a drop-down list and tells the dialog, as a user's choice does.
void Choose(HWND dialog, int id, int index);
bool Enabled(HWND dialog, int id);
// Whether a tool bar button is enabled.
bool ToolEnabled(HWND dialog, int barId, int command);

// A visible top-level window of thread with this caption, waiting at most 20 s; null when none.
HWND WaitForWindow(DWORD thread, const char *caption);
// Waits at most 20 s until the window is hidden or gone.
bool WaitGone(HWND window);
// Waits at most 20 s until the window is destroyed.
bool WaitDestroyed(HWND window);
// Waits at most 20 s until the control's text contains part.
bool WaitForText(HWND dialog, int id, const std::string &part);

// A list view's cell, at most 299 characters.
std::string ListCell(HWND list, int row, int column);

// The grid of a page: its data rows (row 2 on), as the list view inside shows them.
HWND GridList(HWND dialog, int gridId);
int GridDataRows(HWND list);
std::string GridRow(HWND list, int dataRow); // "host|port|destination|port"
void SelectGridRow(HWND list, int dataRow);
void DoubleClickGridRow(HWND list, int dataRow);

#endif
