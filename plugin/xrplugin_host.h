/* The host side of the plug-in framework: the record of installed plug-ins in the registry
 * (HKEY_LOCAL_MACHINE, below the key path the caller passes), identification and loading of
 * plug-in libraries, and the configuration of their modules into the registration tables.
 *
 * List, install, remove and save run under the cross-process mutex "XrPlugInMutex": the one
 * XrPlugInInit opened, or in a process without it one that the call opens (or creates) for
 * itself; they fail with XR_PLUGIN_ENOMEM when there is no mutex to be had. Configuration and
 * the registration tables belong to one thread (the settings program's user-interface thread)
 * and are not locked. Diagnostics go to the process log.
 * Results: 0 success, else one of the XR_PLUGIN_E* codes. Windows only. */
#ifndef PLUGIN_XRPLUGIN_HOST_H
#define PLUGIN_XRPLUGIN_HOST_H

#include <stdint.h>

#include "xrplugin.h"

#ifdef __cplusplus
extern "C" {
#endif

#define XR_PLUGIN_MUTEX "XrPlugInMutex"
#define XR_PLUGIN_NULL_NAME "Varo Null" /* the built-in plug-in, installed by this name as path */

#define XR_PLUGIN_ENOMEM (-1)
#define XR_PLUGIN_EREAD (-3)
#define XR_PLUGIN_EWRITE (-4)
#define XR_PLUGIN_EEXIST (-5)
#define XR_PLUGIN_EINVALID_LIBRARY (-8)
#define XR_PLUGIN_EINVALID (-11)

/* Creates or opens the mutex, usable by every user. 0 or -1. */
int XrPlugInInit(void);
/* Closes the mutex and shuts the credential cache down (XrCC_Exit). */
void XrPlugInCleanup(void);

/* The installed plug-ins below keyPath with their modules whose class meets classMask, and of
 * those the options whose type meets it. A missing key gives count 0. Free with
 * XrPlugInFreeList. */
int XrPlugInList(const char *keyPath, int32_t classMask, XrPlugInEntry **entries,
                 int32_t *count);
void XrPlugInFreeList(XrPlugInEntry *entries, int32_t count);

/* Identifies the library and records it below keyPath with its modules of sideMask's classes
 * and their options of sideMask's sides, at their defaults. */
int XrPlugInInstall(const char *libraryPath, const char *keyPath, int32_t sideMask);
/* Identifies the library and deletes its plug-in's key with everything below it. */
int XrPlugInRemove(const char *libraryPath, const char *keyPath);
/* Writes back "Enabled" of every module and "Value" of every option of the entries into the
 * keys that still exist: what another process removed since the list stays removed. */
int XrPlugInSave(const char *keyPath, const XrPlugInEntry *entries, int32_t count);

/* Loads the library (the built-in one by its name as path) and fills entry from its
 * identification record with the modules whose class meets classMask. The entry owns copies
 * of the module and option arrays, freed with XrPlugInFreeEntry. The library stays loaded. */
int XrPlugInIdentify(const char *libraryPath, XrPlugInEntry *entry, int32_t classMask);
/* Frees the module and option arrays of one entry (not the entry itself). */
void XrPlugInFreeEntry(XrPlugInEntry *entry);

/* Loads the libraries of the entries and builds an instance for each of their modules (side
 * mask XR_PLUGIN_CLIENT: authentication modules only). The instances point to the entries'
 * module records, which must outlive them. Free the instances with free(). */
int XrPlugInLoad(int32_t sideMask, XrPlugInEntry *entries, int32_t count,
                 XrPlugInInstance **instances, int32_t *instanceCount);
/* Initializes the enabled instances and registers them for the sides of sideMask. Stops with
 * -1 at the first module that fails or whose identifier is taken. */
int XrPlugInConfigure(XrPlugInInstance *instances, int32_t count, int32_t sideMask);

/* The built-in code of a module name (XR_PLUGIN_CODE_*; exact comparison), which is also the
 * type code of the credential cache's method identifier. */
int32_t XrPlugInBuiltinCode(const char *moduleName);

/* The process's allow-save flag (initially 1); host service 14 reports its negation. */
void XrPlugInSetAllowSave(int allow);

/* Host services 4 and 5, also for the host's own use. */
int XRPLUGIN_CALL XrPlugInGetModule(int32_t type, int32_t identifier, XrPlugInInstance *out);
int XRPLUGIN_CALL XrPlugInListIds(int32_t type, uint8_t *ids, int32_t *count);

/* The built-in null plug-in's identification function. */
XrPlugInIdentRecord *XRPLUGIN_CALL XrPlugInNullIdent(void);

#ifdef __cplusplus
}
#endif

#endif
