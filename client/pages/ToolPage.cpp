#include "xrimpl.h"

#include "ToolPage.h"

#include "Controls.h"
#include "LoggingDialog.h"
#include "resource.h"
#include "xrstr.h"

namespace {

const UINT WM_RPC_OPEN = RegisterWindowMessageA(XR_RPC_MSG_OPEN);
const UINT WM_RPC_COMMAND = RegisterWindowMessageA(XR_RPC_MSG_COMMAND);
const UINT WM_RPC_CANCEL = RegisterWindowMessageA(XR_RPC_MSG_CANCEL);
const UINT WM_RPC_READ = RegisterWindowMessageA(XR_RPC_MSG_READ);

const int kIdle = -1;
const int kImageSize = 27;
const ImageButton kButtons[] = {{IDC_TOOL_PING, "Ping"},
                                {IDC_TOOL_TRACEROUTE, "Traceroute"},
                                {IDC_TOOL_STOP, "Stop"},
                                {IDC_TOOL_CLEAR, "Clear"},
                                {IDC_TOOL_LOGGING, "Logging"}};

const char kLineEnd[] = "\r\n";

}

BOOL ToolPage::OnInitDialog()
{
    bar_.Create(hwnd_, IDC_TOOL_BAR, IDB_TOOL_BUTTONS, kImageSize, kButtons, sizeof kButtons / sizeof kButtons[0]);
    // Runs add up until Clear; the box's default limit would refuse their text after a few.
    SendDlgItemMessageA(hwnd_, IDC_TOOL_OUTPUT, EM_SETLIMITTEXT, 0, 0);
    ShowRunning(false);
    return TRUE;
}

INT_PTR ToolPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RPC_OPEN)
        OnOpened(wParam);
    else if (message == WM_RPC_COMMAND)
        OnCommandDone(wParam);
    else if (message == WM_RPC_READ)
        OnRead(wParam);
    else if (message == WM_RPC_CANCEL)
        OnCancelled(wParam);
    else {
        // The sheet rebuilding its pages or closing ends the run: the engine must not write into
        // the result buffer or post to this window any more, and the next page starts idle.
        if (message == WM_DESTROY && handle_)
            Disconnect();
        return SettingsPage::OnMessage(message, wParam, lParam);
    }
    return TRUE;
}

bool ToolPage::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_TOOL_PING:
        Start(XR_RPC_PING);
        return true;
    case IDC_TOOL_TRACEROUTE:
        Start(XR_RPC_TRACEROUTE);
        return true;
    case IDC_TOOL_STOP:
        Stop();
        return true;
    case IDC_TOOL_CLEAR:
        CtlSetText(hwnd_, IDC_TOOL_OUTPUT, "");
        return true;
    case IDC_TOOL_LOGGING: {
        LoggingDialog dialog;
        dialog.DoModal(hwnd_);
        return true;
    }
    default:
        return SettingsPage::OnCommand(id, code, control);
    }
}

RpcRequest ToolPage::Request(UINT message, bool withBuffer)
{
    static_assert(sizeof result_ == XR_RPC_PIECE_MAX + 1, "a piece and its terminator");
    RpcRequest request = {};
    request.window = hwnd_;
    request.message = message;
    if (withBuffer) {
        request.result = result_;
        request.resultSize = XR_RPC_PIECE_MAX;
    }
    return request;
}

bool ToolPage::Send(int code, const RpcRequest &request)
{
    if (XrRpcCommand(handle_, code, &request) != -1)
        return true;
    Finish(XR_RPC_STATUS_FAILED);
    return false;
}

void ToolPage::Start(int operation)
{
    destination_ = CtlGetText(hwnd_, IDC_TOOL_DESTINATION);
    if (operation_ != kIdle)
        return;
    Append("\r\n=======================\r\nConnecting...");
    RpcRequest request = Request(WM_RPC_OPEN, false);
    handle_ = XrRpcOpen(&request);
    if (!handle_) {
        Append("failed\r\n");
        return;
    }
    operation_ = operation;
    midLine_ = false;
    afterCr_ = false;
    ShowRunning(true);
}

