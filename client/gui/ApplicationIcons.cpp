#include "ApplicationIcons.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

// A shortcut to a shortcut is followed; a longer chain is taken for a circle.
const int kShortcutSteps = 8;
// How long the shell may try to resolve a shortcut whose target is not where it was.
const WORD kResolveMilliseconds = 1000;

bool IsFile(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsShortcut(const std::string &path)
{
    return path.size() >= 4 && lstrcmpiA(path.c_str() + path.size() - 4, ".lnk") == 0;
}

// The file's icon from the shell's system image list of that size, or null.
HICON SystemListIcon(const std::string &path, UINT size)
{
    SHFILEINFOA info = {};
    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | size));
    return list ? ImageList_GetIcon(list, info.iIcon, ILD_NORMAL) : nullptr;
}

// The target of one shortcut as stored in it, or empty.
std::string ShortcutTarget(const std::string &shortcut)
{
    WCHAR wide[MAX_PATH] = L"";
    if (!MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH))
        return std::string();
    IShellLinkA *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void **>(&link))))
        return std::string();
    char path[MAX_PATH] = "";
    IPersistFile *file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))) {
        // No window may come up: nothing would answer it in a test or at logon.
        DWORD flags = SLR_NO_UI | SLR_NOSEARCH | SLR_NOUPDATE | (static_cast<DWORD>(kResolveMilliseconds) << 16);
        if (FAILED(file->Load(wide, STGM_READ)) || FAILED(link->Resolve(nullptr, flags)) ||
            link->GetPath(path, MAX_PATH, nullptr, SLGP_UNCPRIORITY) != S_OK)
            path[0] = '\0';
        file->Release();
    }
    link->Release();
    return path;
}

}

std::string ApplicationProgramPath(const std::string &command)
{
    for (size_t at = 1; at < command.size(); at++)
        if ((command[at] == ' ' || command[at] == '\t') && IsFile(command.substr(0, at)))
            return command.substr(0, at);
    return command;
}

HICON GetApplicationIcons(const std::string &command, HICON *large, HICON *small)
{
    std::string path = ApplicationProgramPath(command);
    HICON icon = ExtractIconA(GetModuleHandleA(nullptr), path.c_str(), 0);
    // ExtractIcon answers 1 for a file that is no program and no icon file.
    if (reinterpret_cast<UINT_PTR>(icon) <= 1)
        icon = CopyIcon(LoadIcon(nullptr, IDI_QUESTION));
    *large = SystemListIcon(path, SHGFI_LARGEICON);
    *small = *large ? SystemListIcon(path, SHGFI_SMALLICON) : nullptr;
    if (*large && !*small)
        *small = CopyIcon(*large);
    if (!*large) {
        *large = CopyIcon(icon);
        *small = CopyIcon(icon);
    }
    return icon;
}

std::string ResolveShortcut(const std::string &shortcut)
{
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A thread in the other apartment kind can still create the link object.
    if (FAILED(com) && com != RPC_E_CHANGED_MODE)
        return std::string();
    std::string path = shortcut;
    int step = 0;
    for (; step < kShortcutSteps && IsShortcut(path); step++)
        path = ShortcutTarget(path);
    if (SUCCEEDED(com))
        CoUninitialize();
    // Still a shortcut after the last step: the chain goes round.
    if (step == 0 || IsShortcut(path) || !IsFile(path))
        return std::string();
    return path;
}
