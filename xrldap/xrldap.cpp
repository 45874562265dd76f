/* The LDAP plug-in: what the library declares, its options, and how a side is set up. */
#include <stdlib.h>
#include <string.h>

#include "nt/nt_log.h"
#include "xrldap_module.h"
#include "xrstr.h"

LdapHost g_host;
LdapState g_ldap;
std::mutex g_moduleLock;

namespace {

const int32_t kServerOption = XR_PLUGIN_SERVER | XR_PLUGIN_OPTION_VALUE;
const int32_t kClientOption = XR_PLUGIN_CLIENT | XR_PLUGIN_OPTION_VALUE;

XrPlugInOption g_options[] = {
    {kServerOption, "LDAP_SERVER", ""},  {kServerOption, "TIMEOUT", "60"},
    {kServerOption, "DN", "dn"},         {kServerOption, "ASK", "dn,password"},
    {kClientOption, "PROMPT", ""},       {kServerOption, "FILTER", ""},
    {kServerOption, "CACHETIME", "600"},
};

int XRPLUGIN_CALL LdapModuleInit(XrPlugInOptionAccess *options, XrPlugInHost *host,
                                 XrPlugInOperations *ops);

XrPlugInModuleDesc g_module = {
    XR_PLUGIN_VERSION, XR_PLUGIN_BOTH, XR_PLUGIN_AUTH, XR_PLUGIN_VERSION, "ldap",
    "LDAP authentication", LdapModuleInit, (int32_t)(sizeof g_options / sizeof g_options[0]),
    g_options,
};

XrPlugInIdentRecord g_ident = {XR_PLUGIN_VERSION, "Varo SOCKS5 LDAP", "LDAP authentication", 1,
                               &g_module};

void HostLogSink(int32_t level, const char *line)
{
    g_host.log(nullptr, level, XR_LOG_PLAIN, line);
}

const char *Option(XrPlugInOptionAccess *options, const char *name)
{
    if (!options || !options->getOption)
        return nullptr;
    return options->getOption(options->module, name);
}

// A missing or empty option falls back to its declared default, which the log tells.
const char *OptionOr(XrPlugInOptionAccess *options, const char *name)
{
    const char *value = Option(options, name);
    if (value && *value)
        return value;
    const char *fallback = "";
    for (const XrPlugInOption &option : g_options)
        if (strcmp(option.name, name) == 0)
            fallback = option.value;
    XrLdapLog(10, "LDAP: %s undefined, default to \"%s\"", name, fallback);
    return fallback;
}

ULONG ScopeOf(const char *text)
{
    if (text && _stricmp(text, "SUB") == 0)
        return LDAP_SCOPE_SUBTREE;
    if (text && _stricmp(text, "ONE") == 0)
        return LDAP_SCOPE_ONELEVEL;
    return LDAP_SCOPE_BASE;
}

void XRPLUGIN_CALL LdapCleanup(int32_t side)
{
    if (side != XR_PLUGIN_SERVER)
        return;
    LdapDisconnect();
    XrLdapCacheDestroy(g_ldap.cache);
    g_ldap.cache = nullptr;
    g_ldap.ready = false;
}

// Builds the server side's templates; a step that fails leaves the side without a server,
// which fails every authentication, yet the initialization itself succeeds.
void InitServer(XrPlugInOptionAccess *options)
{
    if (XrLdapParseTemplate(OptionOr(options, "ASK"), &g_ldap.ask) != 0)
        return;
    g_ldap.passwordFlag = XrLdapFindPassword(&g_ldap.ask) != nullptr;
    if (XrLdapParseTemplate(OptionOr(options, "DN"), &g_ldap.dn) != 0)
        return;
    const char *baseDn = Option(options, "BASEDN");
    g_ldap.hasBaseDn = baseDn && *baseDn && XrLdapParseTemplate(baseDn, &g_ldap.baseDn) == 0;
    XrStrCopy(g_ldap.filter, sizeof g_ldap.filter, Option(options, "FILTER"));
    if (g_ldap.filter[0] && g_ldap.filter[0] != '(') {
        if (XrLdapParseTemplate(g_ldap.filter, &g_ldap.filterTemplate) != 0)
            return;
        g_ldap.hasFilterTemplate = true;
    }
    const char *server = Option(options, "LDAP_SERVER");
    if (!server || !*server) {
        XrLdapLog(10, "LDAP_SERVER undefined");
        return;
    }
    XrStrCopy(g_ldap.server, sizeof g_ldap.server, server);
    g_ldap.scope = ScopeOf(Option(options, "SCOPE"));
    g_ldap.cache = XrLdapCacheCreate(atoi(OptionOr(options, "CACHETIME")));
    g_ldap.ready = g_ldap.cache != nullptr;
}

int XRPLUGIN_CALL LdapSideInit(XrPlugInOptionAccess *options, int32_t side, void **)
{
    LdapCleanup(side);
    g_ldap.timeout = atoi(OptionOr(options, "TIMEOUT"));
    if (side == XR_PLUGIN_CLIENT) {
        // The ASK template stays: it is the server side's, and one process may run both sides.
        const char *prompt = Option(options, "PROMPT");
        g_ldap.prompt = prompt ? atoi(prompt) : 0;
        g_ldap.prompted = false;
        return 0;
    }
    if (side == XR_PLUGIN_SERVER) {
        memset(&g_ldap.ask, 0, sizeof g_ldap.ask);
        memset(&g_ldap.dn, 0, sizeof g_ldap.dn);
        g_ldap.hasBaseDn = g_ldap.hasFilterTemplate = g_ldap.passwordFlag = false;
        g_ldap.filter[0] = g_ldap.server[0] = '\0';
        InitServer(options);
    }
    return 0;
}

template <typename Fn> bool Service(XrPlugInHost *host, int32_t number, Fn *out)
{
    *out = (Fn)host->lookup(number);
    return *out != nullptr;
}

int XRPLUGIN_CALL LdapModuleInit(XrPlugInOptionAccess *, XrPlugInHost *host,
                                 XrPlugInOperations *ops)
{
    memset(ops, 0, sizeof *ops);
    ops->identifier = XR_LDAP_IDENTIFIER;
    XrStrCopy(ops->name, sizeof ops->name, "ldap");
    ops->clientAuth = LdapClientAuth;
    ops->serverAuth = LdapServerAuth;
    ops->newCredential = LdapNewCredential;
    ops->deleteCredential = LdapDeleteCredential;
    ops->editCredential = LdapEditCredential;
    ops->sideInit = LdapSideInit;
    ops->cleanup = LdapCleanup;
    if (!host || !host->lookup)
        return -1;
    LdapHost found = {};
    found.builtinCode = host->builtinCode;
    if (!Service(host, XR_SVC_LOG_WRITE, &found.log) || !Service(host, XR_SVC_RECV, &found.recv) ||
        !Service(host, XR_SVC_SEND, &found.send) ||
        !Service(host, XR_SVC_CC_OPEN, &found.ccOpen) ||
        !Service(host, XR_SVC_CC_CLOSE, &found.ccClose) ||
        !Service(host, XR_SVC_CC_GET, &found.ccGet) ||
        !Service(host, XR_SVC_CC_SET, &found.ccSet) ||
        !Service(host, XR_SVC_CC_DIALOG2, &found.ccDialog2) ||
        !Service(host, XR_SVC_CC_DELETE, &found.ccDelete))
        return -1;
    g_host = found;
    XrLdapSetLogSink(HostLogSink);
    return 0;
}

bool Transfer(XrPlugInIOFn io, XrConnection *connection, void *context, void *data, int length)
{
    return io((uintptr_t)connection->socket, connection, (char *)data, length, XR_IO_FLAGS,
              XR_IO_CLASS, context) == length;
}

struct Channel {
    XrConnection *connection;
    void *context;
};

int ReadFromPeer(void *context, unsigned char *buffer, int length)
{
    Channel *channel = (Channel *)context;
    return LdapRecv(channel->connection, channel->context, buffer, length) ? length : 0;
}

}  // namespace

int LdapReceiveMessage(XrConnection *connection, void *context, XrLdapTemplate *out)
{
    Channel channel = {connection, context};
    return XrLdapReceive(ReadFromPeer, &channel, 0, out);
}

bool LdapSend(XrConnection *connection, void *context, const void *data, int length)
{
    return Transfer(g_host.send, connection, context, (void *)data, length);
}

bool LdapRecv(XrConnection *connection, void *context, void *data, int length)
{
    return Transfer(g_host.recv, connection, context, data, length);
}

extern "C" __declspec(dllexport) XrPlugInIdentRecord *XRPLUGIN_CALL XrPluginIdent(void)
{
    return &g_ident;
}
