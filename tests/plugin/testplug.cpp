/* A plug-in library for the tests: one authentication module for both sides with an option
 * per side, and a server-side filter. */
#include "xrplugin.h"

#include <stdio.h>

namespace {

int32_t g_sides;

int XRPLUGIN_CALL Accept(void *, int32_t, void *)
{
    return 0;
}

int XRPLUGIN_CALL RecordSide(XrPlugInOptionAccess *, int32_t side, void **)
{
    g_sides |= side;
    return 0;
}

int XRPLUGIN_CALL AuthInit(XrPlugInOptionAccess *, XrPlugInHost *, XrPlugInOperations *ops)
{
    ops->identifier = 21;
    snprintf(ops->name, sizeof ops->name, "tauth");
    ops->clientAuth = Accept;
    ops->serverAuth = Accept;
    ops->sideInit = RecordSide;
    return 0;
}

int XRPLUGIN_CALL FilterInit(XrPlugInOptionAccess *, XrPlugInHost *, XrPlugInOperations *ops)
{
    ops->identifier = 22;
    snprintf(ops->name, sizeof ops->name, "tfilter");
    return 0;
}

XrPlugInOption g_authOptions[] = {
    {XR_PLUGIN_OPTION_VALUE | XR_PLUGIN_SERVER, "SERVER_OPT", "server default"},
    {XR_PLUGIN_OPTION_VALUE | XR_PLUGIN_CLIENT, "CLIENT_OPT", "client default"},
};

XrPlugInOption g_filterOptions[] = {
    {XR_PLUGIN_OPTION_VALUE | XR_PLUGIN_SERVER, "LEVEL", "3"},
};

XrPlugInModuleDesc g_modules[] = {
    {XR_PLUGIN_VERSION, XR_PLUGIN_BOTH, XR_PLUGIN_AUTH, XR_PLUGIN_VERSION, "tauth",
     "Test authentication", AuthInit, 2, g_authOptions},
    {XR_PLUGIN_VERSION, XR_PLUGIN_SERVER, XR_PLUGIN_FILTER, XR_PLUGIN_VERSION, "tfilter",
     "Test filter", FilterInit, 1, g_filterOptions},
};

XrPlugInIdentRecord g_ident = {XR_PLUGIN_VERSION, "Test Plug", "Plug-in of the tests", 2,
                               g_modules};

} // namespace

extern "C" __declspec(dllexport) XrPlugInIdentRecord *XRPLUGIN_CALL XrPluginIdent(void)
{
    return &g_ident;
}

/* The sides for which the authentication module was initialized. */
extern "C" __declspec(dllexport) int32_t XRPLUGIN_CALL TestPlugSides(void)
{
    return g_sides;
}
