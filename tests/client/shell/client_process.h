// Programs that a test runs as processes (client.exe, msiexec, the logon entries): bounded waits
// for what they bring about, their windows, their end, and the clean-up of those still running.
#ifndef TESTS_CLIENT_SHELL_CLIENT_PROCESS_H
#define TESTS_CLIENT_SHELL_CLIENT_PROCESS_H

#include <windows.h>

#include <string>
#include <vector>

// How long a test waits for another process to do something.
const DWORD kProcessWaitMs = 30000;

// Bounded wait for a condition that another process brings about.
template <typename Condition> bool WaitFor(Condition condition)
{
    for (DWORD waited = 0; waited < kProcessWaitMs; waited += 20) {
        if (condition())
            return true;
        Sleep(20);
    }
    return condition();
}

// The process's shown top-level window with exactly that caption, waited for while the process
// runs; null when none came.
HWND WindowOf(const PROCESS_INFORMATION &process, const char *caption);
// Whether the process ended within the wait.
bool Ends(const PROCESS_INFORMATION &process);

// The processes a test started. A test that failed half-way must not leave a program running in
// the prefix: End terminates what still runs and closes every handle.
class StartedProcesses {
public:
    ~StartedProcesses() { End(); }
    // A command line run from folder; a failure to start fails the test.
    PROCESS_INFORMATION Run(std::string command, const std::string &folder);
    void End();

private:
    std::vector<PROCESS_INFORMATION> started_;
};

#endif
