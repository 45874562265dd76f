// The diagnostics page on a sheet of its own, driven through its button bar against the engine
// stand-in, which pings and traces 127.0.0.1 itself; and its logging dialog, whose settings a
// second process then logs by.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "ClientSettings.h"
#include "Seams.h"
#include "ToolPage.h"
#include "installed_client.h"
#include "page_driver.h"
#include "pages_resource.h"
#include "regnames.h"
#include "xrimpl.h"

namespace {

const char kSeparator[] = "\r\n=======================\r\n";
// A whole ping run of two echoes of 127.0.0.1, as the box shows it.
const char kPingRun[] = "\r\n=======================\r\n"
                        "Connecting\\.\\.\\.successful\\.\r\n"
                        "Sending Ping\\.\\.\\.successful\\.\r\n"
                        "Reading result\\.\\.\\.\r\n"
                        "Pinging 127\\.0\\.0\\.1:\r\n"
                        "(Reply from 127\\.0\\.0\\.1: [^\r\n]*\r\n){2}"
                        "\r\n"
                        "Ping statistics for 127\\.0\\.0\\.1:\r\n"
                        "    Packets: Sent = 2, Received = 2, Lost = 0 \\(0% loss\\)\r\n"
                        "successful\\.\r\n";

std::vector<std::string> g_messages;
std::string g_choice; // the file dialog's answer; empty cancels it
std::string g_filter;
DWORD g_flags = 0;

int RecordMessage(HWND, const char *text, const char *, UINT)
{
    g_messages.push_back(text);
    return IDOK;
}

BOOL ChooseFile(OPENFILENAMEA *dialog, bool)
{
    g_filter = FilterOf(*dialog);
    g_flags = dialog->Flags;
    if (g_choice.empty())
        return FALSE;
    snprintf(dialog->lpstrFile, dialog->nMaxFile, "%s", g_choice.c_str());
    return TRUE;
}

void RemoveLogValues()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY key;
        if (RegOpenKeyExA(root, XR_CLIENT_KEY, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            continue;
        RegDeleteValueA(key, XR_VALUE_ENABLE_LOG_TO_FILE);
        RegDeleteValueA(key, XR_VALUE_DEBUG_LOG_FILE);
        RegCloseKey(key);
    }
}

// A button of the page's bar pressed, handled before this returns.
void Press(HWND page, int command)
{
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_TOOL_BAR)));
}

// Acts on the page's own thread through a window of that thread, which must be the one that
// makes this object: presses buttons one after the other with no message the engine posts
// meanwhile handled between them (a user quicker than the engine), and waits until the thread
// is back in its message loop after all that was posted to it before.
class PageThread {
public:
    PageThread()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.lpszClassName = "ToolPageTestThread";
        RegisterClassA(&windowClass);
        window_ = CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~PageThread() { DestroyWindow(window_); }

    void PressInARow(HWND page, std::vector<int> commands) const
    {
        SendMessageA(window_, kPress, reinterpret_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&commands));
    }

    // At most 20 s.
    bool Settle()
    {
        settled_ = false;
        PostMessageA(window_, kSettle, 0, 0);
        for (int tries = 0; tries < 1000 && !settled_; tries++)
            Sleep(20);
        return settled_;
    }

private:
    static const UINT kPress = WM_APP;
    static const UINT kSettle = WM_APP + 1;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        PageThread *self = reinterpret_cast<PageThread *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == kPress) {
            for (int command : *reinterpret_cast<const std::vector<int> *>(lParam))
                Press(reinterpret_cast<HWND>(wParam), command);
            return 0;
        }
        if (message == kSettle) {
            self->settled_ = true;
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window_;
    std::atomic<bool> settled_{false};
};

bool ToolOn(HWND page, int command)
{
    return ToolEnabled(page, IDC_TOOL_BAR, command);
}

// Waits at most 20 s until no run goes on: Stop is enabled exactly while one does.
bool WaitIdle(HWND page)
{
    for (int tries = 0; tries < 1000; tries++) {
        if (!ToolOn(page, IDC_TOOL_STOP))
            return true;
        Sleep(20);
    }
    return false;
}

std::string Output(HWND page)
{
    HWND box = GetDlgItem(page, IDC_TOOL_OUTPUT);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(box)) + 1, '\0');
    GetWindowTextA(box, &text[0], static_cast<int>(text.size()));
    text.resize(strlen(text.c_str()));
    return text;
}

size_t Count(const std::string &text, const std::string &what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        count++;
    return count;
}

bool Matches(const std::string &text, const char *pattern)
{
    return std::regex_match(text, std::regex(pattern));
}

