#include "ClientPropertySheet.h"

#include "AboutDialog.h"
#include "Seams.h"
#include "SharedInstance.h"
#include "messages.h"
#include "regnames.h"
#include "shell_resource.h"
#include "xrstr.h"

namespace {

const UINT WM_ICONNOTIFY = RegisterWindowMessageA(XR_MSG_ICONNOTIFY);
const UINT WM_INITPAGES = RegisterWindowMessageA(XR_MSG_INITPAGES);
const UINT WM_REMOVETRAYICON = RegisterWindowMessageA(XR_MSG_REMOVETRAYICON);
const UINT WM_TASKBARCREATED = RegisterWindowMessageA(XR_MSG_TASKBAR_CREATED);

const UINT kIconId = 100;
const char kTip[] = "Ferrowin Client";
const char kBuildDate[] = "Tue Jan 16 15:41:36 2001";
const char kWebAddress[] = "https://ferrowin.example/";

// The values the page order and the closing behaviour depend on, read from the client key.
const char *const kSheetValues[]
    = {XR_VALUE_SHOW_ICON_ON_TASKBAR, XR_VALUE_USE_AUTHENTICATION, XR_VALUE_SUPPORT_MULTIPLE_SERVER,
       XR_VALUE_PROXY_METHOD, XR_VALUE_WIZARD_LAST_USED_IMPORT};

}

ClientPropertySheet::ClientPropertySheet(ClientSettings &settings)
    : PropertySheet("Ferrowin Client Properties"),
      icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_CLIENT))),
      smallIcon_(static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_CLIENT),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0))),
      general_(settings), singleProxy_(settings), proxy_(settings), credential_(settings),
      application_(settings), dns_(settings), tool_(settings), settings_(settings)
{
    for (const char *name : kSheetValues)
        values_.Add(
            {0, kBindRegistry, kValueNumber, kControlText, 0, HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, name});
}

ClientPropertySheet::~ClientPropertySheet()
{
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

void ClientPropertySheet::RefreshValues()
{
    values_.Exchange(kExchangeRegistry, nullptr, true);
}

bool ClientPropertySheet::IsOn(const char *valueName) const
{
    return values_.Find(valueName)->number == 1;
}

void ClientPropertySheet::BuildPages()
{
    int active = Handle() && PageCount() > 0 ? ActiveIndex() : 0;
    for (int index = PageCount() - 1; index >= 0; index--) {
        // A page added again starts without the refusal of its former window.
        static_cast<SettingsPage *>(Page(index))->refusedApply = false;
        RemovePage(index);
    }
    RefreshValues();
    AddPage(&general_);
    if (!IsOn(XR_VALUE_WIZARD_LAST_USED_IMPORT)) {
        bool single = !IsOn(XR_VALUE_PROXY_METHOD) && !IsOn(XR_VALUE_SUPPORT_MULTIPLE_SERVER);
        AddPage(single ? static_cast<PropertyPage *>(&singleProxy_) : &proxy_);
        AddPage(&application_);
        AddPage(&dns_);
    }
    if (IsOn(XR_VALUE_USE_AUTHENTICATION))
        AddPage(&credential_);
    AddPage(&tool_);
    if (Handle())
        SetActivePage(active < PageCount() ? active : 0);
}

void ClientPropertySheet::ReloadPages()
{
    RefreshValues();
    general_.Reload();
    bool single = !IsOn(XR_VALUE_PROXY_METHOD) && !IsOn(XR_VALUE_SUPPORT_MULTIPLE_SERVER);
    (single ? static_cast<SettingsPage &>(singleProxy_) : proxy_).Reload();
    application_.Reload();
    dns_.Reload();
}

void ClientPropertySheet::OnInitialized()
{
    if (stayOnTop)
        SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SharedInstanceSetWindow(Handle());
    HMENU systemMenu = GetSystemMenu(Handle(), FALSE);
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(systemMenu, MF_STRING, IDM_ABOUT, "&About Ferrowin Client");
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_ ? smallIcon_ : icon_));
    RefreshValues();
    settings_.RefreshSystemList();
}

bool ClientPropertySheet::AddIcon()
{
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = Handle();
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_ICONNOTIFY;
    data.hIcon = smallIcon_ ? smallIcon_ : icon_;
    XrStrCopy(data.szTip, sizeof data.szTip, kTip);
    return g_shellSeams.notifyIcon(NIM_ADD, &data) != FALSE;
}

void ClientPropertySheet::GoToTray()
{
    if (!iconAdded_)
        iconAdded_ = AddIcon();
    // Without the icon a hidden sheet could never be brought back.
    if (iconAdded_)
        ShowWindow(Handle(), SW_HIDE);
}

