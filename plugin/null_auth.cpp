/* The built-in method without authentication, described like a library plug-in so that lists
 * and the credential page treat it like any other. */
#include <stddef.h>
#include <stdio.h>

#include "xrimpl.h"
#include "xrplugin_host.h"
#include "xrstr.h"

// The offsets plug-ins built elsewhere rely on are those of the 32-bit engine.
#ifndef _WIN64
static_assert(offsetof(XrConnection, requestedUser) == XR_CONNECTION_REQUESTED_USER,
              "connection record");
static_assert(offsetof(XrConnection, user) == XR_CONNECTION_USER, "connection record");
#endif
static_assert(sizeof(XrConnection::user) == XR_CONNECTION_USER_SIZE, "connection record");

namespace {

/* Nothing to exchange: the engine sends no method data. */
int XRPLUGIN_CALL NullClientAuth(void *, int32_t, void *record)
{
    if (record)
        static_cast<XrPlugInExchange *>(record)->sendLength = 0;
    return 0;
}

/* Every peer is accepted; the user it named in its request becomes the authenticated user.
 * The engine fills that field from the peer: it is read no further than its own end even when
 * it holds no terminator. */
int XRPLUGIN_CALL NullServerAuth(void *, int32_t, void *record)
{
    XrConnection *connection = static_cast<XrConnection *>(record);
    if (connection && connection->requestedUser[0])
        snprintf(connection->user, sizeof connection->user, "%.*s",
                 (int)sizeof connection->user - 1, connection->requestedUser);
    return 0;
}

int XRPLUGIN_CALL NullInit(XrPlugInOptionAccess *, XrPlugInHost *, XrPlugInOperations *ops)
{
    ops->identifier = 0;
    XrStrCopy(ops->name, sizeof ops->name, "null");
    ops->clientAuth = NullClientAuth;
    ops->serverAuth = NullServerAuth;
    ops->sideInit = NULL;
    ops->cleanup = NULL;
    return 0;
}

XrPlugInModuleDesc g_nullModule = {XR_PLUGIN_VERSION, XR_PLUGIN_BOTH, XR_PLUGIN_AUTH,
                                   XR_PLUGIN_VERSION, "null", "Varo null authentication",
                                   NullInit, 0, NULL};

XrPlugInIdentRecord g_nullIdent = {XR_PLUGIN_VERSION, XR_PLUGIN_NULL_NAME,
                                   "Varo null authentication", 1, &g_nullModule};

} // namespace

XrPlugInIdentRecord *XRPLUGIN_CALL XrPlugInNullIdent(void)
{
    return &g_nullIdent;
}
