// The remote-command facility: one worker thread per connection runs its command and answers
// the reads as output arrives. Callers hear back only through posted messages.
#include "probe.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdio.h>
#include <string.h>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Notify {
    HWND window;
    UINT message;
};

struct PendingRead {
    Notify notify;
    char *buffer;
    size_t size;
};

enum Phase { kIdle, kRequested, kRunning, kEnded };

// What XrImplSetOutputShape sets: line ends and the longest piece of one read.
struct OutputShape {
    char lineEnd[3];
    size_t pieceMax;
};

} // namespace

struct XrRpcSession {
    std::mutex lock;
    std::condition_variable wake;
    std::thread worker;
    Notify openNotify = {};
    Notify commandNotify = {};
    Notify cancelNotify = {};
    Phase phase = kIdle;
    int command = 0;
    char destination[sizeof(((RpcRequest *)0)->destination)] = {};
    XrProbePlan plan = {};
    bool stopRequested = false; // by a cancel or the close
    bool cancelUnanswered = false;
    bool closing = false;
    bool failed = false; // the command ended: its destination could not be resolved or never answered
    OutputShape shape = {};
    std::string output; // produced and not read yet
    std::deque<PendingRead> reads;
};

namespace {

std::mutex gLock; // the session list, the plan, the output shape and the initialised flag
std::vector<XrRpcSession *> gSessions;
bool gInitialised = false;
XrProbePlan gPlan = {4, 1000, 0};
OutputShape gShape = {"\n", XR_RPC_PIECE_MAX};

void Post(const Notify &notify, int status)
{
    PostMessageA(notify.window, notify.message, (WPARAM)status, 0);
}

bool Usable(const RpcRequest *request)
{
    return request && request->window && request->message;
}

XrRpcSession *Find(XrRpcHandle handle)
{
    auto found = std::find(gSessions.begin(), gSessions.end(), handle);
    return found == gSessions.end() ? nullptr : *found;
}

// Called with the session locked whenever output grows or the command ends. A closed
// connection answers nothing more.
void ServeReads(XrRpcSession *s)
{
    while (!s->closing && !s->reads.empty() && (!s->output.empty() || s->phase == kEnded)) {
        PendingRead read = s->reads.front();
        s->reads.pop_front();
        if (s->output.empty()) {
            Post(read.notify, s->failed ? XR_RPC_STATUS_FAILED : XR_RPC_STATUS_DONE);
            continue;
        }
        size_t n = std::min(s->output.size(), read.size);
        memcpy(read.buffer, s->output.data(), n);
        read.buffer[n] = '\0';
        s->output.erase(0, n);
        Post(read.notify, XR_RPC_STATUS_MORE);
    }
}

void EmitOutput(void *context, const char *text)
{
    XrRpcSession *s = (XrRpcSession *)context;
    std::lock_guard<std::mutex> hold(s->lock);
    for (const char *c = text; *c; c++) {
        if (*c == '\n')
            s->output += s->shape.lineEnd;
        else
            s->output += *c;
    }
    ServeReads(s);
}

int PauseOutput(void *context, int milliseconds)
{
    XrRpcSession *s = (XrRpcSession *)context;
    std::unique_lock<std::mutex> hold(s->lock);
    return s->wake.wait_for(hold, std::chrono::milliseconds(milliseconds),
                            [s] { return s->stopRequested; });
}

// The stand-in has no server to reach, so opening always succeeds.
void Work(XrRpcSession *s)
{
    std::unique_lock<std::mutex> hold(s->lock);
    Post(s->openNotify, XR_RPC_STATUS_DONE);
    for (;;) {
        s->wake.wait(hold, [s] {
            return s->closing || s->cancelUnanswered || s->phase == kRequested;
        });
        if (s->closing)
            return;
        // A command cancelled before it could start is answered all the same: every accepted
        // step gets its message.
        if (s->phase == kRequested) {
            Post(s->commandNotify, XR_RPC_STATUS_DONE);
            if (!s->stopRequested) {
                s->phase = kRunning;
                hold.unlock();
                XrProbeOutput output = {s, EmitOutput, PauseOutput};
                int result = XrProbeRun(s->command, s->destination, &s->plan, &output);
                hold.lock();
                if (s->closing)
                    return;
                // A stopped run has no verdict on the destination.
                s->failed = result != 0 && !s->stopRequested;
            }
        }
        s->phase = kEnded;
        ServeReads(s);
        if (s->cancelUnanswered) {
            s->cancelUnanswered = false;
            Post(s->cancelNotify, s->output.empty() ? XR_RPC_STATUS_DONE : XR_RPC_STATUS_MORE);
        }
    }
}

// Called with the session and the list locked; 0 when the step was taken on.
int Accept(XrRpcSession *s, int code, const RpcRequest *request)
{
    Notify notify = {request->window, request->message};
    switch (code) {
    case XR_RPC_PING:
    case XR_RPC_TRACEROUTE: {
        if (s->phase != kIdle || s->stopRequested)
            return -1;
        // Users paste addresses with blanks around them; those are not part of a host name.
        const char *text = request->destination;
        int length = (int)strnlen(text, sizeof s->destination - 1);
        while (length > 0 && *text == ' ') {
            text++;
            length--;
        }
        while (length > 0 && text[length - 1] == ' ')
            length--;
        snprintf(s->destination, sizeof s->destination, "%.*s", length, text);
        s->command = code;
        s->commandNotify = notify;
        s->plan = gPlan;
        s->phase = kRequested;
        return 0;
    }
    case XR_RPC_READ:
        if (!request->result || request->resultSize <= 0)
            return -1;
        s->reads.push_back({notify, request->result, std::min((size_t)request->resultSize, s->shape.pieceMax)});
        ServeReads(s);
        return 0;
    case XR_RPC_CANCEL:
        if (s->cancelUnanswered)
            return -1;
        s->stopRequested = true;
        s->cancelUnanswered = true;
        s->cancelNotify = notify;
        return 0;
    default:
        return -1;
    }
}

void Stop(XrRpcSession *s)
{
    {
        std::lock_guard<std::mutex> hold(s->lock);
        s->closing = true;
        s->stopRequested = true;
    }
    s->wake.notify_all();
    s->worker.join();
    delete s;
}

} // namespace

