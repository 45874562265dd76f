#include "SharedInstance.h"

#include <psapi.h>

#include "xrstr.h"

namespace {

// Eight bytes in a section that every process of this executable maps to the same memory. The
// window is kept as its 32-bit value, which is all of a window handle in 64-bit processes too.
struct SharedData {
    volatile LONG count;
    volatile LONG window;
};
static_assert(sizeof(SharedData) == 8, "the shared section holds eight bytes");

SharedData g_shared __attribute__((section("shared"), shared)) = {0, 0};

// Counts the process from static construction to process end.
class InstanceCounter {
public:
    InstanceCounter() { InterlockedIncrement(&g_shared.count); }
    ~InstanceCounter() { InterlockedDecrement(&g_shared.count); }
    InstanceCounter(const InstanceCounter &) = delete;
    InstanceCounter &operator=(const InstanceCounter &) = delete;
};

InstanceCounter g_counter;

bool SameProgram(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    if (!handle)
        return false;
    char theirs[MAX_PATH] = "", ours[MAX_PATH] = "";
    DWORD length = GetModuleFileNameExA(handle, nullptr, theirs, sizeof theirs);
    CloseHandle(handle);
    return length > 0 && GetModuleFileNameA(nullptr, ours, sizeof ours) > 0
           && XrStrSameText(theirs, ours);
}

}

LONG SharedInstanceCount()
{
    return g_shared.count;
}

void SharedInstanceSetWindow(HWND window)
{
    InterlockedExchange(&g_shared.window, HandleToLong(window));
}

HWND SharedInstanceWindow()
{
    HWND window = static_cast<HWND>(LongToHandle(g_shared.window));
    return window && IsWindow(window) && SameProgram(window) ? window : nullptr;
}
