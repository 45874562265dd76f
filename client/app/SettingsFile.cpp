#include "SettingsFile.h"

#include <windows.h>

#include "ClientSettings.h"
#include "cfg_model.h"
#include "nt/nt_log.h"

namespace {

// A file that exists but cannot be read (a malformed line, say) is about to be replaced: keep
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

// An existing file, or a missing one that can be created: the probe leaves nothing behind.
bool CanCreate(const char *path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return true;
    HANDLE probe = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(probe);
    return true;
}

}  // namespace

int XrSettingsOpenFile(const char *path, uint32_t mask, uint32_t reopenMask, XrCfg **cfg)
{
    if (XrCfgOpen(path, XR_CFG_FORM_CLIENT, mask, cfg) == 0)
        return 0;
    if (!KeepUnreadableFile(path) || !CanCreate(path))
        return XR_SETTINGS_OPEN_FAILED;
    return XrCfgOpen(nullptr, XR_CFG_FORM_CLIENT, reopenMask, cfg) == 0 ? 0
                                                                       : XR_SETTINGS_OPEN_FAILED;
}

int XrSettingsAppend(XrCfg *cfg, int32_t kind, void *record, const std::string &what,
                     const char *path)
{
    if (XrCfgAppend(cfg, kind, record) == 0)
        return 0;
    XrCfgProblem problem = {0, "no memory"};
    XrCfgCheckRecord(XR_CFG_FORM_CLIENT, kind, record, &problem);
    return XrSettingsRefuse(what, path, problem.reason);
}

int XrSettingsRefuse(const std::string &what, const char *path, const std::string &reason)
{
    XrLogWrite(nullptr, XR_LOG_ERROR, 0, "Settings: %s cannot be written to %s: %s", what.c_str(),
               path, reason.c_str());
    return XR_SETTINGS_ADD_FAILED;
}

int XrSettingsSaveFile(const char *path, uint32_t mask, XrCfg *cfg, int result)
{
    if (result == 0 && XrCfgSave(path, mask, cfg) != 0)
        result = XR_SETTINGS_SAVE_FAILED;
    XrCfgClose(cfg);
    return result;
}
