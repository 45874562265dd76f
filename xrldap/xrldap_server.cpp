/* Server side: ask the client for the attributes, check them against the directory, answer. */
#include <string.h>
#include <time.h>

#include "xrldap_expand.h"
#include "xrldap_module.h"
#include "xrstr.h"

namespace {

const uint8_t kSuccess = 0;
const uint8_t kFailure = 1;
const int kAttempts = 2;

// What the bind and the search are made with.
struct Request {
    char dn[XR_LDAP_EXPAND_SIZE];
    char filter[XR_LDAP_EXPAND_SIZE];
    char base[XR_LDAP_EXPAND_SIZE];
    char password[XR_LDAP_TEXT_MAX + 1];
    bool withPassword;
};

enum class Outcome { Success, Failure, ServerDown };

// From the received attributes; key collects every received value used. false on failure.
bool BuildRequest(const XrLdapTemplate &received, Request *request, XrLdapKey *key)
{
    if (XrLdapExpandDn(&g_ldap.dn, &received, request->dn, key) != 0)
        return false;
    XrLdapLog(10, "LDAP: dn is %s, len=%d", request->dn, (int)strlen(request->dn));

    request->filter[0] = '\0';
    if (g_ldap.filter[0] == '(') {
        if (XrLdapExpandFilterText(g_ldap.filter, &received, request->filter, key) != 0)
            return false;
    } else if (g_ldap.hasFilterTemplate) {
        if (XrLdapExpandFilterTemplate(&g_ldap.filterTemplate, &received, request->filter,
                                       key) != 0)
            return false;
    }
    if (request->filter[0])
        XrLdapLog(10, "LDAP: filter is %s, len=%d", request->filter,
                  (int)strlen(request->filter));

    request->withPassword = g_ldap.passwordFlag;
    if (request->withPassword) {
        const XrLdapAttr *password = XrLdapFindPassword(&received);
        XrLdapKeyAdd(key, password);
        // The directory would take an empty password as an anonymous bind, and cut one at a NUL.
        if (!password || password->valueLength == 0) {
            XrStrCopy(request->password, sizeof request->password, " ");
        } else if (memchr(password->value, '\0', password->valueLength)) {
            return false;
        } else {
            XrStrCopy(request->password, sizeof request->password, password->value);
        }
    }

    if (g_ldap.hasBaseDn) {
        if (XrLdapExpandDn(&g_ldap.baseDn, &received, request->base, key) != 0)
            return false;
    } else {
        memcpy(request->base, request->dn, sizeof request->base);
    }
    XrLdapLog(10, "LDAP: search base %s scope%s=sub", request->base,
              g_ldap.scope == LDAP_SCOPE_SUBTREE ? "" : "!");
    return true;
}

Outcome Search(const Request &request, l_timeval *timeout)
{
    LDAPMessage *result = nullptr;
    ULONG error = ldap_search_stA(g_ldap.connection, (PCHAR)request.base, g_ldap.scope,
                                  (PCHAR)request.filter, nullptr, 0, timeout, &result);
    ULONG entries = error == LDAP_SUCCESS ? ldap_count_entries(g_ldap.connection, result) : 0;
    if (result)
        ldap_msgfree(result);
    if (error == LDAP_SERVER_DOWN)
        return Outcome::ServerDown;
    if (error != LDAP_SUCCESS) {
        XrLdapLog(1, "LDAP: ldap_search_st failed: %s", ldap_err2stringA(error));
        return Outcome::Failure;
    }
    if (entries == 0 || entries == (ULONG)-1) {
        XrLdapLog(10, "LDAP: no search result");
        return Outcome::Failure;
    }
    return Outcome::Success;
}

// One bind (and search) on the connection, opened first when there is none.
Outcome Attempt(const Request &request)
{
    if (!g_ldap.connection) {
        XrLdapLog(10, "LDAP: connecting to %s", g_ldap.server);
        g_ldap.connection = ldap_initA(g_ldap.server, XR_LDAP_PORT);
        if (!g_ldap.connection) {
            g_host.log(nullptr, 1, 0, "can't connect to %s: %m", g_ldap.server);
            return Outcome::Failure;
        }
        ULONG version = LDAP_VERSION3;
        ldap_set_option(g_ldap.connection, LDAP_OPT_PROTOCOL_VERSION, &version);
    }
    l_timeval timeout = {g_ldap.timeout, 0};
    ULONG id = ldap_simple_bindA(g_ldap.connection, (PCHAR)request.dn,
                                 request.withPassword ? (PCHAR)request.password : nullptr);
    LDAPMessage *result = nullptr;
    // No answer to the bind, -1 included (what a vanished server gives), is the server down.
    ULONG type = id == (ULONG)-1 ? 0 : ldap_result(g_ldap.connection, id, LDAP_MSG_ALL, &timeout,
                                                   &result);
    if (type == 0 || type == (ULONG)-1 || !result)
        return Outcome::ServerDown;
    ULONG error = ldap_result2error(g_ldap.connection, result, 1);
    if (error == LDAP_SERVER_DOWN)
        return Outcome::ServerDown;
    if (error != LDAP_SUCCESS) {
        XrLdapLog(1, "LDAP: bind failed, %s, with %s/%s", ldap_err2stringA(error), request.dn,
                  request.withPassword ? "." : "NULL");
        return Outcome::Failure;
    }
    if (!g_ldap.filter[0])
        return Outcome::Success;
    return Search(request, &timeout);
}

// The directory's verdict, reconnecting once after the server went down.
uint8_t AskDirectory(const Request &request)
{
    std::lock_guard<std::mutex> hold(g_moduleLock);
    for (int attempt = 0; attempt < kAttempts; attempt++) {
        Outcome outcome = Attempt(request);
        if (outcome != Outcome::ServerDown)
            return outcome == Outcome::Success ? kSuccess : kFailure;
        XrLdapLog(10, "LDAP: server down, reconnect");
        ldap_unbind(g_ldap.connection);
        g_ldap.connection = nullptr;
    }
    return kFailure;
}

uint8_t Verify(const XrLdapTemplate &received, Request *request)
{
    XrLdapKey key = {};
    uint8_t verdict = kFailure;
    if (BuildRequest(received, request, &key)) {
        bool keyed = !key.overflow;
        int cached = 0;
        int64_t now = (int64_t)time(nullptr);
        if (keyed && XrLdapCacheLookup(g_ldap.cache, key.bytes, key.length, now, &cached) == 0) {
            verdict = cached ? kFailure : kSuccess;
        } else {
            verdict = AskDirectory(*request);
            if (keyed)
                XrLdapCacheAdd(g_ldap.cache, key.bytes, key.length, verdict, now);
        }
    }
    XrLdapWipe(&key, sizeof key);
    return verdict;
}

}  // namespace

