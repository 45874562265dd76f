/* Second process of the plug-in registry tests. It works as the logon refresh does, without
 * XrPlugInInit, and sets the named event (when one of that name exists) just before its first
 * registry call, so that a test knows the call has begun.
 * Usage: plugin_worker <event> <key path> list
 *        plugin_worker <event> <key path> install|remove <library>
 *        plugin_worker <event> <key path> save <tag> <rounds>
 * save lists the plug-ins and saves them back with every option set to "<tag>-<round>", rounds
 * times. Exit code 0 when every call succeeded, 1 when one failed, 2 on a usage error. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "xrplugin_host.h"

namespace {

int ListAndSave(const char *keyPath, const char *tag, int rounds)
{
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        XrPlugInEntry *entries = NULL;
        int32_t count = 0;
        if (XrPlugInList(keyPath, XR_PLUGIN_BOTH, &entries, &count) != 0) {
            ++failures;
            continue;
        }
        for (int32_t e = 0; e < count; ++e)
            for (int32_t m = 0; m < entries[e].moduleCount; ++m)
                for (int32_t o = 0; o < entries[e].modules[m].optionCount; ++o)
                    snprintf(entries[e].modules[m].options[o].value, XR_PLUGIN_VALUE_SIZE,
                             "%s-%d", tag, round);
        failures += XrPlugInSave(keyPath, entries, count) != 0;
        XrPlugInFreeList(entries, count);
    }
    return failures;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4)
        return 2;
    const char *keyPath = argv[2];
    const char *operation = argv[3];
    HANDLE started = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (started) {
        SetEvent(started);
        CloseHandle(started);
    }
    int failed;
    if (strcmp(operation, "list") == 0) {
        XrPlugInEntry *entries = NULL;
        int32_t count = 0;
        failed = XrPlugInList(keyPath, XR_PLUGIN_BOTH, &entries, &count) != 0;
        XrPlugInFreeList(entries, count);
    } else if (strcmp(operation, "install") == 0 && argc == 5) {
        failed = XrPlugInInstall(argv[4], keyPath, XR_PLUGIN_BOTH) != 0;
    } else if (strcmp(operation, "remove") == 0 && argc == 5) {
        failed = XrPlugInRemove(argv[4], keyPath) != 0;
    } else if (strcmp(operation, "save") == 0 && argc == 6) {
        failed = ListAndSave(keyPath, argv[4], atoi(argv[5])) != 0;
    } else {
        return 2;
    }
    return failed ? 1 : 0;
}
