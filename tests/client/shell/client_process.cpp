#include "client_process.h"

#include <gtest/gtest.h>

#include "test_tools.h"

HWND WindowOf(const PROCESS_INFORMATION &process, const char *caption)
{
    HWND found = nullptr;
    WaitFor([&] {
        found = FindShownWindow(process.dwProcessId, caption);
        return found != nullptr || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    });
    return found;
}

bool Ends(const PROCESS_INFORMATION &process)
{
    return WaitForSingleObject(process.hProcess, kProcessWaitMs) == WAIT_OBJECT_0;
}

PROCESS_INFORMATION StartedProcesses::Run(std::string command, const std::string &folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                               &process))
        << command;
    started_.push_back(process);
    return process;
}

void StartedProcesses::End()
{
    for (const PROCESS_INFORMATION &process : started_) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, kProcessWaitMs);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    started_.clear();
}
