#include "ProxyPage.h"

#include <stdio.h>
#include <stdlib.h>

#include <memory>

#include "Controls.h"
#include "FieldChecks.h"
#include "ProxyPropertiesDialog.h"
#include "RegistryKey.h"
#include "RunEntry.h"
#include "Seams.h"
#include "messages.h"
#include "pages_resource.h"
#include "regnames.h"
#include "resource.h"

namespace {

const UINT WM_USER_DISCOVER = RegisterWindowMessageA(XR_MSG_USER_DISCOVER);

const int kMethodManual = 0;
const int kMethodAutomatic = 1;
const int kHeaderRows = 2;
const int kColumns = 5;
const char kDirect[] = "Direct";
const char kRule[] = "============================================\r\n";
const char kCaption[] = "Proxy";

const ImageButton kRouteButtons[] = {{IDC_ROUTE_NEW, "New"},
                                     {IDC_ROUTE_REMOVE, "Remove"},
                                     {IDC_ROUTE_EDIT, "Edit"},
                                     {IDC_ROUTE_UP, "Up"},
                                     {IDC_ROUTE_DOWN, "Down"}};
const ImageButton kDetectButton[] = {{IDC_DETECT_SERVER, "Detect Server"}};
const int kRouteImageSize = 18;
const int kDetectImageSize = 27;

// The sheet's buttons that would close, apply or leave the page during a discovery: the main
// sheet's OK, Cancel and Apply, the wizard's Back, Next and Finish.
const int kSheetButtons[] = {IDOK, IDCANCEL, kSheetApplyButton, kWizardBackButton, kWizardNextButton,
                             kWizardFinishButton};

// The worker answers a cancel at once; this only bounds one that hangs.
const DWORD kWorkerWaitMs = 10000;

// What a discovery run shares with its worker. On the heap, so that a worker that does not end
// in time can keep it (it is then left to the worker, never freed under it).
struct DetectRun {
    DetectParams params;
    DetectResult result;
};

std::string ServerText(const sockaddr_in &server)
{
    char text[32];
    DetectServerText(&server, text, sizeof text);
    return text;
}

}

ProxyPage::ProxyPage(ClientSettings &settings) : SettingsPage(IDD_PROXY_PAGE, settings)
{
    CGXGrid::Init();
    bindings_.Add({0, kBindRegistry, kValueString, kControlText, 0, HKEY_LOCAL_MACHINE, XR_CLIENT_KEY,
                   XR_VALUE_CLIENT_LIBRARY_FILE});
    method_ = bindings_.Add({0, kBindRegistry | kBindControl, kValueNumber, kControlComboBox, IDC_PROXY_METHOD,
                             HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, XR_VALUE_PROXY_METHOD});
}

int ProxyPage::Method() const
{
    return method_->number == kMethodAutomatic ? kMethodAutomatic : kMethodManual;
}

BOOL ProxyPage::OnInitDialog()
{
    routeBar_.Create(hwnd_, IDC_ROUTE_BAR, IDB_ROUTE_BUTTONS, kRouteImageSize, kRouteButtons,
                     sizeof kRouteButtons / sizeof kRouteButtons[0]);
    detectBar_.Create(hwnd_, IDC_DETECT_BAR, IDB_DETECT_BUTTON, kDetectImageSize, kDetectButton, 1);
    ComboAdd(hwnd_, IDC_PROXY_METHOD, "Use manual setup");
    ComboAdd(hwnd_, IDC_PROXY_METHOD, "Automatically detect");

    grid_ = CGXGrid::FromWindow(Item(IDC_ROUTE_GRID));
    grid_->SetColumnCount(kColumns);
    grid_->SetHeaderRowCount(kHeaderRows);
    grid_->SetCellText(0, 1, "Server");
    grid_->SetHeaderSpan(0, 1, 2);
    grid_->SetCellText(0, 3, "Destination");
    grid_->SetHeaderSpan(0, 3, 2);
    const char *const names[] = {"Address", "Port", "Address", "Port"};
    for (int column = 1; column < kColumns; column++)
        grid_->SetCellText(1, column, names[column - 1]);
    // Quarters of the width left beside a vertical scroll bar, so that no row needs scrolling
    // sideways.
    RECT client;
    GetClientRect(grid_->List(), &client);
    int width = (client.right - GetSystemMetrics(SM_CXVSCROLL)) / 4;
    grid_->SetColumnWidth(0, 0);
    for (int column = 1; column < kColumns; column++)
        grid_->SetColumnWidth(column, width);
    Reload();
    if (wizard.InWizard() && detectPending_ && Method() == kMethodAutomatic) {
        detectPending_ = false;
        PostMessageA(hwnd_, WM_USER_DISCOVER, 0, 0);
    }
    return TRUE;
}

