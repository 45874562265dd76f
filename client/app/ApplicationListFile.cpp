// The include, exclude and system lists in the application list file: one "yes", "no" or "sys"
// line per path.
#include "ClientSettings.h"
#include "SettingsFile.h"

#include "xrstr.h"

namespace {

const int32_t kListKinds[] = {XR_CFG_KIND_YES, XR_CFG_KIND_NO, XR_CFG_KIND_SYS};

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
    for (int32_t kind : kListKinds) {
        // The system list always reflects the machine at the time of the write.
        if (kind == XR_CFG_KIND_SYS)
            RebuildSystemList();
        // Fails only when the file held no line of the kind.
        XrCfgDelete(cfg, kind, nullptr);
        for (const std::string &name : ListOfKind(kind)) {
            // An empty line would make the whole file unreadable.
            if (name.empty() || name.size() > XR_SETTINGS_MAX_PATH)
                continue;
            XrCfgApp record = {};
            XrStrCopy(record.name, sizeof record.name, name.c_str());
            if (XrCfgAppend(cfg, kind, &record) != 0) {
                result = XR_SETTINGS_ADD_FAILED;
                break;
            }
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
