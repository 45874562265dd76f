#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "Controls.h"
#include "PropertyPage.h"
#include "PropertySheet.h"
#include "gui_test_resource.h"
#include "modal_driver.h"

namespace {

// Records the hooks the sheet calls, in order.
class RecordingPage : public PropertyPage {
public:
    RecordingPage(int templateId, std::string &log, const char *name)
        : PropertyPage(MAKEINTRESOURCEA(templateId)), log_(log), name_(name)
    {
    }

    bool refuseApply = false;

protected:
    BOOL OnInitDialog() override { return Note("init"), TRUE; }
    bool OnSetActive() override { return Note("active"), true; }
    bool OnApply() override { return Note("apply"), !refuseApply; }
    void OnReset() override { Note("reset"); }
    LRESULT OnWizardNext() override { return Note("next"), 0; }
    LRESULT OnWizardBack() override { return Note("back"), 0; }
    bool OnWizardFinish() override { return Note("finish"), true; }

private:
    void Note(const char *what) { log_ += name_ + ":" + what + ";"; }

    std::string &log_;
    std::string name_;
};

const int kApplyButton = 0x3021;
const int kBackButton = 0x3023;
const int kNextButton = 0x3024;

HWND CurrentPage(HWND sheet)
{
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

}

// On its message, adds a page, shows it and removes the first one, as a sheet rebuilds its pages.
class RebuildingSheet : public PropertySheet {
public:
    explicit RebuildingSheet(PropertyPage &added) : PropertySheet("Rebuilding"), added_(added) {}

    const UINT rebuild = RegisterWindowMessageA("FERROWIN_TEST_REBUILD");
    int tabsAfterAdd = 0;
    HWND shownAfterRemove = nullptr;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != rebuild)
            return PropertySheet::WindowProc(message, wParam, lParam);
        AddPage(&added_);
        HWND tabs = reinterpret_cast<HWND>(SendMessageA(Handle(), PSM_GETTABCONTROL, 0, 0));
        tabsAfterAdd = TabCtrl_GetItemCount(tabs);
        SetActivePage(1);
        RemovePage(0);
        shownAfterRemove = CurrentPage(Handle());
        return 0;
    }

private:
    PropertyPage &added_;
};

class PropertySheetTest : public ::testing::Test {
protected:
    std::string log;
    RecordingPage one{IDD_PAGE_ONE, log, "one"};
    RecordingPage two{IDD_PAGE_TWO, log, "two"};
};

TEST_F(PropertySheetTest, OkAppliesTheVisitedPagesAndEndsWithOk)
{
    PropertySheet sheet("Ferrowin Client Properties");
    sheet.AddPage(&one);
    sheet.AddPage(&two);
    std::string caption;
    ModalDriver driver([&](HWND hwnd) {
        caption = ModalDriver::Text(hwnd);
        SendMessageA(hwnd, PSM_SETCURSEL, 1, 0);
        SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_OK, 0);
    });
    EXPECT_EQ(IDOK, sheet.DoModal());
    ASSERT_TRUE(driver.Acted());
    EXPECT_EQ("Ferrowin Client Properties", caption);
    EXPECT_NE(std::string::npos, log.find("one:apply;")) << log;
    EXPECT_NE(std::string::npos, log.find("two:apply;")) << log;
    EXPECT_EQ(nullptr, sheet.Handle());
}

TEST_F(PropertySheetTest, CancelResetsWithoutApplying)
{
    PropertySheet sheet("Sheet");
    sheet.AddPage(&one);
    ModalDriver driver([&](HWND hwnd) { SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0); });
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    ASSERT_TRUE(driver.Acted());
    EXPECT_EQ("one:init;one:active;one:reset;", log);
}

