/* The LDAP module's state and the pieces its three source files share. One state per loaded
 * library, shared by every connection. */
#ifndef XRLDAP_XRLDAP_MODULE_H
#define XRLDAP_XRLDAP_MODULE_H

#include <winsock2.h>
#include <windows.h>
#include <winldap.h>

#include <mutex>

#include "xrcred.h"
#include "xrimpl.h"
#include "xrldap_attr.h"
#include "xrldap_cache.h"
#include "xrplugin.h"

#define XR_LDAP_IDENTIFIER 17
#define XR_LDAP_PORT 389

struct LdapHost {
    int32_t builtinCode;
    XrPlugInLogWriteFn log;
    XrPlugInIOFn send;
    XrPlugInIOFn recv;
    XrPlugInCCMethodFn ccOpen;
    XrPlugInCCMethodFn ccClose;
    XrPlugInCCGetFn ccGet;
    XrPlugInCCSetFn ccSet;
    XrPlugInCCDeleteFn ccDelete;
    XrPlugInCCDialog2Fn ccDialog2;
};

struct LdapState {
    int32_t timeout;
    /* Server side; ready once every template and the server name are in place. */
    bool ready;
    XrLdapTemplate ask;
    XrLdapTemplate dn;
    bool hasBaseDn;
    XrLdapTemplate baseDn;
    bool hasFilterTemplate;
    XrLdapTemplate filterTemplate;
    char filter[XR_PLUGIN_VALUE_SIZE];
    bool passwordFlag;
    char server[XR_PLUGIN_VALUE_SIZE];
    ULONG scope;
    LDAP *connection;
    XrLdapCache *cache;
    /* Client side. */
    int32_t prompt;
    bool prompted;
};

extern LdapHost g_host;
extern LdapState g_ldap;
/* Guards the directory connection, the prompt and the credential-cache updates. */
extern std::mutex g_moduleLock;

/* Exactly length bytes over the connection through the host; false on a short transfer. */
bool LdapSend(XrConnection *connection, void *context, const void *data, int length);
bool LdapRecv(XrConnection *connection, void *context, void *data, int length);

/* One attribute message from the peer: 0, XR_LDAP_MALFORMED or XR_LDAP_SHORT_READ. */
int LdapReceiveMessage(XrConnection *connection, void *context, XrLdapTemplate *out);

int XRPLUGIN_CALL LdapServerAuth(void *context, int32_t method, void *record);
/* Closes the directory connection (under the module lock). */
void LdapDisconnect(void);

int XRPLUGIN_CALL LdapClientAuth(void *context, int32_t method, void *record);
int XRPLUGIN_CALL LdapNewCredential(XrCCKey *key);
int XRPLUGIN_CALL LdapDeleteCredential(XrCCKey *key);
int XRPLUGIN_CALL LdapEditCredential(XrCCKey *key);

#endif
