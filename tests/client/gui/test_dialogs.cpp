#include <gtest/gtest.h>
#include <windows.h>

#include "AboutDialog.h"
#include "ErrorDialog.h"
#include "modal_driver.h"
#include "resource.h"

namespace {

struct ErrorSeen {
    std::string caption, what, cause;
};

ErrorSeen ShowAndRead(const char *title)
{
    ErrorSeen seen;
    ModalDriver driver([&](HWND dialog) {
        seen.caption = ModalDriver::Text(dialog);
        seen.what = ModalDriver::ItemText(dialog, IDC_ERROR_WHAT);
        seen.cause = ModalDriver::ItemText(dialog, IDC_ERROR_CAUSE);
        ModalDriver::Click(dialog, IDOK);
    });
    if (title)
        ShowErrorDialog(title, "Could not open Ferrowin Client registry.", "The program was not installed correctly.");
    else
        ShowErrorDialog("Could not open Ferrowin Client registry.", "The program was not installed correctly.");
    EXPECT_TRUE(driver.Acted());
    return seen;
}

}

TEST(ErrorDialogTest, TitleIsFollowedByErrorInTheCaption)
{
    ErrorSeen seen = ShowAndRead("Ferrowin Client");
    EXPECT_EQ("Ferrowin Client error", seen.caption);
    EXPECT_EQ("Could not open Ferrowin Client registry.", seen.what);
    EXPECT_EQ("The program was not installed correctly.", seen.cause);
}

TEST(ErrorDialogTest, WithoutTitleTheCaptionIsError)
{
    EXPECT_EQ("Error", ShowAndRead(nullptr).caption);
    EXPECT_EQ("Error", ShowAndRead("").caption);
}

TEST(AboutDialogTest, ShowsProductAndThreeVersionNumbersFromTheProgramsVersionInformation)
{
    AboutDialog about;
    about.SetIcon(LoadIcon(nullptr, IDI_APPLICATION));
    about.SetBuildDate("Tue Jan 16 15:41:36 2001");
    about.SetLinkText("http://127.0.0.1/ferrowin");
    std::string caption, product, date, link;
    LONG linkStyle = 0;
    COLORREF linkColour = 0;
    bool hasIcon = false;
    ModalDriver driver([&](HWND dialog) {
        caption = ModalDriver::Text(dialog);
        product = ModalDriver::ItemText(dialog, IDC_ABOUT_PRODUCT);
        date = ModalDriver::ItemText(dialog, IDC_ABOUT_DATE);
        link = ModalDriver::ItemText(dialog, IDC_ABOUT_LINK);
        linkStyle = GetWindowLongA(GetDlgItem(dialog, IDC_ABOUT_LINK), GWL_STYLE);
        hasIcon = SendDlgItemMessageA(dialog, IDC_ABOUT_ICON, STM_GETICON, 0, 0) != 0;
        // Ask for the link's colours as the control does when it paints.
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ABOUT_LINK)));
        linkColour = GetTextColor(dc);
        DeleteDC(dc);
        ModalDriver::Click(dialog, IDOK);
    });
    EXPECT_EQ(IDOK, about.DoModal());
    ASSERT_TRUE(driver.Acted());
    EXPECT_EQ("About Ferrowin Client", caption);
    EXPECT_EQ("Ferrowin Client version 1.0.0", product);
    EXPECT_EQ("Tue Jan 16 15:41:36 2001", date);
    EXPECT_EQ("http://127.0.0.1/ferrowin", link);
    EXPECT_TRUE(linkStyle & SS_NOTIFY);
    EXPECT_EQ(RGB(0, 0, 255), linkColour);
    EXPECT_TRUE(hasIcon);
}

TEST(AboutDialogTest, GivenProductLineIsShownAsIs)
{
    AboutDialog about;
    about.SetProductName("Ferrowin Client");
    about.SetProductLine("Ferrowin Client version 2.0.1");
    std::string product, caption;
    ModalDriver driver([&](HWND dialog) {
        caption = ModalDriver::Text(dialog);
        product = ModalDriver::ItemText(dialog, IDC_ABOUT_PRODUCT);
        ModalDriver::Click(dialog, IDOK);
    });
    about.DoModal();
    ASSERT_TRUE(driver.Acted());
    EXPECT_EQ("Ferrowin Client version 2.0.1", product);
    EXPECT_EQ("About Ferrowin Client", caption);
}

TEST(LinkLabelTest, TextBlinkEmptiesAndRestoresTheTextOnEachTick)
{
    HWND label = CreateWindowA("STATIC", "http://127.0.0.1/", WS_POPUP, 0, 0, 200, 20, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(label);
    {
        LinkLabel link;
        ASSERT_TRUE(link.Attach(label));
        link.SetBlink(LinkLabel::kBlinkText);
        SendMessageA(label, WM_TIMER, 1, 0);
        EXPECT_EQ("", ModalDriver::Text(label));
        SendMessageA(label, WM_TIMER, 1, 0);
        EXPECT_EQ("http://127.0.0.1/", ModalDriver::Text(label));
        SendMessageA(label, WM_TIMER, 1, 0);
        link.SetBlink(LinkLabel::kBlinkNone);
        EXPECT_EQ("http://127.0.0.1/", ModalDriver::Text(label));

        link.SetUnderline(true);
        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_TRUE(font.lfUnderline);
    }
    // The label gave the control back: it still works after the object is gone.
    SetWindowTextA(label, "plain");
    EXPECT_EQ("plain", ModalDriver::Text(label));
    DestroyWindow(label);
}
