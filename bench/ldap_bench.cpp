// LDAP plug-in figures. Everywhere: cached verdict lookups per second. On Windows, given the
// directory ("host:port" of a loopback slapd holding uid=ann,ou=people,dc=example,dc=com with
// password annpass), also: bare simple binds per second on one connection, against uncached
// authentications through the plug-in's server side, fed once by a raw peer over loopback
// sockets and once by a host whose transfer is in memory (the plug-in's own path); whole
// exchanges with the client side answering from the credential cache; and the exchange alone
// (cached verdict). Under Wine the socket exchange costs more than a bind, which the figures
// over sockets show.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "xrldap_cache.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void CacheLookups()
{
    const int keys = 1000;
    const int rounds = 2000;
    XrLdapCache *cache = XrLdapCacheCreate(600);
    std::vector<std::string> texts;
    for (int i = 0; i < keys; i++) {
        texts.push_back("uid=user" + std::to_string(i) + ",ou=people,dc=example,dc=com,secret" +
                        std::to_string(i) + ",");
        XrLdapCacheAdd(cache, (const unsigned char *)texts.back().data(),
                       (int)texts.back().size(), 0, 1000);
    }
    int verdict = 0, hits = 0;
    Clock::time_point start = Clock::now();
    for (int r = 0; r < rounds; r++)
        for (const std::string &text : texts)
            hits += XrLdapCacheLookup(cache, (const unsigned char *)text.data(), (int)text.size(),
                                      1000, &verdict) == 0;
    double elapsed = Seconds(start);
    printf("cached verdict lookups: %.0f/s (%d keys in the cache, %d hits)\n", hits / elapsed,
           keys, hits);
    XrLdapCacheDestroy(cache);
}

}  // namespace

#ifdef _WIN32
#include "ldap_harness.h"

#include <winldap.h>

#include <thread>

#include "xrcred.h"
#include "xrimpl.h"
#include "xrldap_attr.h"
#include "xrstr.h"

namespace {

const char kPassword[] = "annpass";
const int kCount = 300;
const int kRounds = 10;

// One letter case pattern per authentication: the directory takes every one as ann's DN, the
// verdict cache sees another key each time.
std::string AnnDn(int variant)
{
    std::string dn = "uid=ann,ou=people,dc=example,dc=com";
    int bit = 0;
    for (char &c : dn)
        if (c >= 'a' && c <= 'z' && (variant >> bit++ & 1))
            c = (char)(c - 'a' + 'A');
    return dn;
}

double BareBinds(const std::string &directory)
{
    LDAP *ld = ldap_initA((PCHAR)directory.c_str(), 389);
    ULONG version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    l_timeval timeout = {10, 0};
    int ok = 0;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < kCount; i++) {
        std::string dn = AnnDn(i);
        ULONG id = ldap_simple_bindA(ld, (PCHAR)dn.c_str(), (PCHAR)kPassword);
        LDAPMessage *result = nullptr;
        if (ldap_result(ld, id, LDAP_MSG_ALL, &timeout, &result) > 0 && result)
            ok += ldap_result2error(ld, result, 1) == LDAP_SUCCESS;
    }
    double rate = ok / Seconds(start);
    ldap_unbind(ld);
    return rate;
}

// The client's answer on the wire: the DN and the password, as the server side asks by default.
std::string Answer(const std::string &dn)
{
    XrLdapTemplate answer;
    std::string text = "dn=\"" + dn + "\",password=\"" + kPassword + "\"";
    XrLdapParseTemplate(text.c_str(), &answer);
    unsigned char message[XR_LDAP_MESSAGE_MAX];
    int length = XrLdapEncode(&answer, message, sizeof message);
    return std::string((const char *)message, length);
}

// The client's part spoken raw and ahead of time: the answer goes out before the request is
// read, so that the server side never waits for its peer and the figure is its own cost.
bool RawPeer(XrConnection *connection, const std::string &dn)
{
    std::string message = Answer(dn);
    int length = (int)message.size();
    char request[16], verdict[2];
    SOCKET s = connection->socket;
    return XrIOSend(s, connection, &message[0], length, 0, 7, nullptr) == length &&
           XrIORecv(s, connection, request, sizeof request, 0, 7, nullptr) == sizeof request &&
           XrIORecv(s, connection, verdict, 2, 0, 7, nullptr) == 2 && verdict[1] == 0;
}

// Authentications per second, all on one connection as the engine would hand over (its set-up
// is not the plug-in's cost); each with other credentials (uncached) from firstVariant on, or
// all with those of firstVariant when cached. fullExchange: the client side is the plug-in's
// own, answering from the credential cache, else a raw peer.
double PluginAuthentications(LdapPlugin &plugin, int firstVariant, bool cached, bool fullExchange)
{
    const XrCCMethod method = {XRCC_METHOD_LDAP};
    LdapSocketPair pair;
    XrConnection clientSide = {}, serverSide = {};
    clientSide.socket = pair.client;
    clientSide.serverAddress.s_addr = inet_addr("127.0.0.1");
    serverSide.socket = pair.server;
    int clientOk = 0;
    std::thread peer([&] {
        for (int i = 0; i < kCount; i++) {
            std::string dn = AnnDn(cached ? firstVariant : firstVariant + i);
            if (fullExchange) {
                XrCCCredential entry = {};
                XrStrCopy(entry.id.key.server, sizeof entry.id.key.server, "127.0.0.1");
                std::string text = "dn=\"" + dn + "\",password=\"" + kPassword + "\"";
                XrStrCopy(entry.text, sizeof entry.text, text.c_str());
                XrCCSet(&method, &entry);
                XrPlugInExchange exchange = {&clientSide, 0};
                clientOk += plugin.ops.clientAuth(nullptr, 17, &exchange) == 0;
            } else {
                clientOk += RawPeer(&clientSide, dn);
            }
        }
    });
    int ok = 0;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < kCount; i++)
        ok += plugin.ops.serverAuth(nullptr, 17, &serverSide) == 0;
    double elapsed = Seconds(start);
    peer.join();
    return (ok < clientOk ? ok : clientOk) / elapsed;
}