void ToolPage::OnOpened(WPARAM status)
{
    if (status == XR_RPC_STATUS_FAILED) {
        Finish(XR_RPC_STATUS_FAILED);
        return;
    }
    Append("successful.\r\n");
    RpcRequest request = Request(WM_RPC_COMMAND, false);
    XrStrCopy(request.destination, sizeof request.destination, destination_.c_str());
    Append(operation_ == XR_RPC_PING ? "Sending Ping..." : "Sending Traceroute...");
    if (!Send(operation_, request))
        return;
    // Ping and Traceroute do nothing while a run goes on.
    bar_.Enable(IDC_TOOL_PING, true);
    bar_.Enable(IDC_TOOL_TRACEROUTE, true);
    bar_.Enable(IDC_TOOL_STOP, true);
}

void ToolPage::OnCommandDone(WPARAM status)
{
    if (status == XR_RPC_STATUS_FAILED) {
        Finish(XR_RPC_STATUS_FAILED);
        return;
    }
    Append("successful.\r\nReading result...\r\n");
    ReadNext();
}

void ToolPage::ReadNext()
{
    Send(XR_RPC_READ, Request(WM_RPC_READ, true));
}

void ToolPage::OnRead(WPARAM status)
{
    switch (status) {
    case XR_RPC_STATUS_MORE:
        ShowPiece();
        ReadNext();
        break;
    case XR_RPC_STATUS_DONE:
        if (midLine_)
            Append(kLineEnd);
        Finish(XR_RPC_STATUS_DONE);
        break;
    case XR_RPC_STATUS_FAILED:
        Finish(XR_RPC_STATUS_FAILED);
        break;
    default:
        break;
    }
}

// The server's lines may end in LF, CRLF or CR, and a CRLF may be cut between two pieces; each
// line end becomes one line break of the box, and a piece that ends inside a line is continued
// by the next.
void ToolPage::ShowPiece()
{
    result_[sizeof result_ - 1] = '\0';
    std::string text;
    for (const char *c = result_; *c; c++) {
        bool secondHalf = *c == '\n' && afterCr_;
        afterCr_ = *c == '\r';
        if (secondHalf)
            continue;
        if (*c == '\r' || *c == '\n') {
            text += kLineEnd;
            midLine_ = false;
        } else {
            text += *c;
            midLine_ = true;
        }
    }
    Append(text);
}

void ToolPage::Stop()
{
    if (!handle_ || operation_ == kIdle)
        return;
    Append("\r\nStopping...\r\n");
    Send(XR_RPC_CANCEL, Request(WM_RPC_CANCEL, true));
}

void ToolPage::OnCancelled(WPARAM status)
{
    if (status == XR_RPC_STATUS_MORE)
        ReadNext();
    else
        Finish(status);
}

void ToolPage::Finish(WPARAM status)
{
    if (status == XR_RPC_STATUS_FAILED)
        Append("failed.\r\n");
    else if (status == XR_RPC_STATUS_DONE)
        Append("successful.\r\n");
    Disconnect();
    ShowRunning(false);
}

void ToolPage::Disconnect()
{
    XrRpcClose(handle_);
    handle_ = nullptr;
    operation_ = kIdle;
    // The engine posts nothing after the close, but what it posted before is still queued and
    // would be taken for a step of the next run.
    MSG msg;
    for (UINT message : {WM_RPC_OPEN, WM_RPC_COMMAND, WM_RPC_CANCEL, WM_RPC_READ})
        while (PeekMessageA(&msg, hwnd_, message, message, PM_REMOVE)) {
        }
}

void ToolPage::ShowRunning(bool running)
{
    bar_.Enable(IDC_TOOL_PING, !running);
    bar_.Enable(IDC_TOOL_TRACEROUTE, !running);
    bar_.Enable(IDC_TOOL_STOP, running);
}

void ToolPage::Append(const std::string &text)
{
    CtlAppendText(hwnd_, IDC_TOOL_OUTPUT, text);
}
