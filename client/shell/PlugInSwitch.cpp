#include "PlugInSwitch.h"

#include <string.h>

#include "Seams.h"
#include "regnames.h"
#include "xrplugin_host.h"

namespace {

const char kNullModule[] = "null";

}

void ApplyAuthenticationToPlugIns(DWORD useAuthentication)
{
    XrPlugInEntry *entries = nullptr;
    int32_t count = 0;
    if (XrPlugInList(XR_PLUGINS_KEY, XR_PLUGIN_CLIENT, &entries, &count) != 0) {
        g_shellSeams.errorDialog("", "Read plug-in configuration information failed.",
                                 "The program was not installed correctly.");
        return;
    }
    for (int32_t i = 0; i < count; i++)
        for (int32_t m = 0; m < entries[i].moduleCount; m++) {
            XrPlugInModule &module = entries[i].modules[m];
            if (strcmp(module.name, kNullModule) == 0)
                continue;
            module.enabled = useAuthentication != 0;
            module.changed = 1;
        }
    XrPlugInSave(XR_PLUGINS_KEY, entries, count);
    XrPlugInFreeList(entries, count);
}