void ProxyPage::Reload()
{
    if (!hwnd_)
        return;
    bindings_.Exchange(kExchangeRegistry, nullptr, true);
    // A missing or unknown value is the manual setup.
    method_->number = Method();
    bindings_.Exchange(kExchangeControls, hwnd_, false);
    Fill();
    ShowMethod();
}

void ProxyPage::ShowMethod()
{
    bool manual = Method() != kMethodAutomatic;
    CtlShow(hwnd_, IDC_ROUTE_BAR, manual);
    CtlShow(hwnd_, IDC_ROUTE_GRID, manual);
    CtlShow(hwnd_, IDC_DETECT_BAR, !manual);
    CtlShow(hwnd_, IDC_PROXY_OUTPUT, !manual);
}

void ProxyPage::Fill()
{
    grid_->SetRowCount(kHeaderRows);
    routes_.clear();
    for (const RouteEntry &entry : settings_.servers) {
        RowRoute route = {entry.kind, entry.users};
        if (entry.kind == XR_ROUTE_DIRECT) {
            AppendRow(route, kDirect, "", entry.destination, entry.destPort);
            continue;
        }
        for (const RouteServer &server : entry.servers)
            AppendRow(route, server.first, server.second, entry.destination, entry.destPort);
    }
    grid_->Redraw();
}

void ProxyPage::AppendRow(const RowRoute &route, const std::string &host, const std::string &port,
                          const std::string &destination, const std::string &destPort)
{
    routes_.push_back(route);
    grid_->AppendRow({std::to_string(routes_.size() - 1), host, port, destination, destPort});
}

ProxyPage::RowRoute &ProxyPage::RouteOf(int row)
{
    return routes_[strtoul(grid_->CellText(row, 0).c_str(), nullptr, 10)];
}

int ProxyPage::CurrentDataRow() const
{
    int row = grid_->CurrentRow();
    return row >= kHeaderRows && row < grid_->RowCount() ? row : -1;
}

INT_PTR ProxyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER_DISCOVER) {
        Discover();
        return TRUE;
    }
    return SettingsPage::OnMessage(message, wParam, lParam);
}

bool ProxyPage::OnCommand(int id, int code, HWND control)
{
    if (id == IDC_PROXY_METHOD) {
        if (code != CBN_SELCHANGE)
            return false;
        int before = Method();
        bindings_.Exchange(kExchangeControls, hwnd_, true);
        if (Method() == before)
            return true;
        if (Method() == kMethodAutomatic)
            PostMessageA(hwnd_, WM_USER_DISCOVER, 0, 0);
        SetModified();
        ShowMethod();
        return true;
    }
    switch (id) {
    case IDC_ROUTE_NEW:
        NewRow();
        return true;
    case IDC_ROUTE_EDIT:
        EditRow();
        return true;
    case IDC_ROUTE_REMOVE:
        RemoveRow();
        return true;
    case IDC_ROUTE_UP:
        MoveCurrentRow(-1);
        return true;
    case IDC_ROUTE_DOWN:
        MoveCurrentRow(1);
        return true;
    case IDC_DETECT_SERVER:
        Discover();
        return true;
    default:
        return SettingsPage::OnCommand(id, code, control);
    }
}

bool ProxyPage::OnNotify(NMHDR *header, LRESULT &result)
{
    if (header->idFrom == IDC_ROUTE_GRID && header->code == NM_DBLCLK) {
        int row = reinterpret_cast<CGXGridNotify *>(header)->row;
        // Edited once the grid has finished with the click, so that it holds no mouse capture
        // while the dialog is open.
        if (row >= kHeaderRows) {
            grid_->SetCurrentRow(row);
            PostMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_ROUTE_EDIT, BN_CLICKED), 0);
        }
        return true;
    }
    return SettingsPage::OnNotify(header, result);
}

void ProxyPage::NewRow()
{
    ProxyPropertiesDialog dialog;
    dialog.serverPort = "1080";
    dialog.destination = "-";
    dialog.destPort = "-";
    if (dialog.DoModal(hwnd_) != IDOK)
        return;
    AppendRow({XR_ROUTE_SOCKS5, {"-"}}, "", "", "", "");
    SetRow(grid_->RowCount() - 1, dialog);
    grid_->SetCurrentRow(grid_->RowCount() - 1);
    SetModified();
}

