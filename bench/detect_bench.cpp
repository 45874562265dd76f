// Discovery timings on loopback: how long a mode-1 run takes to return when a server answers,
// and how close the no-answer path comes to twice the time-out.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "detect_responder.h"
#include "xrdetect.h"
#include "xrstr.h"

namespace {

const int kAnsweredRuns = 50;
const int kSilentRuns = 3;

// Milliseconds from the call to its return; the worker has ended before the next run.
double TimedRun(uint16_t port, int timeout, int *count)
{
    DetectParams params = {};
    params.timeout = timeout;
    params.ttl = 2;
    params.useAddress = 1;
    XrStrCopy(params.address, sizeof params.address, "127.0.0.1");
    params.port = port;
    params.waitMode = 1;
    params.doneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DetectResult result = {};
    auto start = std::chrono::steady_clock::now();
    uint32_t cancelPort = DetectSocksServer(&params, &result);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
    CancelSocksDetect(cancelPort);
    WaitForSingleObject(params.doneEvent, DWORD(2 * timeout + 5) * 1000);
    CloseHandle(params.doneEvent);
    *count = result.count;
    return ms;
}

bool StartResponder(DetectResponder *responder, ResponderMode mode)
{
    ResponderOptions options;
    options.mode = mode;
    if (responder->Start(options) == 0)
        return true;
    std::fprintf(stderr, "detect_bench: cannot start the responder\n");
    return false;
}

}  // namespace

int main()
{
    WSADATA winsock;
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0)
        return 1;
    DetectResponder answering;
    DetectResponder silent;
    if (!StartResponder(&answering, ResponderMode::Valid) ||
        !StartResponder(&silent, ResponderMode::Silent))
        return 1;

    std::vector<double> times;
    int found = 0;
    for (int i = 0; i < kAnsweredRuns; i++) {
        int count = 0;
        times.push_back(TimedRun(answering.Port(), 2, &count));
        found += count > 0;
    }
    std::sort(times.begin(), times.end());
    std::printf("detect mode 1, server answering on loopback, %d runs (%d found one):\n",
                kAnsweredRuns, found);
    std::printf("  median %.2f ms, p90 %.2f ms, min %.2f ms, max %.2f ms (goal: median < 20 ms)\n",
                times[times.size() / 2], times[times.size() * 9 / 10], times.front(),
                times.back());

    const int timeout = 1;
    std::printf("detect no answer, timeout %d s, expected %d ms:\n", timeout, 2 * timeout * 1000);
    for (int i = 0; i < kSilentRuns; i++) {
        int count = 0;
        double ms = TimedRun(silent.Port(), timeout, &count);
        double expected = 2 * timeout * 1000.0;
        std::printf("  run %d: %.1f ms, deviation %+.2f %% (goal within 5 %%)\n", i + 1, ms,
                    100.0 * (ms - expected) / expected);
    }
    answering.Stop();
    silent.Stop();
    WSACleanup();
    return 0;
}
