// Application icons, shortcut targets and the icon list with real files in a temporary folder:
// copies of this test program (which has an icon of its own), shortcut files made through the
// shell's link object, and an owner-drawn list in a real dialog, painted into a bitmap.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "ApplicationIcons.h"
#include "Dialog.h"
#include "IconListControl.h"
#include "make_shortcut.h"
#include "icon_list_test_resource.h"

namespace {

// The pixels of an icon drawn at size x size on white.
std::vector<COLORREF> Pixels(HICON icon, int size)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, size, size};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++)
            pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

int IconWidth(HICON icon)
{
    ICONINFO info = {};
    BITMAP bitmap = {};
    if (!GetIconInfo(icon, &info))
        return 0;
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// A dialog of the framework holding an icon list with the application dialog's two columns;
// body runs while it is initialised, then the dialog ends.
class ListHost : public Dialog {
public:
    explicit ListHost(std::function<void(ListHost &)> body) : Dialog(MAKEINTRESOURCEA(IDD_LIST_HOST)), body_(body) {}
    IconListControl list;

private:
    BOOL OnInitDialog() override
    {
        EXPECT_TRUE(list.Attach(hwnd_, IDC_APP_LIST));
        const char *names[] = {"Application name", "Path"};
        for (int i = 0; i < 2; i++) {
            LVCOLUMNA column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = const_cast<char *>(names[i]);
            column.cx = 110 + 100 * i;
            SendMessageA(list.Handle(), LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
        }
        body_(*this);
        EndDialog(IDOK);
        return TRUE;
    }
    std::function<void(ListHost &)> body_;
};

class IconListTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        folder_ = std::string(temp) + "fw icon list " + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, sizeof self);
        program_ = Path("Proxy Tool.exe");
        ASSERT_TRUE(CopyFileA(self, program_.c_str(), FALSE));
    }
    void TearDown() override
    {
        // Double-NUL-terminated list of one folder.
        std::string from = folder_ + '\0';
        SHFILEOPSTRUCTA remove = {};
        remove.wFunc = FO_DELETE;
        remove.pFrom = from.c_str();
        remove.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        SHFileOperationA(&remove);
        CoUninitialize();
    }

    std::string Path(const std::string &name) { return folder_ + "\\" + name; }

    void WriteFile(const std::string &path, const std::string &bytes)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    std::string ReadFile(const std::string &path)
    {
        std::string bytes;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        char buffer[4096];
        DWORD got = 0;
        while (file != INVALID_HANDLE_VALUE && ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
            bytes.append(buffer, got);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return bytes;
    }

    std::string folder_;
    std::string program_;
};

}

TEST_F(IconListTest, ShortcutsResolveToTheProgramOrToNothingWithoutAnyWindow)
{
    std::string gone = Path("Gone.exe");
    ASSERT_TRUE(CopyFileA(program_.c_str(), gone.c_str(), FALSE));
    MakeShortcut(Path("Proxy Tool.lnk"), program_);
    MakeShortcut(Path("Gone.lnk"), gone);
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    MakeShortcut(Path("Via.LNK"), Path("Proxy Tool.lnk"));
    MakeShortcut(Path("Round.lnk"), Path("About.lnk"));
    MakeShortcut(Path("About.lnk"), Path("Round.lnk"));
    WriteFile(Path("Broken.lnk"), "no shortcut at all");
    struct Case {
        const char *what;
        std::string shortcut;
        std::string target;
    } cases[] = {
        {"to a program", Path("Proxy Tool.lnk"), program_},
        {"to a shortcut to a program", Path("Via.LNK"), program_},
        {"to a program that was deleted", Path("Gone.lnk"), ""},
        {"round in a circle", Path("Round.lnk"), ""},
        {"a file that is no shortcut", Path("Broken.lnk"), ""},
        {"no file", Path("Missing.lnk"), ""},
        {"a program rather than a shortcut", program_, ""},
    };
    std::string gonePointer = ReadFile(Path("Gone.lnk"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.target, ResolveShortcut(c.shortcut));
    }
    // The user's shortcut is read, never rewritten.
    EXPECT_EQ(gonePointer, ReadFile(Path("Gone.lnk")));
}

TEST_F(IconListTest, ProgramPathIsTheTextUpToTheFirstBlankAfterAnExistingFile)
{
    // A folder on the way to the program, named like the program's first word.
    ASSERT_TRUE(CreateDirectoryA(Path("Proxy").c_str(), nullptr));
    struct Case {
        const char *what;
        std::string command;
        std::string program;
    } cases[] = {
        {"program alone", program_, program_},
        {"arguments after a folder and a program with blanks", program_ + " -q --port 1080", program_},
        {"arguments after a tab", program_ + "\t-q", program_},
        {"two blanks", program_ + "  -q", program_},
        {"no such program", Path("Nothing here.exe -q"), Path("Nothing here.exe -q")},
        {"only a folder", Path("Proxy") + " -q", Path("Proxy") + " -q"},
        {"empty", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.program, ApplicationProgramPath(c.command));
    }
}

