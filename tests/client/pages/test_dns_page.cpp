// The DNS page driven through its controls and the sheet's buttons, alone on a sheet or on the
// real main sheet (its keyboard handling, its reload after an import); what it stores is checked
// in the client key.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "DnsPage.h"
#include "http_server.h"
#include "main_sheet.h"
#include "page_driver.h"
#include "pages_resource.h"
#include "regnames.h"

namespace {

const int kDnsPageIndex = 3;

class DnsPageTest : public MainSheetTest {
protected:
    void SetUp() override
    {
        MainSheetTest::SetUp();
        SetNumber(XR_CLIENT_KEY, XR_VALUE_WIZARD_LAST_USED_IMPORT, 0);
        SetNumber(XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY, 0);
        SetString(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS, "old.local");
        SetString(XR_CLIENT_KEY, XR_VALUE_REMOTE_DNS_DOMAINS, "old.remote");
    }
};

struct DomainCase {
    const char *name;
    const char *typed;
    const char *stored;
};

const DomainCase kDomainCases[] = {
    {"OnePerLine", "corp.example\r\nlan.example\r\n", "corp.example lan.example"},
    {"LoneLineFeeds", "a.example\nb.example\n\nc.example", "a.example b.example c.example"},
    {"TabsAndBlanks", "  x.example\t\ty.example   z.example \t", "x.example y.example z.example"},
    {"LoneCarriageReturn", "p.example\rq.example", "p.example q.example"},
    {"Empty", "", ""},
    {"OnlyWhiteSpace", " \r\n\t ", ""},
};

class DomainListTest : public DnsPageTest, public ::testing::WithParamInterface<DomainCase> {};

TEST_P(DomainListTest, EveryNameIsStoredOnItsOwn)
{
    const DomainCase &c = GetParam();
    std::string shownLocal, shownRemote;
    settings_.Load();
    DnsPage page(settings_);
    RunAlone(page, [&](HWND sheet, HWND dns) {
        Type(dns, IDC_DNS_LOCAL, c.typed);
        Type(dns, IDC_DNS_REMOTE, std::string("r.example\n") + c.typed);
        Click(sheet, kApplyButton);
        shownLocal = TextOf(dns, IDC_DNS_LOCAL);
        shownRemote = TextOf(dns, IDC_DNS_REMOTE);
        Click(sheet, IDCANCEL);
    });
    std::string remote = std::string("r.example") + (*c.stored ? " " : "") + c.stored;
    EXPECT_EQ(c.stored, Value(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS));
    EXPECT_EQ(remote, Value(XR_CLIENT_KEY, XR_VALUE_REMOTE_DNS_DOMAINS));
    EXPECT_EQ(c.stored, settings_.localDns);
    EXPECT_EQ(0, settings_.dnsChanged);
    // The boxes show what was stored, a name a line.
    auto lines = [](std::string text) {
        for (size_t at; (at = text.find(' ')) != std::string::npos;)
            text.replace(at, 1, "\r\n");
        return text;
    };
    EXPECT_EQ(lines(c.stored), shownLocal);
    EXPECT_EQ(lines(remote), shownRemote);
    EXPECT_TRUE(Journal().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DomainListTest, ::testing::ValuesIn(kDomainCases),
                         [](const ::testing::TestParamInfo<DomainCase> &info) { return info.param.name; });

TEST_F(DnsPageTest, ResolutionModeIsStoredAsTheButtonsIndex)
{
    // A stored mode outside 0 to 2 shows the new page's first button.
    SetNumber(XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY, 7);
    std::vector<std::string> stored;
    bool firstChecked = false;
    settings_.Load();
    DnsPage page(settings_);
    RunAlone(page, [&](HWND sheet, HWND dns) {
        firstChecked = IsDlgButtonChecked(dns, IDC_DNS_USE_LOCAL) == BST_CHECKED;
        for (int button : {IDC_DNS_USE_REMOTE, IDC_DNS_TRY_LOCAL, IDC_DNS_USE_LOCAL}) {
            Click(dns, button);
            Click(sheet, kApplyButton);
            stored.push_back(Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_DNS_PROXY));
        }
        Click(sheet, IDCANCEL);
    });
    EXPECT_TRUE(firstChecked);
    EXPECT_EQ((std::vector<std::string>{"2", "1", "0"}), stored);
    EXPECT_EQ(0u, settings_.dnsMode);
}

TEST_F(DnsPageTest, ReturnStartsANewLineAndTheSheetStaysOpen)
{
    std::string typed;
    bool open = false;
    RunMainSheet([&](HWND sheet) {
        SendMessageA(sheet, PSM_SETCURSEL, kDnsPageIndex, 0);
        HWND box = GetDlgItem(CurrentPage(sheet), IDC_DNS_LOCAL);
        SendMessageA(box, EM_SETSEL, 0, -1);
        // A key press as the keyboard delivers it, through the sheet's own loop.
        for (WPARAM key : {WPARAM('A'), WPARAM(VK_RETURN), WPARAM('B')}) {
            PostMessageA(box, WM_KEYDOWN, key, 1);
            PostMessageA(box, WM_KEYUP, key, 0xC0000001);
        }
        WaitFor([&] { return TextOf(CurrentPage(sheet), IDC_DNS_LOCAL).find('b') != std::string::npos; });
        typed = TextOf(CurrentPage(sheet), IDC_DNS_LOCAL);
        open = IsWindow(sheet) && CurrentPage(sheet) != nullptr;
        Click(sheet, IDCANCEL);
    });
    EXPECT_TRUE(open);
    EXPECT_EQ("a\r\nb", typed);
    // Cancel dropped the edit.
    EXPECT_EQ("old.local", Value(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS));
}

TEST_F(DnsPageTest, ReloadAfterAnImportShowsTheImportedDomains)
{
    LoopbackHttpServer server;
    server.Respond(200, "set 0=2\nlocaldns corp.example\nremotedns far.example\n");
    std::string local, remote;
    bool useRemote = false;
    RunMainSheet([&](HWND sheet) {
        HWND general = CurrentPage(sheet);
        SendMessageA(sheet, PSM_SETCURSEL, kDnsPageIndex, 0);
        HWND dns = CurrentPage(sheet);
        Type(dns, IDC_DNS_LOCAL, "typed.example");
        SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
        Choose(general, IDC_GENERAL_METHOD, 1);
        Type(general, IDC_GENERAL_URL, server.Url("/client.cfg"));
        Click(general, IDC_GENERAL_UPDATE);
        local = TextOf(dns, IDC_DNS_LOCAL);
        remote = TextOf(dns, IDC_DNS_REMOTE);
        useRemote = IsDlgButtonChecked(dns, IDC_DNS_USE_REMOTE) == BST_CHECKED;
        Click(sheet, IDCANCEL);
    });
    EXPECT_EQ("corp.example", local);
    EXPECT_EQ("far.example", remote);
    EXPECT_TRUE(useRemote);
    EXPECT_EQ(1, server.Requests());
    EXPECT_EQ("corp.example ", Value(XR_CLIENT_KEY, XR_VALUE_LOCAL_DNS_DOMAINS));
}

}