void ClientPropertySheet::RemoveTrayIcon()
{
    if (!iconAdded_)
        return;
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = Handle();
    data.uID = kIconId;
    g_shellSeams.notifyIcon(NIM_DELETE, &data);
    iconAdded_ = false;
}

// Presses Apply at once; true when no page refused.
bool ClientPropertySheet::ApplyAll()
{
    for (int index = 0; index < PageCount(); index++)
        static_cast<SettingsPage *>(Page(index))->refusedApply = false;
    HWND apply = GetDlgItem(Handle(), kSheetApplyButton);
    SendMessageA(Handle(), WM_COMMAND, MAKEWPARAM(kSheetApplyButton, BN_CLICKED), reinterpret_cast<LPARAM>(apply));
    return !PageRefused();
}

bool ClientPropertySheet::PageRefused() const
{
    for (int index = 0; index < PageCount(); index++)
        if (static_cast<SettingsPage *>(Page(index))->refusedApply)
            return true;
    return false;
}

bool ClientPropertySheet::HideInstead(bool apply)
{
    RefreshValues();
    if (!IsOn(XR_VALUE_SHOW_ICON_ON_TASKBAR))
        return false;
    // A page that refused keeps the sheet shown, on that page.
    if (!apply || ApplyAll())
        GoToTray();
    return true;
}

void ClientPropertySheet::ShowIconMenu()
{
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_ICON));
    if (!menu)
        return;
    POINT cursor = {};
    GetCursorPos(&cursor);
    // The menu closes when the user clicks elsewhere only while the sheet is the foreground window.
    SetForegroundWindow(Handle());
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, Handle(),
                   nullptr);
    PostMessageA(Handle(), WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void ClientPropertySheet::ShowAbout()
{
    AboutDialog about;
    about.SetIcon(icon_);
    about.SetBuildDate(kBuildDate);
    about.SetLinkText(kWebAddress);
    about.DoModal(IsWindowVisible(Handle()) ? Handle() : nullptr);
}

bool ClientPropertySheet::OnCommand(int id)
{
    switch (id) {
    case IDOK:
        return HideInstead(true);
    case IDCANCEL:
        return HideInstead(false);
    case IDM_RESTORE:
        ShowWindow(Handle(), SW_RESTORE);
        SetForegroundWindow(Handle());
        return true;
    case IDM_CLOSE:
        RemoveTrayIcon();
        PostQuitMessage(0);
        return true;
    case IDM_ABOUT:
        ShowAbout();
        return true;
    default:
        return false;
    }
}

LRESULT ClientPropertySheet::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ICONNOTIFY) {
        if (wParam == kIconId && lParam == WM_LBUTTONDBLCLK)
            PostMessageA(Handle(), WM_COMMAND, IDM_RESTORE, 0);
        else if (wParam == kIconId && lParam == WM_RBUTTONDOWN)
            ShowIconMenu();
        return 0;
    }
    if (message == WM_INITPAGES) {
        // A rebuild would throw away the edits of a page that refused the Apply.
        if (wParam == XR_INITPAGES_AFTER_APPLY && PageRefused())
            return 0;
        if (wParam != XR_INITPAGES_RELOAD)
            BuildPages();
        ReloadPages();
        return 0;
    }
    if (message == WM_REMOVETRAYICON) {
        RemoveTrayIcon();
        return 0;
    }
    if (message == WM_TASKBARCREATED) {
        // A new taskbar knows no icons: the hidden sheet needs its icon back.
        if (iconAdded_)
            iconAdded_ = AddIcon();
        return Default(message, wParam, lParam);
    }
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && OnCommand(LOWORD(wParam)))
            return 0;
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE && HideInstead(false))
            return 0;
        if (wParam == IDM_ABOUT) {
            ShowAbout();
            return 0;
        }
        break;
    case WM_PAINT:
        if (IsIconic(Handle())) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(Handle(), &paint);
            RECT client;
            GetClientRect(Handle(), &client);
            DrawIcon(dc, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
                     (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, icon_);
            EndPaint(Handle(), &paint);
            return 0;
        }
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(icon_);
    case WM_DESTROY:
        WinHelpA(Handle(), nullptr, HELP_QUIT, 0);
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

bool ClientPropertySheet::PreTranslateMessage(MSG &msg)
{
    if (msg.message != WM_KEYDOWN)
        return false;
    if (msg.wParam == VK_ESCAPE || msg.wParam == VK_CANCEL)
        return true;
    if (msg.wParam != VK_RETURN)
        return false;
    // Return still reaches a control that takes it (a multi-line text box) or a button other than
    // OK and Cancel; only the sheet's closing is kept from it.
    LRESULT code = SendMessageA(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))
        return false;
    int id = GetDlgCtrlID(msg.hwnd);
    bool button = (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
    return !button || id == IDOK || id == IDCANCEL;
}