TEST_F(PropertySheetTest, ModifiedMarkEnablesApply)
{
    PropertySheet sheet("Sheet");
    sheet.AddPage(&one);
    bool before = true, after = false, cleared = true;
    ModalDriver driver([&](HWND hwnd) {
        HWND apply = GetDlgItem(hwnd, kApplyButton);
        before = IsWindowEnabled(apply);
        one.SetModified();
        after = IsWindowEnabled(apply);
        one.SetModified(false);
        cleared = IsWindowEnabled(apply);
        SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    sheet.DoModal();
    ASSERT_TRUE(driver.Acted());
    EXPECT_FALSE(before);
    EXPECT_TRUE(after);
    EXPECT_FALSE(cleared);
}

TEST_F(PropertySheetTest, RefusedApplyKeepsTheSheetOpen)
{
    PropertySheet sheet("Sheet");
    sheet.AddPage(&one);
    one.refuseApply = true;
    bool open = false;
    ModalDriver driver([&](HWND hwnd) {
        SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_OK, 0);
        open = CurrentPage(hwnd) != nullptr;
        SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    ASSERT_TRUE(driver.Acted());
    EXPECT_TRUE(open);
}

TEST_F(PropertySheetTest, PagesCanBeAddedAndRemovedWhileShown)
{
    RebuildingSheet sheet(two);
    sheet.AddPage(&one);
    HWND shown = nullptr;
    ModalDriver driver([&](HWND hwnd) {
        SendMessageA(hwnd, sheet.rebuild, 0, 0);
        shown = CurrentPage(hwnd);
        SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    sheet.DoModal();
    ASSERT_TRUE(driver.Acted());
    EXPECT_EQ(2, sheet.tabsAfterAdd);
    EXPECT_EQ(1, sheet.PageCount());
    EXPECT_EQ(&two, sheet.Page(0));
    EXPECT_TRUE(shown);
    EXPECT_EQ(shown, sheet.shownAfterRemove);
}

TEST_F(PropertySheetTest, WizardGoesNextAndBackAndEndsWithFinish)
{
    PropertySheet wizard("Setup", true);
    wizard.AddPage(&one);
    wizard.AddPage(&two);
    int indexAfterNext = -1, indexAfterBack = -1;
    bool backEnabled = true;
    ModalDriver driver([&](HWND hwnd) {
        wizard.SetWizardButtons(PSWIZB_NEXT);
        backEnabled = IsWindowEnabled(GetDlgItem(hwnd, kBackButton));
        ModalDriver::Click(hwnd, kNextButton);
        indexAfterNext = wizard.ActiveIndex();
        SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_BACK, 0);
        indexAfterBack = wizard.ActiveIndex();
        SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        wizard.SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
        SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    });
    EXPECT_EQ(ID_WIZFINISH, wizard.DoModal());
    ASSERT_TRUE(driver.Acted());
    EXPECT_FALSE(backEnabled);
    EXPECT_EQ(1, indexAfterNext);
    EXPECT_EQ(0, indexAfterBack);
    EXPECT_NE(std::string::npos, log.find("one:next;two:init;two:active;two:back;one:active;one:next;two:active;two:finish;"))
        << log;
}

TEST_F(PropertySheetTest, QuitMessageEndsTheSheetAndStaysQueued)
{
    PropertySheet sheet("Sheet");
    sheet.AddPage(&one);
    DWORD thread = GetCurrentThreadId();
    ModalDriver driver([&](HWND) { PostThreadMessageA(thread, WM_QUIT, 3, 0); });
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    ASSERT_TRUE(driver.Acted());
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
}

namespace {

// A sheet that keeps the Escape key from its pages and answers a message of its own, as the
// main sheet of the program does.
class KeyedSheet : public PropertySheet {
public:
    KeyedSheet() : PropertySheet("Keyed") {}

    const UINT ping = RegisterWindowMessageA("FERROWIN_TEST_PING");
    HWND initialised = nullptr;
    std::atomic<int> pings{0};

protected:
    void OnInitialized() override { initialised = Handle(); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == ping) {
            pings++;
            return 42;
        }
        return PropertySheet::WindowProc(message, wParam, lParam);
    }
    bool PreTranslateMessage(MSG &msg) override { return msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE; }
};

}

TEST_F(PropertySheetTest, DerivedSheetSeesItsMessagesAndKeepsEscapeFromThePages)
{
    KeyedSheet sheet;
    sheet.AddPage(&one);
    LRESULT answer = 0;
    bool openAfterEscape = false;
    HWND shown = nullptr;
    ModalDriver driver([&](HWND hwnd) {
        shown = hwnd;
        answer = SendMessageA(hwnd, sheet.ping, 0, 0);
        HWND edit = GetDlgItem(CurrentPage(hwnd), IDC_PAGE_TEXT);
        PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(edit, WM_KEYUP, VK_ESCAPE, 0);
        // Posted messages arrive in order: once the ping is seen the keys have been handled.
        PostMessageA(hwnd, sheet.ping, 0, 0);
        for (int tries = 0; tries < 250 && sheet.pings < 2; tries++)
            Sleep(20);
        openAfterEscape = CurrentPage(hwnd) != nullptr;
        SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    sheet.DoModal();
    ASSERT_TRUE(driver.Acted());
    EXPECT_EQ(shown, sheet.initialised);
    EXPECT_EQ(42, answer);
    EXPECT_TRUE(openAfterEscape);
}