void ProxyPage::EditRow()
{
    int row = CurrentDataRow();
    if (row < 0)
        return;
    ProxyPropertiesDialog dialog;
    bool direct = RouteOf(row).kind == XR_ROUTE_DIRECT;
    dialog.kind = direct ? ProxyPropertiesDialog::kDirect : ProxyPropertiesDialog::kSocks;
    if (!direct) {
        dialog.serverName = grid_->CellText(row, 1);
        dialog.serverPort = grid_->CellText(row, 2);
    }
    dialog.destination = grid_->CellText(row, 3);
    dialog.destPort = grid_->CellText(row, 4);
    if (dialog.DoModal(hwnd_) != IDOK)
        return;
    SetRow(row, dialog);
    SetModified();
}

void ProxyPage::SetRow(int row, const ProxyPropertiesDialog &dialog)
{
    RowRoute &route = RouteOf(row);
    bool direct = dialog.kind == ProxyPropertiesDialog::kDirect;
    // A SOCKS4 or gbind route stays what it is while it keeps a server.
    if (direct)
        route.kind = XR_ROUTE_DIRECT;
    else if (route.kind == XR_ROUTE_DIRECT)
        route.kind = XR_ROUTE_SOCKS5;
    grid_->SetCellText(row, 1, direct ? kDirect : dialog.serverName);
    grid_->SetCellText(row, 2, direct ? "" : dialog.serverPort);
    grid_->SetCellText(row, 3, dialog.destination);
    grid_->SetCellText(row, 4, dialog.destPort);
    grid_->Redraw();
}

void ProxyPage::RemoveRow()
{
    int row = CurrentDataRow();
    if (row < 0)
        return;
    grid_->RemoveRow(row);
    SetModified();
}

void ProxyPage::MoveCurrentRow(int by)
{
    int row = CurrentDataRow();
    int to = row + by;
    if (row < 0 || to < kHeaderRows || to >= grid_->RowCount())
        return;
    grid_->MoveRow(row, to);
    SetModified();
}

void ProxyPage::Refuse(int row, const std::string &text)
{
    grid_->SetCurrentRow(row);
    std::string message = "Row " + std::to_string(row - kHeaderRows + 1) + ": " + text;
    g_shellSeams.messageBox(hwnd_, message.c_str(), kCaption, MB_OK | MB_ICONEXCLAMATION);
}

bool ProxyPage::CheckRows()
{
    for (int row = kHeaderRows; row < grid_->RowCount(); row++) {
        std::string port = grid_->CellText(row, 2);
        if (RouteOf(row).kind != XR_ROUTE_DIRECT) {
            if (!IsHostName(grid_->CellText(row, 1))) {
                Refuse(row, "the server's name or address must be a host name or a dotted address "
                            "(letters, digits, '.', '-' and '_').");
                return false;
            }
            if (!port.empty() && !IsPortNumber(port)) {
                Refuse(row, "the server's port must be a number from 1 to 65535, or empty for 1080.");
                return false;
            }
        }
        if (!IsDestination(grid_->CellText(row, 3))) {
            Refuse(row, "the destination address must be one word without blanks of at most 255 "
                        "characters (\"-\" for any).");
            return false;
        }
        std::string destPort = grid_->CellText(row, 4);
        if (destPort != "-" && !IsPortNumber(destPort)) {
            Refuse(row, "the destination port must be a number from 1 to 65535, or \"-\" for any.");
            return false;
        }
    }
    return true;
}

std::vector<RouteEntry> ProxyPage::Harvest()
{
    std::vector<RouteEntry> list;
    for (int row = kHeaderRows; row < grid_->RowCount(); row++) {
        const RowRoute &route = RouteOf(row);
        RouteEntry entry = RouteEntry::DirectRoute(grid_->CellText(row, 3), grid_->CellText(row, 4));
        entry.kind = route.kind;
        entry.users = route.users;
        if (route.kind != XR_ROUTE_DIRECT)
            entry.servers.emplace_back(grid_->CellText(row, 1), grid_->CellText(row, 2));
        list.push_back(entry);
    }
    return list;
}

bool ProxyPage::OnSetActive()
{
    if (wizard.InWizard()) {
        wizard.Enter(PSWIZB_BACK | PSWIZB_NEXT);
        return true;
    }
    if (Method() == kMethodAutomatic)
        ShowStoredServer();
    return true;
}

LRESULT ProxyPage::OnWizardNext()
{
    wizard.Next();
    return 0;
}

void ProxyPage::ShowStoredServer()
{
    CtlSetText(hwnd_, IDC_PROXY_OUTPUT, "");
    std::string server;
    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        key.ReadString(XR_VALUE_SERVER, server);
    Output(kRule);
    Output("Current server list:\r\n\r\n");
    Output(server + "\r\n");
    Output("\r\nEnd server list.\r\n");
}

