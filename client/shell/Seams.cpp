#include "Seams.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "ErrorDialog.h"
#include "xrstr.h"

namespace {

int RealMessageBox(HWND owner, const char *text, const char *caption, UINT type)
{
    return MessageBoxA(owner, text, caption, type);
}

void RealErrorDialog(const char *title, const char *whatHappened, const char *possibleCause)
{
    ShowErrorDialog(title, whatHappened, possibleCause);
}

BOOL RealFileDialog(OPENFILENAMEA *dialog, bool save)
{
    return save ? GetSaveFileNameA(dialog) : GetOpenFileNameA(dialog);
}

BOOL RealNotifyIcon(DWORD message, NOTIFYICONDATAA *data)
{
    return Shell_NotifyIconA(message, data);
}

std::string Environment(const char *name)
{
    char value[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value) : std::string();
}

void Journal(const std::string &line)
{
    std::string path = Environment("FERROWIN_CLIENT_JOURNAL");
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

int JournalMessageBox(HWND, const char *text, const char *caption, UINT type)
{
    Journal(std::string("message ") + (caption ? caption : "") + "|" + text);
    UINT buttons = type & MB_TYPEMASK;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

void JournalErrorDialog(const char *title, const char *whatHappened, const char *possibleCause)
{
    Journal(std::string("error ") + title + "|" + whatHappened + "|" + possibleCause);
}

BOOL JournalFileDialog(OPENFILENAMEA *dialog, bool save)
{
    std::string answer = Environment("FERROWIN_CLIENT_FILE");
    Journal(std::string("file ") + (save ? "save " : "open ") + answer);
    if (answer.empty() || !dialog->lpstrFile)
        return FALSE;
    return XrStrCopy(dialog->lpstrFile, dialog->nMaxFile, answer.c_str()) == 0;
}

BOOL JournalNotifyIcon(DWORD message, NOTIFYICONDATAA *data)
{
    const char *action = message == NIM_ADD ? "add" : message == NIM_DELETE ? "delete" : "modify";
    Journal(std::string("tray ") + action + " " + std::to_string(data->uID) + " " + data->szTip);
    return TRUE;
}

uint32_t JournalDetect(DetectParams *params, DetectResult *result)
{
    std::string target = Environment("FERROWIN_CLIENT_DETECT");
    Journal("detect " + target);
    size_t colon = target.rfind(':');
    // Never a broadcast from a test: only a loopback address is asked.
    if (colon == std::string::npos || target.compare(0, 4, "127.") != 0) {
        result->count = 0;
        result->error = DETECT_ERROR_TIMEOUT;
        if (params->doneEvent)
            SetEvent(params->doneEvent);
        return 0;
    }
    params->useAddress = 1;
    XrStrCopy(params->address, sizeof params->address, target.substr(0, colon).c_str());
    params->port = static_cast<uint16_t>(atoi(target.c_str() + colon + 1));
    return DetectSocksServer(params, result);
}

}

ShellSeams g_shellSeams = {RealMessageBox, RealErrorDialog, RealFileDialog, RealNotifyIcon,
                           DetectSocksServer};

bool ChooseFilePath(HWND owner, const char *filter, FileChoice choice, std::string &path)
{
    char chosen[MAX_PATH] = "";
    XrStrCopy(chosen, sizeof chosen, path.c_str());
    bool save = choice == FileChoice::Save;
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = sizeof chosen;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST
                   | (save ? OFN_OVERWRITEPROMPT : choice == FileChoice::Existing ? OFN_FILEMUSTEXIST : 0);
    if (!g_shellSeams.fileDialog(&dialog, save))
        return false;
    path = chosen;
    return true;
}

void ShellSeamsFromEnvironment()
{
    if (Environment("FERROWIN_CLIENT_JOURNAL").empty())
        return;
    g_shellSeams = {JournalMessageBox, JournalErrorDialog, JournalFileDialog, JournalNotifyIcon,
                    JournalDetect};
}