class ToolPageTest : public InstalledClientTest {
protected:
    void SetUp() override
    {
        InstalledClientTest::SetUp();
        RemoveLogValues();
        saved_ = g_shellSeams;
        g_shellSeams.messageBox = RecordMessage;
        g_shellSeams.fileDialog = ChooseFile;
        g_messages.clear();
        g_choice.clear();
        g_filter.clear();
        g_flags = 0;
        XrImplSetProbePlan(2, 50, 0);
        XrImplSetOutputShape("\n", XR_RPC_PIECE_MAX);
        XrRpcInit();
    }

    void TearDown() override
    {
        XrRpcCleanup();
        g_shellSeams = saved_;
        RemoveLogValues();
        InstalledClientTest::TearDown();
    }

    void Show(std::function<void(HWND sheet, HWND page)> act) { Show(page_, act); }

    static void Show(ToolPage &page, std::function<void(HWND sheet, HWND page)> act)
    {
        bool acted = false;
        ShowOnSheet(page, act, acted);
        EXPECT_TRUE(acted);
    }

    // A run started with the button and waited for; the text it added to the box.
    static std::string Run(HWND page, int command, const char *destination)
    {
        size_t before = Output(page).size();
        Type(page, IDC_TOOL_DESTINATION, destination);
        Press(page, command);
        EXPECT_TRUE(WaitIdle(page));
        return Output(page).substr(before);
    }

    // Opens the logging dialog with the page's button and lets answer work in it until it closes.
    static void Logging(HWND page, std::function<void(HWND)> answer)
    {
        PostCommand(page, IDC_TOOL_LOGGING);
        HWND dialog = WaitForWindow(GetWindowThreadProcessId(page, nullptr), "Logging");
        ASSERT_NE(nullptr, dialog);
        answer(dialog);
        ASSERT_TRUE(WaitDestroyed(dialog));
    }

    // Runs log_writer, which sits beside this test, to its end; its exit code.
    static DWORD RunLogWriter(const std::string &message)
    {
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::string program(self);
        program = program.substr(0, program.find_last_of('\\') + 1) + "log_writer.exe";
        std::string command = "\"" + program + "\" \"" + message + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            return static_cast<DWORD>(-1);
        DWORD code = static_cast<DWORD>(-1);
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    }

    ClientSettings settings_;
    ToolPage page_{settings_};
    ShellSeams saved_;
};

TEST_F(ToolPageTest, PingOfLoopbackStreamsTheOutputAndFinishesAndClearEmptiesTheBox)
{
    bool idleAtFirst = false, stopWhileRunning = false, idleAfter = false;
    std::string text, cleared = "<not cleared>";
    Show([&](HWND, HWND page) {
        idleAtFirst = ToolOn(page, IDC_TOOL_PING) && ToolOn(page, IDC_TOOL_TRACEROUTE) && !ToolOn(page, IDC_TOOL_STOP);
        Type(page, IDC_TOOL_DESTINATION, "127.0.0.1");
        Press(page, IDC_TOOL_PING);
        stopWhileRunning = ToolOn(page, IDC_TOOL_STOP);
        Press(page, IDC_TOOL_PING); // while the first runs: nothing
        ASSERT_TRUE(WaitIdle(page));
        text = Output(page);
        idleAfter = ToolOn(page, IDC_TOOL_PING) && ToolOn(page, IDC_TOOL_TRACEROUTE) && !ToolOn(page, IDC_TOOL_STOP);
        Press(page, IDC_TOOL_CLEAR);
        cleared = Output(page);
    });
    EXPECT_TRUE(idleAtFirst);
    EXPECT_TRUE(stopWhileRunning);
    EXPECT_TRUE(Matches(text, kPingRun)) << text;
    EXPECT_TRUE(idleAfter);
    EXPECT_EQ(cleared, "");
}

TEST_F(ToolPageTest, TracerouteOfLoopbackShowsTheOneHopAndFinishes)
{
    std::string text;
    Show([&](HWND, HWND page) { text = Run(page, IDC_TOOL_TRACEROUTE, "127.0.0.1"); });
    EXPECT_TRUE(Matches(text, "\r\n=======================\r\n"
                              "Connecting\\.\\.\\.successful\\.\r\n"
                              "Sending Traceroute\\.\\.\\.successful\\.\r\n"
                              "Reading result\\.\\.\\.\r\n"
                              "Tracing route to 127\\.0\\.0\\.1 over a maximum of 30 hops:\r\n"
                              "  1 [^\r\n]* ms  127\\.0\\.0\\.1\r\n"
                              "Trace complete\\.\r\n"
                              "successful\\.\r\n"))
        << text;
}

