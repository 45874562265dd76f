// The "Diagnostics" page: ping and traceroute as seen from the SOCKS server. The engine carries
// each run over its remote-command connection and reports every step by a posted message; the
// page shows the server's output as it arrives.
#ifndef CLIENT_PAGES_TOOLPAGE_H
#define CLIENT_PAGES_TOOLPAGE_H

#include <string>

#include "ImageButtonBar.h"
#include "SettingsPage.h"
#include "pages_resource.h"

struct XrRpcSession;
struct RpcRequest;

class ToolPage : public SettingsPage {
public:
    explicit ToolPage(ClientSettings &settings) : SettingsPage(IDD_TOOL_PAGE, settings) {}

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void Start(int operation);
    void Stop();
    void OnOpened(WPARAM status);
    void OnCommandDone(WPARAM status);
    void OnRead(WPARAM status);
    void OnCancelled(WPARAM status);
    // A step's request; a read's or a cancel's carries the result buffer, which the engine fills
    // before it posts the read's message.
    RpcRequest Request(UINT message, bool withBuffer);
    // Starts a step; false when the engine refused it, which ended the run.
    bool Send(int code, const RpcRequest &request);
    // Asks for the next piece of output.
    void ReadNext();
    // Ends the run: status 1 failed, 0 successful.
    void Finish(WPARAM status);
    // Closes the connection and drops what it had posted already.
    void Disconnect();
    void ShowPiece();
    void Append(const std::string &text);
    void ShowRunning(bool running);

    ImageButtonBar bar_;
    std::string destination_;
    XrRpcSession *handle_ = nullptr;
    // -1 idle, else the command of the run (ping 1, traceroute 2).
    int operation_ = -1;
    // One piece of output as the engine writes it, and its terminator.
    char result_[256] = {};
    // The shown text ends inside a line; the last piece ended with a CR, whose LF may follow.
    bool midLine_ = false;
    bool afterCr_ = false;
};

#endif
