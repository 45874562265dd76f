/* Client side: answer the server's request from the credential cache or a prompt, and the
 * credential handlers of the credential page. */
#include <string.h>

#include "xrldap_credential.h"
#include "xrldap_module.h"
#include "xrstr.h"

namespace {

const XrCCMethod kMethod = {XRCC_METHOD_LDAP};
// A dialog that keeps coming back with unusable input is given up after this many rounds.
const int kPromptRounds = 10;

const char kCaption[] = "Enter your server name and LDAP credentials:";
const char kInvalidCaption[] = "The previous LDAP schema was invalid. Re-enter your LDAP schema:";

// The cache names a server by its host name, or by its address when the name is not known.
void KeyOf(const XrConnection *connection, XrCCKey *key)
{
    memset(key, 0, sizeof *key);
    XrStrCopy(key->server, sizeof key->server,
              connection->serverName[0] ? connection->serverName
                                        : inet_ntoa(connection->serverAddress));
}

bool HasAddress(const char *server)
{
    return server[0] && (inet_addr(server) != INADDR_NONE || gethostbyname(server) != nullptr);
}

// Shows the credential dialog, starting from entry, until it gives an entry worth storing for
// the names asked; stores it and leaves it in entry. 0, or -1 when cancelled or not stored.
int Prompt(const XrLdapTemplate &asked, XrCCCredential *entry)
{
    XrCCDialogDesc dialog = {};
    XrStrCopy(dialog.title, sizeof dialog.title, "Ferrowin LDAP User");
    XrStrCopy(dialog.caption, sizeof dialog.caption, kCaption);
    XrStrCopy(dialog.serverLabel, sizeof dialog.serverLabel, "&Server name");
    XrStrCopy(dialog.userLabel, sizeof dialog.userLabel, "&User name");
    XrStrCopy(dialog.passwordLabel, sizeof dialog.passwordLabel, "&Password:");
    XrStrCopy(dialog.checkText, sizeof dialog.checkText, "Sa&ve password on disk");
    XrStrCopy(dialog.server, sizeof dialog.server, entry->id.key.server);
    XrLdapSplitCredential(entry->text, dialog.user, sizeof dialog.user, dialog.password,
                          sizeof dialog.password);
    dialog.save = (entry->flags & XRCC_SAVE_PASSWORD) != 0;

    int result = -1;
    for (int round = 0; round < kPromptRounds && g_host.ccDialog2(&dialog) == 1; round++) {
        if (!HasAddress(dialog.server)) {
            MessageBoxA(nullptr,
                        "Cannot find IP address for the server. Enter another host name or IP "
                        "address for server.",
                        "Error", MB_OK | MB_ICONERROR);
            continue;
        }
        XrCCCredential made = {};
        if (XrLdapComposeCredential(&asked, dialog.user, dialog.password, made.text,
                                    sizeof made.text) != 0) {
            XrStrCopy(dialog.caption, sizeof dialog.caption, kInvalidCaption);
            continue;
        }
        XrStrCopy(made.id.key.server, sizeof made.id.key.server, dialog.server);
        XrStrCopy(made.id.server, sizeof made.id.server, dialog.server);
        XrStrCopy(made.id.userId, sizeof made.id.userId, dialog.user);
        made.flags = dialog.save ? XRCC_SAVE_PASSWORD : 0;
        result = g_host.ccSet(&kMethod, &made) == 0 ? 0 : -1;
        *entry = made;
        XrLdapWipe(&made, sizeof made);
        break;
    }
    XrLdapWipe(&dialog, sizeof dialog);
    return result;
}

// The answer to request from this server's cached entry, prompting once per process when the
// entry is missing or unusable and prompting is allowed.
int ObtainAnswer(XrConnection *connection, const XrLdapTemplate &request,
                 XrLdapTemplate *answer)
{
    std::lock_guard<std::mutex> hold(g_moduleLock);
    XrCCKey key;
    KeyOf(connection, &key);
    g_host.ccOpen(&kMethod);
    XrCCCredential entry = {};
    bool found = g_host.ccGet(&kMethod, &key, &entry) == 0;
    bool usable = found && !(entry.flags & XRCC_BEING_EDITED) &&
                  XrLdapAnswer(&request, entry.text, answer) == 0;
    if (!usable && g_ldap.prompt && !g_ldap.prompted) {
        g_ldap.prompted = true;
        if (!found) {
            memset(&entry, 0, sizeof entry);
            entry.id.key = key;
        }
        usable = Prompt(request, &entry) == 0 && XrLdapAnswer(&request, entry.text, answer) == 0;
    }
    g_host.ccClose(&kMethod);
    XrLdapWipe(&entry, sizeof entry);
    return usable ? 0 : -1;
}

// The names the credential page's entries are made for: no request is at hand there.
void DefaultAsk(XrLdapTemplate *asked)
{
    XrLdapParseTemplate(XR_LDAP_DEFAULT_ASK, asked);
}

}  // namespace

