// The applications page on a sheet of its own: the policy buttons, the include and exclude list
// dialogs fed through the file dialog's seam and by dropped files, and what Apply leaves in the
// application list file and the client key.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "ApplicationPage.h"
#include "ClientSettings.h"
#include "Seams.h"
#include "installed_client.h"
#include "make_shortcut.h"
#include "page_driver.h"
#include "pages_resource.h"
#include "regnames.h"

namespace {

std::vector<std::string> g_messages;
std::vector<std::string> g_errors;
int g_answer = IDYES;
// What the file dialog hands back: names separated and ended by NULs; empty cancels it.
std::string g_choice;
std::string g_filter;
DWORD g_flags = 0;

int RecordMessage(HWND, const char *text, const char *, UINT)
{
    g_messages.push_back(text);
    return g_answer;
}

void RecordError(const char *, const char *what, const char *)
{
    g_errors.push_back(what);
}

BOOL ChooseFiles(OPENFILENAMEA *dialog, bool save)
{
    EXPECT_FALSE(save);
    g_filter = FilterOf(*dialog);
    g_flags = dialog->Flags;
    if (g_choice.empty())
        return FALSE;
    EXPECT_LT(g_choice.size(), dialog->nMaxFile);
    memcpy(dialog->lpstrFile, g_choice.data(), g_choice.size());
    return TRUE;
}

// Several files chosen at once: the folder, then the names.
std::string Choice(const std::string &folder, const std::vector<std::string> &names)
{
    std::string choice = folder + '\0';
    for (const std::string &name : names)
        choice += name + '\0';
    return choice + '\0';
}

// Files dropped from the shell: the platform hands them over in a DROPFILES block.
void Drop(HWND dialog, const std::vector<std::string> &paths)
{
    std::string names;
    for (const std::string &path : paths)
        names += path + '\0';
    names += '\0';
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
    DROPFILES *files = static_cast<DROPFILES *>(GlobalLock(block));
    files->pFiles = sizeof(DROPFILES);
    memcpy(reinterpret_cast<char *>(files) + sizeof(DROPFILES), names.data(), names.size());
    GlobalUnlock(block);
    SendMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

// The rows of the dialog's list as "name|path", a selected row marked with '*' in front.
std::vector<std::string> Rows(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_APP_LIST);
    std::vector<std::string> rows;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; row++) {
        std::string text = SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) ? "*" : "";
        rows.push_back(text + ListCell(list, row, 0) + "|" + ListCell(list, row, 1));
    }
    return rows;
}

