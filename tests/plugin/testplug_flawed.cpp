/* A plug-in library for the tests whose identification record has the flaw that the variable
 * TESTPLUG_FLAW names (read at every call); without the variable the record is sound. */
#include <windows.h>

#include <string.h>

#include "xrplugin.h"

namespace {

int XRPLUGIN_CALL Init(XrPlugInOptionAccess *, XrPlugInHost *, XrPlugInOperations *)
{
    return 0;
}

XrPlugInOption g_options[] = {{XR_PLUGIN_OPTION_VALUE | XR_PLUGIN_CLIENT, "OPT", "default"}};
const XrPlugInModuleDesc kModule = {XR_PLUGIN_VERSION, XR_PLUGIN_BOTH, XR_PLUGIN_AUTH,
                                    XR_PLUGIN_VERSION, "flawed", "Flawed module", Init, 1,
                                    g_options};
XrPlugInModuleDesc g_module;
XrPlugInOption g_flawedOption = g_options[0];
XrPlugInIdentRecord g_ident;

} // namespace

extern "C" __declspec(dllexport) XrPlugInIdentRecord *XRPLUGIN_CALL XrPluginIdent(void)
{
    char flaw[64] = "";
    GetEnvironmentVariableA("TESTPLUG_FLAW", flaw, sizeof flaw);
    g_module = kModule;
    g_ident = {XR_PLUGIN_VERSION, "Flawed Plug", "Plug-in of the tests", 1, &g_module};
    if (strcmp(flaw, "no record") == 0)
        return NULL;
    if (strcmp(flaw, "no plug-in name") == 0)
        g_ident.name[0] = '\0';
    else if (strcmp(flaw, "negative module count") == 0)
        g_ident.moduleCount = -1;
    else if (strcmp(flaw, "no module array") == 0)
        g_ident.modules = NULL;
    else if (strcmp(flaw, "no module name") == 0)
        g_module.name[0] = '\0';
    else if (strcmp(flaw, "no module type") == 0)
        g_module.type = 0;
    else if (strcmp(flaw, "negative option count") == 0)
        g_module.optionCount = -1;
    else if (strcmp(flaw, "no option array") == 0)
        g_module.options = NULL;
    else if (strcmp(flaw, "unterminated plug-in name") == 0)
        memset(g_ident.name, 'n', sizeof g_ident.name);
    else if (strcmp(flaw, "unterminated module description") == 0)
        memset(g_module.description, 'd', sizeof g_module.description);
    else if (strcmp(flaw, "unterminated option value") == 0)
        memset(g_flawedOption.value, 'v', sizeof g_flawedOption.value);
    if (strcmp(flaw, "unterminated option value") == 0)
        g_module.options = &g_flawedOption;
    return &g_ident;
}
