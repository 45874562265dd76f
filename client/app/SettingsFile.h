// What the server list and the application lists share in reading and writing their files.
#ifndef CLIENT_APP_SETTINGSFILE_H
#define CLIENT_APP_SETTINGSFILE_H

#include <stdint.h>

#include "xrcfg.h"

// Opens path with mask; when that fails (a missing or unreadable file), creates the file empty
// and opens it with reopenMask. An unreadable file's contents are kept as path + ".bak" first
// (no copy, no truncation). 0, or XR_SETTINGS_OPEN_FAILED.
int XrSettingsOpenFile(const char *path, uint32_t mask, uint32_t reopenMask, XrCfg **cfg);

// Saves the model with mask and closes it. result when the save worked, else
// XR_SETTINGS_SAVE_FAILED.
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