TEST_F(ToolPageTest, ServerLinesEndingInLfCrLfOrCrShowAsTheSameLinesWhereverPiecesAreCut)
{
    // 19 characters cut "Pinging 127.0.0.1:" from its line end, and a CRLF in two.
    const struct {
        const char *lineEnd;
        int pieceMax;
    } shapes[] = {{"\r\n", 19}, {"\r\n", XR_RPC_PIECE_MAX}, {"\r", 19}, {"\r", XR_RPC_PIECE_MAX}, {"\n", 7}};
    std::vector<std::string> runs;
    Show([&](HWND, HWND page) {
        for (const auto &shape : shapes) {
            XrImplSetOutputShape(shape.lineEnd, shape.pieceMax);
            runs.push_back(Run(page, IDC_TOOL_PING, "127.0.0.1"));
        }
    });
    ASSERT_EQ(runs.size(), sizeof shapes / sizeof shapes[0]);
    for (size_t i = 0; i < runs.size(); i++)
        EXPECT_TRUE(Matches(runs[i], kPingRun)) << i << ":\n" << runs[i];
}

TEST_F(ToolPageTest, StopMidRunReadsTheRestAndFinishes)
{
    XrImplSetProbePlan(20, 1000, 0);
    bool stopShown = false, replied = false, idleAfter = false;
    std::string text;
    Show([&](HWND, HWND page) {
        Type(page, IDC_TOOL_DESTINATION, "127.0.0.1");
        Press(page, IDC_TOOL_PING);
        replied = WaitForText(page, IDC_TOOL_OUTPUT, "Reply from");
        stopShown = ToolOn(page, IDC_TOOL_STOP);
        Press(page, IDC_TOOL_STOP);
        ASSERT_TRUE(WaitIdle(page));
        text = Output(page);
        idleAfter = ToolOn(page, IDC_TOOL_PING) && !ToolOn(page, IDC_TOOL_STOP);
    });
    EXPECT_TRUE(replied);
    EXPECT_TRUE(stopShown);
    EXPECT_TRUE(idleAfter);
    size_t stopping = text.find("\r\nStopping...\r\n");
    ASSERT_NE(stopping, std::string::npos) << text;
    // The summary the engine still had was read after the stop.
    EXPECT_NE(text.find("Ping statistics for 127.0.0.1:\r\n", stopping), std::string::npos) << text;
    EXPECT_LT(Count(text, "Reply from"), 20u) << text;
    EXPECT_EQ(text.substr(text.size() - 13), "successful.\r\n") << text;
}

TEST_F(ToolPageTest, FailedRunsEndIdleWithStopOff)
{
    // No address, and never looked up; the long one goes out cut to 254 characters.
    const std::string destinations[] = {"999.1.2.3", std::string(300, '1')};
    std::vector<std::string> unreachable;
    std::string stoppedEarly, next;
    bool stopOffAfterUnreachable = true, stopOffAfterEarlyStop = false;
    PageThread pageThread;
    Show([&](HWND, HWND page) {
        for (const std::string &destination : destinations) {
            unreachable.push_back(Run(page, IDC_TOOL_PING, destination.c_str()));
            stopOffAfterUnreachable &= ToolOn(page, IDC_TOOL_PING) && !ToolOn(page, IDC_TOOL_STOP);
        }
        Press(page, IDC_TOOL_CLEAR);
        // Stop while connecting, before the engine's answer to the open: the ping is refused when
        // that answer comes.
        Type(page, IDC_TOOL_DESTINATION, "127.0.0.1");
        pageThread.PressInARow(page, {IDC_TOOL_PING, IDC_TOOL_STOP});
        ASSERT_TRUE(WaitForText(page, IDC_TOOL_OUTPUT, "failed.\r\n"));
        ASSERT_TRUE(pageThread.Settle()); // the handler that wrote it has returned
        stoppedEarly = Output(page);
        stopOffAfterEarlyStop = ToolOn(page, IDC_TOOL_PING) && !ToolOn(page, IDC_TOOL_STOP);
        // Posted behind whatever the closed connection had posted: none of it may count.
        PostCommand(page, IDC_TOOL_PING);
        ASSERT_TRUE(WaitForText(page, IDC_TOOL_OUTPUT, "Ping statistics"));
        ASSERT_TRUE(WaitIdle(page));
        next = Output(page).substr(stoppedEarly.size());
    });
    ASSERT_EQ(unreachable.size(), 2u);
    for (size_t i = 0; i < unreachable.size(); i++)
        EXPECT_EQ(unreachable[i], std::string(kSeparator) + "Connecting...successful.\r\nSending Ping...successful.\r\n"
                                                            "Reading result...\r\nCannot find destination "
                                      + destinations[i].substr(0, 254) + ".\r\nfailed.\r\n");
    EXPECT_TRUE(stopOffAfterUnreachable);
    EXPECT_EQ(stoppedEarly, std::string(kSeparator) + "Connecting...\r\nStopping...\r\nsuccessful.\r\n"
                                                      "Sending Ping...failed.\r\n");
    EXPECT_TRUE(stopOffAfterEarlyStop);
    EXPECT_TRUE(Matches(next, kPingRun)) << next;
}

