// Stands in for the credential manager beside client.exe in the process tests: notes its start
// (with its own folder) in the journal that FERROWIN_CLIENT_JOURNAL names, and ends.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char journal[MAX_PATH] = "", program[MAX_PATH] = "";
    if (!GetEnvironmentVariableA("FERROWIN_CLIENT_JOURNAL", journal, sizeof journal))
        return 1;
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string line = std::string("credential manager started ") + program + "\n";
    HANDLE file = CreateFileA(journal, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