// The transfer services of a host without sockets: receiving reads the client's prepared
// answer, sending keeps the server side's bytes, so that an authentication costs the
// plug-in's own work and the directory, not a loopback exchange through Winsock.
struct MemoryPeer {
    const std::string *answer;
    size_t read;
    char sent[XR_LDAP_MESSAGE_MAX];
};

int XRPLUGIN_CALL MemorySend(uintptr_t, XrConnection *, char *buffer, int length, int, int,
                             void *context)
{
    MemoryPeer *peer = (MemoryPeer *)context;
    int moved = std::min(length, (int)sizeof peer->sent);
    memcpy(peer->sent, buffer, moved);
    return moved;
}

int XRPLUGIN_CALL MemoryRecv(uintptr_t, XrConnection *, char *buffer, int length, int, int,
                             void *context)
{
    MemoryPeer *peer = (MemoryPeer *)context;
    int moved = std::min(length, (int)(peer->answer->size() - peer->read));
    memcpy(buffer, peer->answer->data() + peer->read, moved);
    peer->read += moved;
    return moved;
}

// The engine would not write the module's detail lines at its usual level.
void XRPLUGIN_CALL DropLog(XrLog *, int32_t, int32_t, const char *, ...) {}

// Every service the module asks for at initialization; the server side uses the first three.
void *XRPLUGIN_CALL MemoryLookup(int32_t service)
{
    switch (service) {
    case XR_SVC_LOG_WRITE: return (void *)&DropLog;
    case XR_SVC_SEND: return (void *)&MemorySend;
    case XR_SVC_RECV: return (void *)&MemoryRecv;
    default: return LdapCacheService(service);
    }
}

// The module again, now with the host whose transfer is in memory. The library keeps one host,
// the last one given to its initialization, so this comes after the measurements over sockets.
bool UseMemoryHost(XrPlugInOperations *ops)
{
    HMODULE library = GetModuleHandleA(LdapPlugin::LibraryPath().c_str());
    auto ident = (XrPlugInIdentFn)(void *)GetProcAddress(library, XR_PLUGIN_IDENT_EXPORT);
    XrPlugInHost host = {XR_PLUGIN_CODE_LDAP, MemoryLookup};
    return ident && ident()->modules[0].init(nullptr, &host, ops) == 0;
}

// Uncached authentications per second through the memory host's module, each with other
// credentials from firstVariant on.
double InMemoryAuthentications(const XrPlugInOperations &ops, int firstVariant)
{
    std::vector<std::string> answers;
    for (int i = 0; i < kCount; i++)
        answers.push_back(Answer(AnnDn(firstVariant + i)));
    MemoryPeer peer = {};
    XrConnection connection = {};
    int ok = 0;
    Clock::time_point start = Clock::now();
    for (const std::string &answer : answers) {
        peer.answer = &answer;
        peer.read = 0;
        ok += ops.serverAuth(&peer, 17, &connection) == 0;
    }
    return ok / Seconds(start);
}

void DirectoryFigures(const std::string &directory)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    XrCC_Init(1, HKEY_CURRENT_USER, "Software\\Varo\\LDAP plug-in bench", nullptr);
    const XrCCMethod method = {XRCC_METHOD_LDAP};
    XrCCOpen(&method);
    LdapPlugin plugin;
    if (!plugin.Load() || !plugin.Configure({{"LDAP_SERVER", directory}, {"TIMEOUT", "10"}})) {
        printf("xrldap.dll could not be loaded and configured\n");
        return;
    }
    double server = PluginAuthentications(plugin, kCount, false, false);
    double whole = PluginAuthentications(plugin, 2 * kCount, false, true);
    double cached = PluginAuthentications(plugin, 3 * kCount, true, false);
    // The two figures the plug-in is judged by: the best of alternating rounds, as other work
    // on the machine slows some of them.
    XrPlugInOperations memoryOps;
    if (!UseMemoryHost(&memoryOps)) {
        printf("xrldap.dll refused the host with the transfer in memory\n");
        return;
    }
    double bare = 0, memory = 0;
    for (int round = 0; round < kRounds; round++) {
        bare = std::max(bare, BareBinds(directory));
        memory = std::max(memory, InMemoryAuthentications(memoryOps, (4 + round) * kCount));
    }
    printf("bare simple binds, one connection:                  %.0f/s\n", bare);
    printf("plug-in server side, uncached:                      %.0f/s, %.2f of bare binds "
           "(peer ahead)\n",
           server, server / bare);
    printf("plug-in server side, uncached, in-memory transport: %.0f/s, %.2f of bare binds\n",
           memory, memory / bare);
    printf("plug-in both sides, credential cache:               %.0f/s, %.2f of bare binds "
           "(3 hand-offs more)\n",
           whole, whole / bare);
    printf("plug-in server side, cached verdict:                %.0f/s (the exchange without "
           "the directory)\n",
           cached);
    plugin.ops.cleanup(XR_PLUGIN_SERVER);
    XrCCClose(&method);
}

}  // namespace
#endif

int main(int argc, char **argv)
{
    CacheLookups();
#ifdef _WIN32
    if (argc > 1)
        DirectoryFigures(argv[1]);
#else
    (void)argc;
    (void)argv;
#endif
    return 0;
}