bool ProxyPage::OnApply()
{
    bindings_.Exchange(kExchangeControls, hwnd_, true);
    bool manual = Method() != kMethodAutomatic;
    if (manual) {
        if (!CheckRows())
            return false;
        settings_.servers = Harvest();
        settings_.serversChanged = 1;
    }
    // In automatic mode the list is written as it stood; the engine then finds no table to use.
    int written = settings_.SaveServers(settings_.configFile.c_str());
    if (written != 0) {
        std::string what = "Could not write the proxy routes to the configuration file " + settings_.configFile + ".";
        g_shellSeams.errorDialog("", what.c_str(), WriteFailure(written).c_str());
        return false;
    }
    settings_.serversChanged = 0;
    bindings_.Exchange(kExchangeRegistry, nullptr, false);
    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY)) {
        if (manual)
            key.WriteString(XR_VALUE_SERVER, "");
        key.WriteNumber(XR_VALUE_ENABLE_CONFIGURATION_FILE, manual ? 1 : 0);
    }
    UpdateRunEntry("proxy", manual ? 0 : 1);
    // The table shows what the file now holds (merged routes, default ports).
    if (manual)
        Fill();
    SetModified(false);
    return true;
}

void ProxyPage::Output(const std::string &text)
{
    CtlAppendText(hwnd_, IDC_PROXY_OUTPUT, text);
}

void ProxyPage::SetBusy(bool busy)
{
    busy_ = busy;
    detectBar_.Enable(IDC_DETECT_SERVER, !busy);
    CtlEnable(hwnd_, IDC_PROXY_METHOD, !busy);
    HWND sheet = SheetHandle();
    for (size_t i = 0; i < sizeof kSheetButtons / sizeof kSheetButtons[0]; i++) {
        HWND button = GetDlgItem(sheet, kSheetButtons[i]);
        if (busy)
            sheetButtons_[i] = IsWindowEnabled(button) != FALSE;
        EnableWindow(button, busy ? FALSE : sheetButtons_[i]);
    }
    EnableMenuItem(GetSystemMenu(sheet, FALSE), SC_CLOSE, MF_BYCOMMAND | (busy ? MF_GRAYED : MF_ENABLED));
}

void ProxyPage::Discover()
{
    if (busy_ || !hwnd_)
        return;
    SetBusy(true);
    Output(kRule);
    Output("Searching for Ferrowin server. Please wait...\r\n");
    HCURSOR cursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));

    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::unique_ptr<DetectRun> run(new DetectRun());
    DetectParams &params = run->params;
    params.timeout = 2;
    params.ttl = 2;
    params.doneEvent = done;
    params.port = 1080;
    params.waitMode = 1;
    const DetectResult &result = run->result;
    uint32_t cancelPort = done ? g_shellSeams.detect(&params, &run->result) : 0;
    // The wait also ends on a quit message, which it takes from the queue: then nothing was found
    // and the worker still runs. The sheet's loop must see that message after all.
    bool quit = cancelPort && result.count == 0 && WaitForSingleObject(done, 0) == WAIT_TIMEOUT;
    // A worker runs on after a normal end of the wait or a failed one; it writes into the run
    // until it sets the done event.
    bool workerStarted = cancelPort != 0 || result.error == DETECT_ERROR_WAIT;
    CancelSocksDetect(cancelPort);
    if (workerStarted && WaitForSingleObject(done, kWorkerWaitMs) != WAIT_OBJECT_0)
        run.release();
    if (done && run)
        CloseHandle(done);
    SetCursor(cursor);
    SetBusy(false);

    if (quit) {
        PostQuitMessage(0);
        return;
    }
    // The sheet was closed meanwhile: nothing is shown or stored.
    if (!hwnd_ || !run || !SendMessageA(SheetHandle(), PSM_GETCURRENTPAGEHWND, 0, 0))
        return;
    if (!cancelPort) {
        Output("Error: " + std::to_string(result.error) + "\r\n");
        return;
    }
    Output("Found " + std::to_string(result.count) + " server(s).\r\n");
    if (result.count <= 0)
        return;
    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        key.WriteString(XR_VALUE_SERVER, ServerText(result.servers[0].in));
    Output("Server list:\r\n\r\n");
    for (int i = 0; i < result.count && i < DETECT_MAX_SERVERS; i++)
        Output(std::to_string(i + 1) + "   " + ServerText(result.servers[i].in) + "\r\n");
    Output("\r\nEnd server list.\r\n");
    SetModified();
}
