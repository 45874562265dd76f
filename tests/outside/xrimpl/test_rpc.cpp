#include "xrimpl.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace {

struct Event {
    UINT message; // 0: none arrived in time
    WPARAM status;
    std::string piece; // the result buffer when a read's message was handled
};

// A hidden message-only window receives the engine's messages, as the diagnostics page does.
class EngineTest : public ::testing::Test {
protected:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        EngineTest *self = (EngineTest *)GetWindowLongPtrA(window, GWLP_USERDATA);
        if (!self || (message != self->open_ && message != self->command_ &&
                      message != self->cancel_ && message != self->read_))
            return DefWindowProcA(window, message, wParam, lParam);
        bool piece = message == self->read_ && wParam == XR_RPC_STATUS_MORE;
        self->events_.push_back({message, wParam, piece ? self->buffer_ : ""});
        return 0;
    }

    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.lpszClassName = "EngineTestWindow";
        RegisterClassA(&windowClass);
        window_ = CreateWindowA("EngineTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, (LONG_PTR)this);
        XrImplSetProbePlan(2, 50, 0);
        XrRpcInit();
    }

    // Every call gets exactly one message: none may be left over at the end.
    void TearDown() override
    {
        EXPECT_EQ(Next(150).message, 0u);
        XrRpcCleanup();
        DestroyWindow(window_);
    }

    RpcRequest Request(UINT message, const char *destination = "", int size = 0)
    {
        RpcRequest request = {};
        request.window = window_;
        request.message = message;
        snprintf(request.destination, sizeof request.destination, "%s", destination);
        request.result = size ? buffer_ : nullptr;
        request.resultSize = size;
        return request;
    }

    // Pumps messages until the engine's next message, for at most waitMs.
    Event Next(DWORD waitMs = 5000)
    {
        DWORD start = GetTickCount();
        MSG msg;
        for (DWORD spent = 0; events_.empty() && spent < waitMs; spent = GetTickCount() - start) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs - spent, QS_ALLINPUT);
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
        if (events_.empty())
            return {0, 0, ""};
        Event event = events_.front();
        events_.pop_front();
        return event;
    }

    std::string Expect(UINT message, WPARAM status)
    {
        Event event = Next();
        EXPECT_EQ(event.message, message);
        EXPECT_EQ(event.status, status);
        return event.piece;
    }

    // Reads until the engine reports the end of the output with status end; returns the text read.
    std::string Drain(XrRpcHandle handle, int size = XR_RPC_PIECE_MAX, WPARAM end = XR_RPC_STATUS_DONE)
    {
        std::string text;
        for (int i = 0; i < 1000; i++) {
            RpcRequest read = Request(read_, "", size);
            EXPECT_EQ(XrRpcCommand(handle, XR_RPC_READ, &read), 0);
            Event event = Next();
            EXPECT_EQ(event.message, read_);
            EXPECT_LE(event.piece.size(), (size_t)size);
            if (event.status != XR_RPC_STATUS_MORE) {
                EXPECT_EQ(event.status, end);
                break;
            }
            text += event.piece;
        }
        return text;
    }

    XrRpcHandle Start(int code, const char *destination)
    {
        RpcRequest open = Request(open_);
        XrRpcHandle handle = XrRpcOpen(&open);
        EXPECT_NE(handle, nullptr);
        Expect(open_, XR_RPC_STATUS_DONE);
        RpcRequest command = Request(command_, destination);
        EXPECT_EQ(XrRpcCommand(handle, code, &command), 0);
        Expect(command_, XR_RPC_STATUS_DONE);
        return handle;
    }

    // A whole run as the diagnostics page makes it, one message checked for every call.
    std::string Run(int code, const char *destination, int size = XR_RPC_PIECE_MAX,
                    WPARAM end = XR_RPC_STATUS_DONE)
    {
        XrRpcHandle handle = Start(code, destination);
        std::string text = Drain(handle, size, end);
        XrRpcClose(handle);
        return text;
    }

    // A ping of 20 s, read up to its first reply, with no read asked for after it.
    XrRpcHandle StartLongPing()
    {
        XrImplSetProbePlan(20, 1000, 0);
        XrRpcHandle handle = Start(XR_RPC_PING, "127.0.0.1");
        std::string text;
        for (int i = 0; i < 100 && text.find("Reply from") == std::string::npos; i++) {
            RpcRequest read = Request(read_, "", XR_RPC_PIECE_MAX);
            EXPECT_EQ(XrRpcCommand(handle, XR_RPC_READ, &read), 0);
            text += Expect(read_, XR_RPC_STATUS_MORE);
        }
        return handle;
    }

    HWND window_ = nullptr;
    UINT open_ = RegisterWindowMessageA(XR_RPC_MSG_OPEN);
    UINT command_ = RegisterWindowMessageA(XR_RPC_MSG_COMMAND);
    UINT cancel_ = RegisterWindowMessageA(XR_RPC_MSG_CANCEL);
    UINT read_ = RegisterWindowMessageA(XR_RPC_MSG_READ);
    char buffer_[XR_RPC_PIECE_MAX + 1] = {};
    std::deque<Event> events_;
};

