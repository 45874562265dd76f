/* A plug-in library for the credential page's tests: three client-side authentication modules.
 * "upwd" keeps its credentials through the host's cache services and asks for them through the
 * host's credential dialog; "windom" offers no credential handlers; "tcred" has a name that the
 * credential cache does not know. */
#include <stdio.h>
#include <string.h>

#include "xrcred.h"
#include "xrplugin.h"

namespace {

const XrCCMethod kMethod = {XRCC_METHOD_UPWD};

struct Host {
    XrPlugInCCGetFn get;
    XrPlugInCCSetFn set;
    XrPlugInCCDeleteFn remove;
    XrPlugInCCDialog2Fn dialog;
};
Host g_host;
XrPlugInLookupFn g_lookup;
int32_t g_upwdInits;
XrCCKey g_lastKey;

int XRPLUGIN_CALL Accept(void *, int32_t, void *)
{
    return 0;
}

/* The dialog, started from entry, into a new entry stored under the server entered. */
int Ask(XrCCCredential *entry)
{
    XrCCDialogDesc dialog = {};
    snprintf(dialog.title, sizeof dialog.title, "Test credential");
    snprintf(dialog.server, sizeof dialog.server, "%s", entry->id.key.server);
    snprintf(dialog.user, sizeof dialog.user, "%s", entry->id.userId);
    if (g_host.dialog(&dialog) != 1 || !dialog.server[0])
        return -1;
    XrCCCredential made = {};
    snprintf(made.id.key.server, sizeof made.id.key.server, "%s", dialog.server);
    snprintf(made.id.server, sizeof made.id.server, "%s", dialog.server);
    snprintf(made.id.userId, sizeof made.id.userId, "%s", dialog.user);
    snprintf(made.text, sizeof made.text, "user=\"%s\",password=\"%s\"", dialog.user, dialog.password);
    if (g_host.set(&kMethod, &made) != 0)
        return -1;
    *entry = made;
    return 0;
}

int XRPLUGIN_CALL NewCredential(XrCCKey *key)
{
    g_lastKey = *key;
    XrCCCredential entry = {};
    return Ask(&entry);
}

int XRPLUGIN_CALL DeleteCredential(XrCCKey *key)
{
    g_lastKey = *key;
    return g_host.remove(&kMethod, key) == 0 ? 0 : -1;
}

int XRPLUGIN_CALL EditCredential(XrCCKey *key)
{
    g_lastKey = *key;
    XrCCCredential entry;
    if (g_host.get(&kMethod, key, &entry) != 0)
        return -1;
    XrCCKey old = entry.id.key;
    if (Ask(&entry) != 0)
        return -1;
    if (strcmp(old.server, entry.id.key.server) != 0)
        g_host.remove(&kMethod, &old);
    return 0;
}

int XRPLUGIN_CALL UpwdInit(XrPlugInOptionAccess *, XrPlugInHost *host, XrPlugInOperations *ops)
{
    g_upwdInits++;
    g_lookup = host->lookup;
    ops->identifier = 30;
    snprintf(ops->name, sizeof ops->name, "upwd");
    ops->clientAuth = Accept;
    ops->newCredential = NewCredential;
    ops->deleteCredential = DeleteCredential;
    ops->editCredential = EditCredential;
    g_host.get = (XrPlugInCCGetFn)host->lookup(XR_SVC_CC_GET);
    g_host.set = (XrPlugInCCSetFn)host->lookup(XR_SVC_CC_SET);
    g_host.remove = (XrPlugInCCDeleteFn)host->lookup(XR_SVC_CC_DELETE);
    g_host.dialog = (XrPlugInCCDialog2Fn)host->lookup(XR_SVC_CC_DIALOG2);
    return g_host.get && g_host.set && g_host.remove && g_host.dialog ? 0 : -1;
}

int XRPLUGIN_CALL WindomInit(XrPlugInOptionAccess *, XrPlugInHost *, XrPlugInOperations *ops)
{
    ops->identifier = 31;
    snprintf(ops->name, sizeof ops->name, "windom");
    ops->clientAuth = Accept;
    return 0;
}

int XRPLUGIN_CALL UnknownInit(XrPlugInOptionAccess *, XrPlugInHost *, XrPlugInOperations *ops)
{
    ops->identifier = 32;
    snprintf(ops->name, sizeof ops->name, "tcred");
    ops->clientAuth = Accept;
    ops->newCredential = NewCredential;
    return 0;
}

XrPlugInModuleDesc g_modules[] = {
    {XR_PLUGIN_VERSION, XR_PLUGIN_CLIENT, XR_PLUGIN_AUTH, XR_PLUGIN_VERSION, "upwd",
     "Test user name and password", UpwdInit, 0, NULL},
    {XR_PLUGIN_VERSION, XR_PLUGIN_CLIENT, XR_PLUGIN_AUTH, XR_PLUGIN_VERSION, "windom",
     "Test domain logon", WindomInit, 0, NULL},
    {XR_PLUGIN_VERSION, XR_PLUGIN_CLIENT, XR_PLUGIN_AUTH, XR_PLUGIN_VERSION, "tcred",
     "Test unknown method", UnknownInit, 0, NULL},
};

XrPlugInIdentRecord g_ident = {XR_PLUGIN_VERSION, "Test Credentials", "Plug-in of the tests", 3,
                               g_modules};

} // namespace

extern "C" __declspec(dllexport) XrPlugInIdentRecord *XRPLUGIN_CALL XrPluginIdent(void)
{
    return &g_ident;
}

/* How often the "upwd" module was initialized in this process. */
extern "C" __declspec(dllexport) int32_t XRPLUGIN_CALL TestCredInits(void)
{
    return g_upwdInits;
}

/* The key the last credential handler of "upwd" was given. */
extern "C" __declspec(dllexport) void XRPLUGIN_CALL TestCredLastKey(XrCCKey *key)
{
    *key = g_lastKey;
}

/* What host service 14 answers now: 1 when saving credentials to disk is forbidden. */
extern "C" __declspec(dllexport) intptr_t XRPLUGIN_CALL TestCredNoSave(void)
{
    return (intptr_t)g_lookup(XR_SVC_NO_SAVE);
}