void __cdecl XrRpcInit(void)
{
    std::lock_guard<std::mutex> hold(gLock);
    if (gInitialised)
        return;
    WSADATA data;
    gInitialised = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void __cdecl XrRpcCleanup(void)
{
    std::vector<XrRpcSession *> open;
    {
        std::lock_guard<std::mutex> hold(gLock);
        if (!gInitialised)
            return;
        gInitialised = false;
        open.swap(gSessions);
    }
    for (XrRpcSession *s : open)
        Stop(s);
    WSACleanup();
}

XrRpcHandle __cdecl XrRpcOpen(const RpcRequest *request)
{
    if (!Usable(request))
        return nullptr;
    std::lock_guard<std::mutex> hold(gLock);
    if (!gInitialised)
        return nullptr;
    XrRpcSession *s = new XrRpcSession;
    s->openNotify = {request->window, request->message};
    s->shape = gShape;
    s->worker = std::thread(Work, s);
    gSessions.push_back(s);
    return s;
}

int __cdecl XrRpcCommand(XrRpcHandle handle, int code, const RpcRequest *request)
{
    if (!Usable(request))
        return -1;
    std::lock_guard<std::mutex> hold(gLock);
    XrRpcSession *s = Find(handle);
    if (!s)
        return -1;
    int result;
    {
        std::lock_guard<std::mutex> session(s->lock);
        result = Accept(s, code, request);
    }
    s->wake.notify_all();
    return result;
}

void __cdecl XrRpcClose(XrRpcHandle handle)
{
    XrRpcSession *s;
    {
        std::lock_guard<std::mutex> hold(gLock);
        s = Find(handle);
        if (!s)
            return;
        gSessions.erase(std::find(gSessions.begin(), gSessions.end(), s));
    }
    Stop(s);
}

void __cdecl XrImplSetProbePlan(int echoCount, int intervalMs, int useTcp)
{
    std::lock_guard<std::mutex> hold(gLock);
    gPlan = {echoCount, intervalMs, useTcp};
}

void __cdecl XrImplSetOutputShape(const char *lineEnd, int pieceMax)
{
    std::lock_guard<std::mutex> hold(gLock);
    snprintf(gShape.lineEnd, sizeof gShape.lineEnd, "%s", lineEnd);
    gShape.pieceMax = pieceMax > 0 && pieceMax < XR_RPC_PIECE_MAX ? (size_t)pieceMax : XR_RPC_PIECE_MAX;
}
