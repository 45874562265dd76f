// The include, exclude and system lists in the application list file: one "yes", "no" or "sys"
// line per path.
#include "ClientSettings.h"
#include "SettingsFile.h"

#include <string>

#include "xrstr.h"

namespace {

const int32_t kListKinds[] = {XR_CFG_KIND_YES, XR_CFG_KIND_NO, XR_CFG_KIND_SYS};
const char *const kListNames[] = {"include list", "exclude list", "system list"};

}

PathList &ClientSettings::ListOfKind(int32_t kind)
{
    if (kind == XR_CFG_KIND_YES)
        return includeList;
    return kind == XR_CFG_KIND_NO ? excludeList : systemList;
}

int ClientSettings::ReadApplicationLists(const char *path)
{
    XrCfg *cfg = nullptr;
    if (XrCfgOpen(path, XR_CFG_FORM_CLIENT, XR_CFG_SECTION_APPS, &cfg) != 0)
        return XR_SETTINGS_OPEN_FAILED;
    for (int32_t kind : kListKinds) {
        PathList &list = ListOfKind(kind);
        list.clear();
        XrSettingsEachRecord<XrCfgApp>(
            cfg, kind, [&list](const XrCfgApp &record) { list.push_back(record.name); });
    }
    XrCfgClose(cfg);
    return 0;
}

int ClientSettings::SaveApplicationLists(const char *path)
{
    XrCfg *cfg = nullptr;
    if (XrSettingsOpenFile(path, XR_CFG_SECTION_APPS, XR_CFG_SECTION_APPS, &cfg) != 0)
        return XR_SETTINGS_OPEN_FAILED;
    int result = 0;
    for (size_t k = 0; k < sizeof kListKinds / sizeof kListKinds[0] && result == 0; k++) {
        int32_t kind = kListKinds[k];
        // The system list always reflects the machine at the time of the write.
        if (kind == XR_CFG_KIND_SYS)
            RebuildSystemList();
        // Fails only when the file held no line of the kind.
        XrCfgDelete(cfg, kind, nullptr);
        const PathList &list = ListOfKind(kind);
        for (size_t i = 0; i < list.size() && result == 0; i++) {
            std::string what = std::string(kListNames[k]) + " path " + std::to_string(i + 1);
            XrCfgApp record = {};
            if (XrStrCopy(record.name, sizeof record.name, list[i].c_str()) != 0)
                result = XrSettingsRefuse(what, path, "it is longer than 255 characters");
            else
                result = XrSettingsAppend(cfg, kind, &record, what, path);
        }
    }
    return XrSettingsSaveFile(path, XR_CFG_SECTION_APPS, cfg, result);
}

int ClientSettings::RefreshSystemList()
{
    if (applicationFile.empty())
        return -1;
    // A file that cannot be read yet is created by the write; the write rebuilds the list.
    ReadApplicationLists(applicationFile.c_str());
    SaveApplicationLists(applicationFile.c_str());
    return 0;
}