size_t Count(const std::string &text, const char *what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        count++;
    return count;
}

TEST_F(EngineTest, PingOfLoopbackStreamsEachReplyAndASummaryByIcmpOrTcp)
{
    for (int useTcp = 0; useTcp < 2; useTcp++) {
        XrImplSetProbePlan(2, 50, useTcp);
        std::string text = Run(XR_RPC_PING, " 127.0.0.1 ");
        EXPECT_EQ(Count(text, "Reply from 127.0.0.1: "), 2u) << text;
        EXPECT_NE(text.find("Received = 2, Lost = 0"), std::string::npos) << text;
    }
}

TEST_F(EngineTest, SmallReadsCutTheOutputIntoPiecesOfThatSize)
{
    std::string text = Run(XR_RPC_PING, "127.0.0.1", 16);
    EXPECT_EQ(Count(text, "Reply from 127.0.0.1: "), 2u) << text;
    EXPECT_NE(text.find("Received = 2, Lost = 0"), std::string::npos) << text;
}

TEST_F(EngineTest, TracerouteOfLoopbackEndsAtTheFirstHopByIcmpOrTcp)
{
    for (int useTcp = 0; useTcp < 2; useTcp++) {
        XrImplSetProbePlan(2, 50, useTcp);
        std::string text = Run(XR_RPC_TRACEROUTE, "127.0.0.1");
        EXPECT_NE(text.find("Tracing route to 127.0.0.1"), std::string::npos) << text;
        EXPECT_NE(text.find("\n  1 "), std::string::npos) << text;
        EXPECT_NE(text.find(" ms  127.0.0.1\nTrace complete.\n"), std::string::npos) << text;
    }
}

