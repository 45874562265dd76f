// The settings program's main sheet for the page tests whose pages ask the sheet for something
// (a rebuild, a reload, the icon's removal): the real ClientPropertySheet on the test's thread,
// the shell's seams answering as a user would and noting what they were asked.
#ifndef TESTS_CLIENT_PAGES_MAIN_SHEET_H
#define TESTS_CLIENT_PAGES_MAIN_SHEET_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ClientSettings.h"
#include "Seams.h"
#include "client_process.h"
#include "installed_client.h"

class PropertyPage;

class MainSheetTest : public InstalledClientTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the settings as the program does, builds the sheet's pages from the stored values and
    // shows it; act runs on the driver thread and must close the sheet.
    void RunMainSheet(const std::function<void(HWND sheet)> &act);
    // Loads the settings and shows page alone on a sheet of its own.
    void RunAlone(PropertyPage &page, const std::function<void(HWND sheet, HWND page)> &act);

    // What the seams were asked, a line each: "message TEXT", "error WHAT|CAUSE",
    // "file open" / "file save", "tray add" / "tray delete".
    static std::vector<std::string> Journal();
    static int Count(const std::string &line);
    // The file dialogs answer with this path (Windows form); an empty one cancels.
    static void AnswerFiles(const std::string &path);

    static int ActiveIndex(HWND sheet);
    static HWND PageAt(HWND sheet, int index);

    ClientSettings settings_;

private:
    ShellSeams saved_;
};

#endif