void LdapDisconnect(void)
{
    std::lock_guard<std::mutex> hold(g_moduleLock);
    if (g_ldap.connection)
        ldap_unbind(g_ldap.connection);
    g_ldap.connection = nullptr;
}

int XRPLUGIN_CALL LdapServerAuth(void *context, int32_t, void *record)
{
    XrConnection *connection = (XrConnection *)record;
    if (!g_ldap.ready || !connection)
        return -1;
    unsigned char message[XR_LDAP_MESSAGE_MAX];
    int length = XrLdapEncode(&g_ldap.ask, message, sizeof message);
    if (!LdapSend(connection, context, message, length)) {
        XrLdapLog(10, "LDAP: Failed to send attributes");
        return -1;
    }
    XrLdapTemplate received;
    int status = LdapReceiveMessage(connection, context, &received);
    if (status == XR_LDAP_SHORT_READ)
        return -1;

    Request request = {};
    uint8_t verdict = status == 0 ? Verify(received, &request) : kFailure;
    if (verdict == kSuccess) {
        XrLdapLog(10, "LDAP: successful !!!: user is %s", request.dn);
        XrStrCopy(connection->user, XR_CONNECTION_USER_SIZE, request.dn);
    }
    XrLdapWipe(&request, sizeof request);
    XrLdapWipe(&received, sizeof received);

    const uint8_t response[2] = {XR_LDAP_VERSION, verdict};
    if (!LdapSend(connection, context, response, sizeof response)) {
        XrLdapLog(1, "LDAP: Failed to send response to client");
        return -1;
    }
    return verdict == kSuccess ? 0 : -1;
}