TEST_F(ToolPageTest, PageDestroyedMidRunLeavesItsNextWindowFreeToPing)
{
    // The sheet keeps its page objects and makes new windows for them when it rebuilds its pages.
    bool replied = false;
    XrImplSetProbePlan(20, 1000, 0);
    Show([&](HWND, HWND page) {
        Type(page, IDC_TOOL_DESTINATION, "127.0.0.1");
        Press(page, IDC_TOOL_PING);
        replied = WaitForText(page, IDC_TOOL_OUTPUT, "Reply from");
    }); // the sheet closes with the ping running
    EXPECT_TRUE(replied);
    XrImplSetProbePlan(2, 50, 0);
    std::string text;
    Show([&](HWND, HWND page) { text = Run(page, IDC_TOOL_PING, "127.0.0.1"); });
    EXPECT_TRUE(Matches(text, kPingRun)) << text;
}

TEST_F(ToolPageTest, LoggingDialogSwitchesOnTheLogThatAnotherProcessThenWritesToTheChosenFile)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_ENABLE_LOG_TO_FILE, 0);
    std::string log = Path("trouble.log"); // not there yet
    bool offAtFirst = false, onAfterTick = false;
    std::string shown;
    Show([&](HWND, HWND page) {
        Logging(page, [&](HWND dialog) {
            offAtFirst = !IsDlgButtonChecked(dialog, IDC_LOG_ENABLE) && !Enabled(dialog, IDC_LOG_PATH)
                         && !Enabled(dialog, IDC_LOG_BROWSE);
            Click(dialog, IDC_LOG_ENABLE);
            onAfterTick = Enabled(dialog, IDC_LOG_PATH) && Enabled(dialog, IDC_LOG_BROWSE);
            g_choice = log;
            Click(dialog, IDC_LOG_BROWSE);
            shown = TextOf(dialog, IDC_LOG_PATH);
            Click(dialog, IDOK);
        });
    });
    EXPECT_TRUE(offAtFirst);
    EXPECT_TRUE(onAfterTick);
    EXPECT_EQ(g_filter, std::string("All Files (*.*)\0*.*\0", 20));
    EXPECT_EQ(g_flags & OFN_FILEMUSTEXIST, 0u);
    EXPECT_EQ(shown, log);
    EXPECT_EQ(Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_LOG_TO_FILE), "1");
    EXPECT_EQ(Value(XR_CLIENT_KEY, XR_VALUE_DEBUG_LOG_FILE), log);
    EXPECT_TRUE(g_messages.empty());

    ASSERT_EQ(RunLogWriter("traced by another process"), 0u);
    std::string bytes = Read(log);
    EXPECT_TRUE(Matches(bytes, "[A-Z][a-z]{2} \\d\\d \\d\\d:\\d\\d:\\d\\d\\[\\d{5,}:\\d{6,}\\]: traced by another "
                               "process\r?\n"))
        << bytes;
}

TEST_F(ToolPageTest, LoggingDialogRefusesAnEmptyPathWhileOnAndCancelWritesNothing)
{
    SetNumber(XR_CLIENT_KEY, XR_VALUE_ENABLE_LOG_TO_FILE, 0);
    SetString(XR_CLIENT_KEY, XR_VALUE_DEBUG_LOG_FILE, Path("old.log"));
    bool openAfterRefusal = false;
    Show([&](HWND, HWND page) {
        Logging(page, [&](HWND dialog) {
            Click(dialog, IDC_LOG_ENABLE);
            Type(dialog, IDC_LOG_PATH, "  ");
            Click(dialog, IDOK);
            openAfterRefusal = IsWindowVisible(dialog) != FALSE;
            g_choice = Path("new.log");
            Click(dialog, IDC_LOG_BROWSE);
            Click(dialog, IDCANCEL);
        });
    });
    EXPECT_EQ(g_messages, std::vector<std::string>{
                              "Enter the path of the trouble shooting log file, or switch the log file off."});
    EXPECT_TRUE(openAfterRefusal);
    EXPECT_EQ(Value(XR_CLIENT_KEY, XR_VALUE_ENABLE_LOG_TO_FILE), "0");
    EXPECT_EQ(Value(XR_CLIENT_KEY, XR_VALUE_DEBUG_LOG_FILE), Path("old.log"));
}

}