void SelectRows(HWND dialog, std::vector<int> rows)
{
    for (int row : rows) {
        LVITEMA item = {};
        item.state = item.stateMask = LVIS_SELECTED;
        SendMessageA(GetDlgItem(dialog, IDC_APP_LIST), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
}

class ApplicationPageTest : public InstalledClientTest {
protected:
    void SetUp() override
    {
        InstalledClientTest::SetUp();
        CoInitialize(nullptr);
        saved_ = g_shellSeams;
        g_shellSeams.messageBox = RecordMessage;
        g_shellSeams.errorDialog = RecordError;
        g_shellSeams.fileDialog = ChooseFiles;
        g_messages.clear();
        g_errors.clear();
        g_answer = IDYES;
        g_choice.clear();
        g_filter.clear();
        g_flags = 0;
    }

    void TearDown() override
    {
        g_shellSeams = saved_;
        CoUninitialize();
        InstalledClientTest::TearDown();
    }

    void Show(std::function<void(HWND sheet, HWND page)> act)
    {
        settings_.Load();
        ApplicationPage page(settings_);
        bool acted = false;
        ShowOnSheet(page, act, acted);
        EXPECT_TRUE(acted);
    }

    // Opens a list dialog with its page button and lets answer work in it before it closes.
    static void EditList(HWND page, int button, const char *caption, std::function<void(HWND)> answer)
    {
        PostCommand(page, button);
        HWND dialog = WaitForWindow(GetWindowThreadProcessId(page, nullptr), caption);
        ASSERT_NE(nullptr, dialog);
        answer(dialog);
        ASSERT_TRUE(WaitDestroyed(dialog));
        SendMessageA(page, WM_NULL, 0, 0);
    }

    // The include and exclude lines of the file: the system list after them depends on the machine.
    std::string Lists() const
    {
        std::string bytes = Read(ApplicationFile());
        return bytes.substr(0, bytes.find("sys "));
    }

    ClientSettings settings_;
    ShellSeams saved_;
};

TEST_F(ApplicationPageTest, EditedListsAndPolicyReachTheFileAndTheKeyOnApply)
{
    for (const char *name : {"Tool.EXE", "notes.bat", "target.exe", "shared.exe"})
        Write(name, "MZ");
    MakeShortcut(Path("tool.lnk"), Path("target.exe"));
    Write("apps.cfg", "yes " + Path("shared.exe") + "\nyes C:\\Apps\\x.exe\nyes C:\\Apps\\y.exe\nyes C:\\Apps\\z.exe\n"
                      "no C:\\Apps\\kept.exe\n");
    bool onlyShown = false, onlyButtons = false, allButtons = false;
    std::string includeText, excludeText;
    std::vector<std::string> loaded, afterRemove, excluded, appliedLists;
    Show([&](HWND sheet, HWND page) {
        onlyShown = IsDlgButtonChecked(page, IDC_PROXY_ONLY) && !IsDlgButtonChecked(page, IDC_PROXY_ALL);
        onlyButtons = Enabled(page, IDC_INCLUDE_LIST) && !Enabled(page, IDC_EXCLUDE_LIST);
        EditList(page, IDC_INCLUDE_LIST, "Include List", [&](HWND dialog) {
            includeText = TextOf(dialog, IDC_APP_TEXT);
            loaded = Rows(dialog);
            SelectRows(dialog, {1, 2, 3});
            Click(dialog, IDC_APP_REMOVE);
            afterRemove = Rows(dialog);
            Click(dialog, IDOK);
        });
        Click(page, IDC_PROXY_ALL);
        allButtons = !Enabled(page, IDC_INCLUDE_LIST) && Enabled(page, IDC_EXCLUDE_LIST);
        EditList(page, IDC_EXCLUDE_LIST, "Exclude List", [&](HWND dialog) {
            excludeText = TextOf(dialog, IDC_APP_TEXT);
            g_choice = Choice(dir_, {"Tool.EXE", "notes.bat", "tool.lnk", "shared.exe"});
            Click(dialog, IDC_APP_ADD);
            Drop(dialog, {Path("Tool.EXE")});
            excluded = Rows(dialog);
            Click(dialog, IDOK);
        });
        Click(sheet, kApplyButton);
        appliedLists = {Lists()};
        Click(sheet, IDCANCEL);
    });
    EXPECT_TRUE(onlyShown);
    EXPECT_TRUE(onlyButtons);
    EXPECT_TRUE(allButtons);
    EXPECT_EQ("Only socksify these applications.", includeText);
    EXPECT_EQ("Socksify all Internet applications, except these:", excludeText);
    EXPECT_EQ((std::vector<std::string>{"shared|" + Path("shared.exe"), "x|C:\\Apps\\x.exe", "y|C:\\Apps\\y.exe",
                                        "z|C:\\Apps\\z.exe"}),
              loaded);
    EXPECT_EQ((std::vector<std::string>{"*shared|" + Path("shared.exe")}), afterRemove);
    // The shortcut stands for its target; the duplicate dropped is selected again.
    EXPECT_EQ((std::vector<std::string>{"kept|C:\\Apps\\kept.exe", "*Tool|" + Path("Tool.EXE"),
                                        "target|" + Path("target.exe"), "shared|" + Path("shared.exe")}),
              excluded);
    EXPECT_NE(std::string::npos, g_filter.find(std::string("*.exe;*.dll;*.lnk\0", 18)));
    EXPECT_EQ(DWORD(OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST),
              g_flags & (OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST));
    ASSERT_EQ(2u, g_errors.size());
    EXPECT_EQ(0u, g_errors[0].find(Path("notes.bat") + " is not a a valid file.")) << g_errors[0];
    EXPECT_EQ(0u, g_errors[1].find(Path("Tool.EXE") + " is already on the list.")) << g_errors[1];
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(0u, g_messages[0].find(Path("shared.exe") + " is already on the include list.")) << g_messages[0];
    std::string expected = "yes " + Path("shared.exe") + "\r\nno C:\\Apps\\kept.exe\r\nno " + Path("Tool.EXE") +
                           "\r\nno " + Path("target.exe") + "\r\nno " + Path("shared.exe") + "\r\n";
    EXPECT_EQ(std::vector<std::string>{expected}, appliedLists);
    EXPECT_EQ("1", Value(XR_CLIENT_KEY, XR_VALUE_SOCKSIFY_ALL));
    EXPECT_EQ(0, settings_.applicationsChanged);
}

TEST_F(ApplicationPageTest, ListChangesNeedTheDialogsOkAndAreDroppedByTheSheetsCancel)
{
    Write("a.exe", "MZ");
    Write("b.exe", "MZ");
    const std::string stored = "yes C:\\Apps\\x.exe\nno " + Path("a.exe") + "\n";
    Write("apps.cfg", stored);
    g_answer = IDNO;
    bool modifiedByCancelled = true, modifiedByOk = false;
    std::vector<std::string> refused, reopened;
    Show([&](HWND sheet, HWND page) {
        EditList(page, IDC_INCLUDE_LIST, "Include List", [&](HWND dialog) {
            g_choice = Choice(Path("a.exe"), {});
            Click(dialog, IDC_APP_ADD);
            refused = Rows(dialog);
            g_choice = Choice(Path("b.exe"), {});
            Click(dialog, IDC_APP_ADD);
            Click(dialog, IDCANCEL);
        });
        modifiedByCancelled = Enabled(sheet, kApplyButton);
        EditList(page, IDC_INCLUDE_LIST, "Include List", [&](HWND dialog) {
            reopened = Rows(dialog);
            g_choice = Choice(Path("b.exe"), {});
            Click(dialog, IDC_APP_ADD);
            Click(dialog, IDOK);
        });
        modifiedByOk = Enabled(sheet, kApplyButton);
        Click(sheet, IDCANCEL);
    });
    // No to the question keeps a path off the second list.
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(0u, g_messages[0].find(Path("a.exe") + " is already on the exclude list.")) << g_messages[0];
    EXPECT_EQ(std::vector<std::string>{"x|C:\\Apps\\x.exe"}, refused);
    EXPECT_FALSE(modifiedByCancelled);
    EXPECT_EQ(std::vector<std::string>{"x|C:\\Apps\\x.exe"}, reopened);
    EXPECT_TRUE(modifiedByOk);
    EXPECT_EQ(stored, Read(ApplicationFile()));
    EXPECT_EQ(PathList{"C:\\Apps\\x.exe"}, settings_.includeList);
    EXPECT_EQ(0, settings_.applicationsChanged);
    EXPECT_EQ("<missing>", Value(XR_CLIENT_KEY, XR_VALUE_SOCKSIFY_ALL));
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(ApplicationPageTest, FailedWriteIsReportedAndKeepsTheChange)
{
    const char stored[] = "yes C:\\Apps\\x.exe\n";
    Write("apps.cfg", stored);
    SetFileAttributesA(ApplicationFile().c_str(), FILE_ATTRIBUTE_READONLY);
    bool stillOpen = false;
    Show([&](HWND sheet, HWND page) {
        Click(page, IDC_PROXY_ALL);
        Click(sheet, IDOK);
        stillOpen = CurrentPage(sheet) != nullptr;
        Click(sheet, IDCANCEL);
    });
    SetFileAttributesA(ApplicationFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(1u, g_errors.size());
    EXPECT_EQ("Could not write the application lists to the file " + ApplicationFile() + ".", g_errors[0]);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(1, settings_.applicationsChanged);
    EXPECT_EQ(stored, Read(ApplicationFile()));
    EXPECT_EQ("<missing>", Value(XR_CLIENT_KEY, XR_VALUE_SOCKSIFY_ALL));
}

TEST_F(ApplicationPageTest, PolicyShownIsTheStoredOneOrSocksifyAllForTheWizard)
{
    struct Case {
        DWORD stored, wizard;
        bool all;
    };
    for (const Case &c : {Case{0, 1, true}, Case{1, 0, true}, Case{0, 0, false}}) {
        SetNumber(XR_CLIENT_KEY, XR_VALUE_SOCKSIFY_ALL, c.stored);
        SetNumber(XR_CLIENT_KEY, XR_VALUE_START_AS_WIZARD, c.wizard);
        bool all = !c.all, excludeButton = !c.all;
        Show([&](HWND, HWND page) {
            all = IsDlgButtonChecked(page, IDC_PROXY_ALL) && !IsDlgButtonChecked(page, IDC_PROXY_ONLY);
            excludeButton = Enabled(page, IDC_EXCLUDE_LIST) && !Enabled(page, IDC_INCLUDE_LIST);
        });
        EXPECT_EQ(c.all, all) << c.stored << " " << c.wizard;
        EXPECT_EQ(c.all, excludeButton) << c.stored << " " << c.wizard;
    }
}

}
