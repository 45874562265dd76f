#include "ApplicationListDialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "ApplicationIcons.h"
#include "Controls.h"
#include "Seams.h"
#include "pages_resource.h"
#include "xrcfg.h"

namespace {

const char kCaption[] = "Application List";
// Room for a few hundred files chosen at once.
const DWORD kChoiceBuffer = 65536;
const char kFilter[] = "Valid Files (*.exe;*.dll;*.lnk)\0*.exe;*.dll;*.lnk\0"
                       "Excutables (*.exe)\0*.exe\0"
                       "Application Extensions (*.dll)\0*.dll\0"
                       "Shortcuts (*.lnk)\0*.lnk\0";

// The extension with its dot, or empty; a dot in a folder name does not count.
std::string Extension(const std::string &path)
{
    size_t dot = path.rfind('.');
    size_t folder = path.find_last_of("\\/");
    if (dot == std::string::npos || (folder != std::string::npos && dot < folder))
        return "";
    return path.substr(dot);
}

bool HasExtension(const std::string &path, const char *extension)
{
    return lstrcmpiA(Extension(path).c_str(), extension) == 0;
}

// A shortcut stands for its target; one that cannot be resolved stays itself and is then refused
// as no program.
std::string Target(const std::string &path)
{
    if (!HasExtension(path, ".lnk"))
        return path;
    std::string target = ResolveShortcut(path);
    return target.empty() ? path : target;
}

bool IsProgramFile(const std::string &path)
{
    return HasExtension(path, ".exe") || HasExtension(path, ".dll");
}

// Makes row the only selected row and focuses it; -1 leaves no row selected.
void SelectOnly(HWND list, int row)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    if (row < 0)
        return;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void Refuse(const std::string &what, const char *cause)
{
    g_shellSeams.errorDialog("", what.c_str(), cause);
}

}

ApplicationListDialog::ApplicationListDialog(int32_t kind, PathList &list, const PathList &other)
    : Dialog(MAKEINTRESOURCEA(IDD_APPLICATION_LIST)), kind_(kind), list_(list), other_(other)
{
}

BOOL ApplicationListDialog::OnInitDialog()
{
    bool include = kind_ == XR_CFG_KIND_YES;
    SetWindowTextA(hwnd_, include ? "Include List" : "Exclude List");
    CtlSetText(hwnd_, IDC_APP_TEXT,
               include ? "Only socksify these applications." : "Socksify all Internet applications, except these:");
    icons_.Attach(hwnd_, IDC_APP_LIST);
    HWND list = icons_.Handle();
    RECT client;
    GetClientRect(list, &client);
    int nameWidth = (client.right - GetSystemMetrics(SM_CXVSCROLL)) / 3;
    const char *const names[] = {"Application name", "Path"};
    const int widths[] = {nameWidth, client.right - GetSystemMetrics(SM_CXVSCROLL) - nameWidth};
    for (int index = 0; index < 2; index++) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char *>(names[index]);
        column.cx = widths[index];
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
    }
    // What is stored was checked when it was added; a file that is no program any more (a
    // shortcut, say) is left out without a word.
    for (const std::string &stored : list_) {
        std::string path = Target(stored);
        if (IsProgramFile(path))
            icons_.AddApplication(path);
    }
    SelectOnly(list, -1);
    return TRUE;
}

INT_PTR ApplicationListDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DROPFILES) {
        Drop(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    }
    return Dialog::OnMessage(message, wParam, lParam);
}

bool ApplicationListDialog::OnCommand(int id, int code, HWND control)
{
    if (code == BN_CLICKED && id == IDC_APP_ADD) {
        Browse();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_APP_REMOVE) {
        RemoveSelected();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

int ApplicationListDialog::RowOf(const std::string &path) const
{
    for (int row = 0; row < icons_.Count(); row++)
        if (icons_.Text(row, 1) == path)
            return row;
    return -1;
}

void ApplicationListDialog::AddFile(const std::string &chosen)
{
    std::string path = Target(chosen);
    int row = RowOf(path);
    if (row >= 0) {
        Refuse(path + " is already on the list. You cannot add duplicate application to the same list.",
               "A file was added more then once.");
        SelectOnly(icons_.Handle(), row);
        return;
    }
    if (std::find(other_.begin(), other_.end(), path) != other_.end()) {
        std::string question = path + " is already on the " +
                               (kind_ == XR_CFG_KIND_YES ? "exclude" : "include") +
                               " list. Usually it is incorrect to have the same application appear on both "
                               "include and exclude list. Press Yes if you still want to add, otherwise press No?";
        if (g_shellSeams.messageBox(hwnd_, question.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    if (path.size() > XR_SETTINGS_MAX_PATH) {
        Refuse("Could not add file", "The path to the file was too long.");
        return;
    }
    if (!IsProgramFile(path)) {
        Refuse(path + " is not a a valid file.\nFile must be an excutable file with file extention \".exe\", "
                      "\".dll\", or a shortcut to an excutable file .",
               "An invalid file was choosed.");
        return;
    }
    icons_.AddApplication(path);
}

void ApplicationListDialog::Browse()
{
    std::vector<char> chosen(kChoiceBuffer, '\0');
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd_;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = kChoiceBuffer;
    dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!g_shellSeams.fileDialog(&dialog, false))
        return;
    // One file comes as its full path; several as the folder followed by the names.
    std::string first = chosen.data();
    const char *name = chosen.data() + first.size() + 1;
    if (!*name) {
        AddFile(first);
        return;
    }
    std::string folder = first.back() == '\\' ? first : first + '\\';
    for (; *name; name += lstrlenA(name) + 1)
        AddFile(folder + name);
}

void ApplicationListDialog::Drop(HDROP drop)
{
    SetForegroundWindow(hwnd_);
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT index = 0; index < count; index++) {
        char path[MAX_PATH] = "";
        if (DragQueryFileA(drop, index, path, sizeof path))
            AddFile(path);
    }
    DragFinish(drop);
}

void ApplicationListDialog::RemoveSelected()
{
    HWND list = icons_.Handle();
    std::vector<int> selected;
    for (int row = -1; (row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0;)
        selected.push_back(row);
    if (selected.empty())
        return;
    for (auto row = selected.rbegin(); row != selected.rend(); ++row)
        SendMessageA(list, LVM_DELETEITEM, *row, 0);
    // The row that took the place of the first one removed, or the new last row.
    SelectOnly(list, std::min(selected.front(), icons_.Count() - 1));
}

void ApplicationListDialog::OnOK()
{
    list_.clear();
    for (int row = 0; row < icons_.Count(); row++)
        list_.push_back(icons_.Text(row, 1));
    accepted = true;
    EndDialog(IDOK);
}
