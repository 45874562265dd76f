// What the server list and the application lists share in reading and writing their files.
#ifndef CLIENT_APP_SETTINGSFILE_H
#define CLIENT_APP_SETTINGSFILE_H

#include <stdint.h>

#include <string>

#include "xrcfg.h"

// Opens path with mask. When that fails, the model starts empty with reopenMask, and the save
// puts the file in place: a missing file must be creatable now, and an unreadable file's
// contents are kept as path + ".bak" first. The file itself is not touched here. 0, or
// XR_SETTINGS_OPEN_FAILED (also when the copy cannot be made).
int XrSettingsOpenFile(const char *path, uint32_t mask, uint32_t reopenMask, XrCfg **cfg);

// Appends a record; when the model refuses it, logs why (what names the entry) and returns
// XR_SETTINGS_ADD_FAILED, else 0.
int XrSettingsAppend(XrCfg *cfg, int32_t kind, void *record, const std::string &what,
                     const char *path);
// Logs that the entry what cannot be written to path, and why; XR_SETTINGS_ADD_FAILED.
int XrSettingsRefuse(const std::string &what, const char *path, const std::string &reason);

// Saves the model with mask, but only when result is 0 (a refused entry leaves the file as it
// was), and closes it. result, or XR_SETTINGS_SAVE_FAILED when the save failed.
int XrSettingsSaveFile(const char *path, uint32_t mask, XrCfg *cfg, int result);

// Calls take(record) for every record of kind in file order, releasing each afterwards.
template <typename Record, typename Take>
void XrSettingsEachRecord(XrCfg *cfg, int32_t kind, Take take)
{
    for (;;) {
        Record record = {};
        int32_t more = XrCfgGetNext(cfg, kind, &record);
        if (more < 0)
            return;
        take(record);
        XrCfgFreeRecord(kind, &record);
        if (more == 0)
            return;
    }
}

#endif
