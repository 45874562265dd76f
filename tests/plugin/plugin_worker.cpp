/* Second process of the concurrency tests: lists the plug-ins below a key and saves them back
 * with every option set to "<tag>-<round>", a number of rounds.
 * Usage: plugin_worker <key path> <tag> <rounds>. Exit code 0 when every call succeeded. */
#include <stdio.h>
#include <stdlib.h>

#include "xrplugin_host.h"

int main(int argc, char **argv)
{
    if (argc != 4 || XrPlugInInit() != 0)
        return 2;
    int failures = 0;
    for (int round = 0; round < atoi(argv[3]); ++round) {
        XrPlugInEntry *entries = NULL;
        int32_t count = 0;
        if (XrPlugInList(argv[1], XR_PLUGIN_BOTH, &entries, &count) != 0) {
            ++failures;
            continue;
        }
        for (int32_t e = 0; e < count; ++e)
            for (int32_t m = 0; m < entries[e].moduleCount; ++m)
                for (int32_t o = 0; o < entries[e].modules[m].optionCount; ++o)
                    snprintf(entries[e].modules[m].options[o].value, XR_PLUGIN_VALUE_SIZE,
                             "%s-%d", argv[2], round);
        failures += XrPlugInSave(argv[1], entries, count) != 0;
        XrPlugInFreeList(entries, count);
    }
    XrPlugInCleanup();
    return failures ? 1 : 0;
}