TEST_F(IconListTest, IconsComeFromTheProgramFileOrAreTheQuestionMark)
{
    int size = GetSystemMetrics(SM_CXICON);
    int smallSize = GetSystemMetrics(SM_CXSMICON);
    HICON own = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TEST_APP), IMAGE_ICON,
                                              size, size, 0));
    std::vector<COLORREF> question = Pixels(LoadIcon(nullptr, IDI_QUESTION), size);
    WriteFile(Path("notes.txt"), "plain text\r\n");
    WriteFile(Path("Fake.exe"), "no program\r\n");
    struct Case {
        const char *what;
        std::string command;
        bool programIcon;
    } cases[] = {
        {"program", program_, true},
        {"program with arguments", program_ + " -q", true},
        {"text file", Path("notes.txt"), false},
        {"file named like a program that is none", Path("Fake.exe"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        HICON large = nullptr, small = nullptr;
        HICON icon = GetApplicationIcons(c.command, &large, &small);
        ASSERT_NE(nullptr, icon);
        ASSERT_NE(nullptr, large);
        ASSERT_NE(nullptr, small);
        EXPECT_EQ(c.programIcon ? Pixels(own, size) : question, Pixels(icon, size));
        // The shell's own pictures of the file, in its two sizes.
        EXPECT_EQ(size, IconWidth(large));
        EXPECT_EQ(smallSize, IconWidth(small));
        // Each handle is the caller's own.
        EXPECT_TRUE(DestroyIcon(icon));
        EXPECT_TRUE(DestroyIcon(large));
        EXPECT_TRUE(DestroyIcon(small));
    }
    DestroyIcon(own);
}

TEST_F(IconListTest, ListShowsEachApplicationWithIconNameAndPathAndHighlightsTheSelectedRow)
{
    WriteFile(Path("notes.txt"), "plain text\r\n");
    ListHost host([&](ListHost &dialog) {
        IconListControl &list = dialog.list;
        EXPECT_FALSE(list.Attach(dialog.Handle(), IDC_APP_LIST));
        EXPECT_EQ(0, list.AddApplication(program_));
        EXPECT_EQ(1, list.AddApplication(Path("notes.txt")));
        EXPECT_EQ(2, list.AddApplication("C:\\Program Files\\v1.2\\runner"));
        ASSERT_EQ(3, list.Count());
        const char *names[] = {"Proxy Tool", "notes", "runner"};
        const std::string paths[] = {program_, Path("notes.txt"), "C:\\Program Files\\v1.2\\runner"};
        for (int row = 0; row < 3; row++) {
            EXPECT_EQ(names[row], list.Text(row, 0));
            EXPECT_EQ(paths[row], list.Text(row, 1));
        }
        EXPECT_EQ("", list.Text(3, 0));
        HWND handle = list.Handle();
        for (int which : {LVSIL_SMALL, LVSIL_NORMAL})
            EXPECT_EQ(3, ImageList_GetImageCount(
                             reinterpret_cast<HIMAGELIST>(SendMessageA(handle, LVM_GETIMAGELIST, which, 0))));
        // The last row added is the selected and focused one.
        EXPECT_EQ(1u, SendMessageA(handle, LVM_GETSELECTEDCOUNT, 0, 0));
        EXPECT_EQ(2, SendMessageA(handle, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED | LVNI_FOCUSED));
        list.SetView(LVS_ICON);
        EXPECT_EQ(static_cast<LONG_PTR>(LVS_ICON | LVS_OWNERDRAWFIXED),
                  GetWindowLongPtrA(handle, GWL_STYLE) & (LVS_TYPEMASK | LVS_OWNERDRAWFIXED));
        list.SetView(LVS_REPORT);

        // Painted into a bitmap: the rows are drawn here, the selected one in the highlight colour.
        RECT client;
        GetClientRect(handle, &client);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
        HGDIOBJ old = SelectObject(dc, bitmap);
        SendMessageA(handle, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
        for (int row = 0; row < 3; row++) {
            SCOPED_TRACE(names[row]);
            RECT rect = {};
            rect.left = LVIR_BOUNDS;
            SendMessageA(handle, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
            int middle = (rect.top + rect.bottom) / 2;
            // The end of the name cell, past its text.
            COLORREF background = GetSysColor(row == 2 ? COLOR_HIGHLIGHT : COLOR_WINDOW);
            EXPECT_EQ(background, GetPixel(dc, 110 - 3, middle));
            int written = 0;
            for (int x = 110 + 2; x < 110 + 60; x++)
                for (int y = rect.top; y < rect.bottom; y++)
                    written += GetPixel(dc, x, y) != background;
            EXPECT_GT(written, 20) << "path text";
            int icon = 0;
            for (int x = rect.left; x < rect.left + GetSystemMetrics(SM_CXSMICON); x++)
                for (int y = rect.top; y < rect.bottom; y++)
                    icon += GetPixel(dc, x, y) != GetSysColor(COLOR_WINDOW);
            EXPECT_GT(icon, 20) << "icon";
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    });
    EXPECT_EQ(IDOK, host.DoModal());
}