TEST_F(EngineTest, DestinationsThatAreNoAddressAreReportedWithoutProbingAndFail)
{
    for (const char *destination :
         {"999.1.2.3", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1..2.3", "1.2.3.4444", ""}) {
        for (int code : {XR_RPC_PING, XR_RPC_TRACEROUTE})
            EXPECT_EQ(Run(code, destination, XR_RPC_PIECE_MAX, XR_RPC_STATUS_FAILED),
                      "Cannot find destination " + std::string(destination) + ".\n");
    }
}

TEST_F(EngineTest, CancelStopsALongPingPromptlyAndLeavesItsSummaryToRead)
{
    XrRpcHandle handle = StartLongPing();
    DWORD start = GetTickCount();
    RpcRequest cancel = Request(cancel_);
    ASSERT_EQ(XrRpcCommand(handle, XR_RPC_CANCEL, &cancel), 0);
    Expect(cancel_, XR_RPC_STATUS_MORE);
    EXPECT_LT(GetTickCount() - start, 3000u);
    std::string rest = Drain(handle);
    EXPECT_NE(rest.find("Ping statistics for 127.0.0.1"), std::string::npos) << rest;
    EXPECT_EQ(Count(rest, "Reply from"), 0u) << rest;
    XrRpcClose(handle);
}

TEST_F(EngineTest, ReadWaitingAtCancelIsAnsweredBeforeTheCancel)
{
    XrRpcHandle handle = StartLongPing();
    RpcRequest read = Request(read_, "", XR_RPC_PIECE_MAX);
    RpcRequest cancel = Request(cancel_);
    ASSERT_EQ(XrRpcCommand(handle, XR_RPC_READ, &read), 0);
    ASSERT_EQ(XrRpcCommand(handle, XR_RPC_CANCEL, &cancel), 0);
    EXPECT_NE(Expect(read_, XR_RPC_STATUS_MORE).find("Ping statistics"), std::string::npos);
    Expect(cancel_, XR_RPC_STATUS_DONE);
    EXPECT_EQ(Drain(handle), "");
    XrRpcClose(handle);
}

TEST_F(EngineTest, CommandCancelledAtOnceIsAnsweredBeforeTheCancel)
{
    // Several rounds, so that the cancel also comes before the worker has taken the command.
    for (int round = 0; round < 5; round++) {
        SCOPED_TRACE(round);
        RpcRequest open = Request(open_);
        XrRpcHandle handle = XrRpcOpen(&open);
        ASSERT_NE(handle, nullptr);
        Expect(open_, XR_RPC_STATUS_DONE);
        RpcRequest ping = Request(command_, "127.0.0.1");
        RpcRequest cancel = Request(cancel_);
        ASSERT_EQ(XrRpcCommand(handle, XR_RPC_PING, &ping), 0);
        ASSERT_EQ(XrRpcCommand(handle, XR_RPC_CANCEL, &cancel), 0);
        Expect(command_, XR_RPC_STATUS_DONE);
        Event cancelled = Next();
        EXPECT_EQ(cancelled.message, cancel_);
        if (cancelled.status == XR_RPC_STATUS_MORE)
            Drain(handle);
        else
            EXPECT_EQ(cancelled.status, (WPARAM)XR_RPC_STATUS_DONE);
        XrRpcClose(handle);
    }
}

TEST_F(EngineTest, CloseWithAReadWaitingPostsNothingMore)
{
    XrRpcHandle handle = StartLongPing();
    RpcRequest read = Request(read_, "", XR_RPC_PIECE_MAX);
    ASSERT_EQ(XrRpcCommand(handle, XR_RPC_READ, &read), 0);
    XrRpcClose(handle);
    EXPECT_EQ(Next(300).message, 0u);
}

TEST_F(EngineTest, OpenWithoutAUsableRequestFailsAndPostsNothing)
{
    RpcRequest noWindow = Request(open_);
    noWindow.window = nullptr;
    RpcRequest noMessage = Request(0);
    EXPECT_EQ(XrRpcOpen(nullptr), nullptr);
    EXPECT_EQ(XrRpcOpen(&noWindow), nullptr);
    EXPECT_EQ(XrRpcOpen(&noMessage), nullptr);
    XrRpcCleanup();
    RpcRequest open = Request(open_);
    EXPECT_EQ(XrRpcOpen(&open), nullptr);
}

TEST_F(EngineTest, CommandsThatCannotRunFailAndPostNothing)
{
    XrRpcHandle handle = Start(XR_RPC_PING, "127.0.0.1");
    RpcRequest ping = Request(command_, "127.0.0.1");
    RpcRequest noBuffer = Request(read_);
    RpcRequest cancel = Request(cancel_);
    EXPECT_EQ(XrRpcCommand(handle, XR_RPC_PING, &ping), -1); // one command per connection
    EXPECT_EQ(XrRpcCommand(handle, XR_RPC_TRACEROUTE, &ping), -1);
    EXPECT_EQ(XrRpcCommand(handle, 3, &ping), -1);
    EXPECT_EQ(XrRpcCommand(handle, XR_RPC_READ, &noBuffer), -1);
    EXPECT_EQ(XrRpcCommand(handle, XR_RPC_CANCEL, nullptr), -1);
    EXPECT_EQ(XrRpcCommand((XrRpcHandle)&ping, XR_RPC_CANCEL, &cancel), -1);
    XrRpcClose(handle);
    EXPECT_EQ(XrRpcCommand(handle, XR_RPC_CANCEL, &cancel), -1);
}

} // namespace
