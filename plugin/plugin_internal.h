/* Shared between the plug-in registry and the loader. */
#ifndef PLUGIN_PLUGIN_INTERNAL_H
#define PLUGIN_PLUGIN_INTERNAL_H

#include "xrplugin.h"

/* Loads the entry's library (or takes the built-in plug-in when the entry's name or path is
 * the built-in one's) and calls its identification function. Sets entry->library. 0, or
 * XR_PLUGIN_EINVALID_LIBRARY with the reason logged. */
int XrPlugInOpenIdent(XrPlugInEntry *entry, XrPlugInIdentRecord **ident);

/* A heap copy of count options (null for none); false when memory runs out. */
bool XrPlugInCopyOptions(const XrPlugInOption *options, int32_t count, XrPlugInOption **copy);

#endif
