#include "SettingsFile.h"

#include <windows.h>

#include <string>

#include "ClientSettings.h"
#include "nt/nt_log.h"

namespace {

// A file that exists but cannot be read (a malformed line, say) is about to be emptied: keep
// its contents beside it first, so that a hand-edited file is never simply lost.
bool KeepUnreadableFile(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return true;
    if (data.nFileSizeHigh == 0 && data.nFileSizeLow == 0)
        return true;
    std::string copy = std::string(path) + ".bak";
    if (!CopyFileA(path, copy.c_str(), FALSE)) {
        XrLogWrite(nullptr, XR_LOG_ERROR, 0, "Settings: cannot keep a copy of %s: %m", path);
        return false;
    }
    XrLogWrite(nullptr, XR_LOG_WARNING, 0, "Settings: %s could not be read, kept as %s", path,
               copy.c_str());
    return true;
}

}  // namespace

int XrSettingsOpenFile(const char *path, uint32_t mask, uint32_t reopenMask, XrCfg **cfg)
{
    if (XrCfgOpen(path, XR_CFG_FORM_CLIENT, mask, cfg) == 0)
        return 0;
    if (!KeepUnreadableFile(path))
        return XR_SETTINGS_OPEN_FAILED;
    HANDLE file
        = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return XR_SETTINGS_OPEN_FAILED;
    CloseHandle(file);
    return XrCfgOpen(path, XR_CFG_FORM_CLIENT, reopenMask, cfg) == 0 ? 0 : XR_SETTINGS_OPEN_FAILED;
}

int XrSettingsSaveFile(const char *path, uint32_t mask, XrCfg *cfg, int result)
{
    if (XrCfgSave(path, mask, cfg) != 0)
        result = XR_SETTINGS_SAVE_FAILED;
    XrCfgClose(cfg);
    return result;
}