int XRPLUGIN_CALL LdapClientAuth(void *context, int32_t, void *record)
{
    XrPlugInExchange *exchange = (XrPlugInExchange *)record;
    if (!exchange || !exchange->connection)
        return -1;
    exchange->sendLength = 0;
    XrConnection *connection = exchange->connection;
    XrLdapTemplate request;
    int status = LdapReceiveMessage(connection, context, &request);
    if (status != 0)
        return status;

    XrLdapTemplate answer;
    if (ObtainAnswer(connection, request, &answer) != 0)
        return -1;
    unsigned char message[XR_LDAP_MESSAGE_MAX];
    int length = XrLdapEncode(&answer, message, sizeof message);
    bool sent = LdapSend(connection, context, message, length);
    XrLdapWipe(&answer, sizeof answer);
    XrLdapWipe(message, sizeof message);
    uint8_t response[2];
    if (!sent || !LdapRecv(connection, context, response, sizeof response))
        return -3;
    return response[0] == XR_LDAP_VERSION && response[1] == 0 ? 0 : -2;
}

int XRPLUGIN_CALL LdapNewCredential(XrCCKey *)
{
    std::lock_guard<std::mutex> hold(g_moduleLock);
    XrLdapTemplate asked;
    DefaultAsk(&asked);
    XrCCCredential entry = {};
    g_host.ccOpen(&kMethod);
    int result = Prompt(asked, &entry);
    g_host.ccClose(&kMethod);
    XrLdapWipe(&entry, sizeof entry);
    return result;
}

int XRPLUGIN_CALL LdapDeleteCredential(XrCCKey *key)
{
    std::lock_guard<std::mutex> hold(g_moduleLock);
    g_host.ccOpen(&kMethod);
    int result = g_host.ccDelete(&kMethod, key) == 0 ? 0 : -1;
    g_host.ccClose(&kMethod);
    return result;
}

int XRPLUGIN_CALL LdapEditCredential(XrCCKey *key)
{
    std::lock_guard<std::mutex> hold(g_moduleLock);
    XrLdapTemplate asked;
    DefaultAsk(&asked);
    g_host.ccOpen(&kMethod);
    XrCCCredential saved = {};
    int result = g_host.ccGet(&kMethod, key, &saved) == 0 ? 0 : -1;
    if (result == 0) {
        XrCCCredential entry = saved;
        entry.flags |= XRCC_BEING_EDITED;
        g_host.ccSet(&kMethod, &entry);
        if (Prompt(asked, &entry) != 0) {
            g_host.ccSet(&kMethod, &saved);
            result = -1;
        } else if (strcmp(entry.id.key.server, saved.id.key.server) != 0) {
            // Stored under the server name now entered: the old name's entry goes.
            g_host.ccDelete(&kMethod, &saved.id.key);
        }
        XrLdapWipe(&entry, sizeof entry);
    }
    g_host.ccClose(&kMethod);
    XrLdapWipe(&saved, sizeof saved);
    return result;
}
