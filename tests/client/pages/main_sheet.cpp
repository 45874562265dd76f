#include "main_sheet.h"

#include <string.h>

#include <mutex>

#include "ClientPropertySheet.h"
#include "modal_driver.h"
#include "page_driver.h"
#include "regnames.h"
#include "xrplugin_host.h"
#include "xrstr.h"

namespace {

// The seams run on the sheet's thread, the test reads on the driver thread.
std::mutex g_lock;
std::vector<std::string> g_journal;
std::string g_fileAnswer;

void Note(const std::string &line)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_journal.push_back(line);
}

int NoteMessage(HWND, const char *text, const char *, UINT)
{
    Note(std::string("message ") + text);
    return IDOK;
}

void NoteError(const char *, const char *what, const char *cause)
{
    Note(std::string("error ") + what + "|" + cause);
}

BOOL AnswerFile(OPENFILENAMEA *dialog, bool save)
{
    Note(save ? "file save" : "file open");
    std::string answer;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        answer = g_fileAnswer;
    }
    return !answer.empty() && XrStrCopy(dialog->lpstrFile, dialog->nMaxFile, answer.c_str()) == 0;
}

BOOL NoteIcon(DWORD message, NOTIFYICONDATAA *)
{
    Note(message == NIM_ADD ? "tray add" : message == NIM_DELETE ? "tray delete" : "tray modify");
    return TRUE;
}

}

void MainSheetTest::SetUp()
{
    InstalledClientTest::SetUp();
    saved_ = g_shellSeams;
    g_shellSeams.messageBox = NoteMessage;
    g_shellSeams.errorDialog = NoteError;
    g_shellSeams.fileDialog = AnswerFile;
    g_shellSeams.notifyIcon = NoteIcon;
    std::lock_guard<std::mutex> hold(g_lock);
    g_journal.clear();
    g_fileAnswer.clear();
}

void MainSheetTest::TearDown()
{
    g_shellSeams = saved_;
    InstalledClientTest::TearDown();
}

void MainSheetTest::RunMainSheet(const std::function<void(HWND sheet)> &act)
{
    settings_.Load();
    ClientPropertySheet sheet(settings_);
    sheet.BuildPages();
    ModalDriver driver([&](HWND window) {
        act(window);
        // A test that stopped half-way still ends the sheet.
        if (IsWindow(window) && CurrentPage(window))
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(window, WM_NULL, 0, 0);
    });
    sheet.DoModal();
    EXPECT_TRUE(driver.Acted());
}

void MainSheetTest::RunAlone(PropertyPage &page, const std::function<void(HWND sheet, HWND page)> &act)
{
    bool acted = false;
    ShowOnSheet(page, act, acted);
    EXPECT_TRUE(acted);
}

std::vector<std::string> MainSheetTest::Journal()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_journal;
}

int MainSheetTest::Count(const std::string &line)
{
    int count = 0;
    for (const std::string &noted : Journal())
        count += noted == line;
    return count;
}

void MainSheetTest::AnswerFiles(const std::string &path)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_fileAnswer = path;
}

int MainSheetTest::ActiveIndex(HWND sheet)
{
    return static_cast<int>(SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(CurrentPage(sheet)), 0));
}

HWND MainSheetTest::PageAt(HWND sheet, int index)
{
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, index, 0));
}

