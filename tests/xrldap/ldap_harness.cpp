#include "ldap_harness.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <mutex>

#include "nt/nt_log.h"
#include "xrcred.h"
#include "xrimpl.h"
#include "xrstr.h"

namespace {

std::mutex g_logLock;
std::vector<std::string> g_log;

void __cdecl HostLog(XrLog *, int32_t, int32_t code, const char *format, ...)
{
    char line[2048];
    if (code == XR_LOG_PLAIN) {
        XrStrCopy(line, sizeof line, format);
    } else {
        va_list args;
        va_start(args, format);
        vsnprintf(line, sizeof line, format, args);
        va_end(args);
    }
    std::lock_guard<std::mutex> hold(g_logLock);
    g_log.push_back(line);
}

void *__cdecl Lookup(int32_t service)
{
    switch (service) {
    case XR_SVC_LOG_WRITE: return (void *)&HostLog;
    case XR_SVC_SEND: return (void *)&XrIOSend;
    case XR_SVC_RECV: return (void *)&XrIORecv;
    default: return LdapCacheService(service);
    }
}

const char *__cdecl GetOption(const XrPlugInModule *module, const char *name)
{
    for (int i = 0; module && i < module->optionCount; i++)
        if (_stricmp(module->options[i].name, name) == 0)
            return module->options[i].value;
    return nullptr;
}

}  // namespace

void *__cdecl LdapCacheService(int32_t service)
{
    switch (service) {
    case XR_SVC_CC_OPEN: return (void *)&XrCCOpen;
    case XR_SVC_CC_DIALOG: return (void *)&XrCCDialog;
    case XR_SVC_CC_GET: return (void *)&XrCCGet;
    case XR_SVC_CC_SET: return (void *)&XrCCSet;
    case XR_SVC_CC_DELETE: return (void *)&XrCCDelete;
    case XR_SVC_CC_CLOSE: return (void *)&XrCCClose;
    case XR_SVC_CC_DIALOG2: return (void *)&XrCCDialog2;
    default: return nullptr;
    }
}

std::string LdapPlugin::LibraryPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *strrchr(path, '\\') = '\0';
    return std::string(path) + "\\xrldap.dll";
}

bool LdapPlugin::Load()
{
    HMODULE library = LoadLibraryA(LibraryPath().c_str());
    auto ident = library ? (XrPlugInIdentFn)(void *)GetProcAddress(library, XR_PLUGIN_IDENT_EXPORT)
                         : nullptr;
    XrPlugInIdentRecord *record = ident ? ident() : nullptr;
    if (!record || record->moduleCount != 1)
        return false;
    XrPlugInHost host = {XR_PLUGIN_CODE_LDAP, Lookup};
    return record->modules[0].init(nullptr, &host, &ops) == 0;
}

bool LdapPlugin::Configure(const LdapOptions &values)
{
    options.clear();
    for (const auto &value : values) {
        XrPlugInOption made = {XR_PLUGIN_BOTH | XR_PLUGIN_OPTION_VALUE, "", ""};
        XrStrCopy(made.name, sizeof made.name, value.first.c_str());
        XrStrCopy(made.value, sizeof made.value, value.second.c_str());
        options.push_back(made);
    }
    module = {};
    module.enabled = 1;
    module.optionCount = (int32_t)options.size();
    module.options = options.data();
    XrPlugInOptionAccess access = {&module, GetOption};
    void *sideData = nullptr;
    return ops.sideInit(&access, XR_PLUGIN_SERVER, &sideData) == 0 &&
           ops.sideInit(&access, XR_PLUGIN_CLIENT, &sideData) == 0;
}

void LdapLogClear()
{
    std::lock_guard<std::mutex> hold(g_logLock);
    g_log.clear();
}

int LdapLogCount(const std::string &line)
{
    std::lock_guard<std::mutex> hold(g_logLock);
    int count = 0;
    for (const std::string &entry : g_log)
        count += entry == line;
    return count;
}

std::vector<std::string> LdapLogLines()
{
    std::lock_guard<std::mutex> hold(g_logLock);
    return g_log;
}

LdapSocketPair::LdapSocketPair()
{
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    bind(listener, (sockaddr *)&address, sizeof address);
    listen(listener, 1);
    getsockname(listener, (sockaddr *)&address, &size);
    client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    connect(client, (sockaddr *)&address, sizeof address);
    server = accept(listener, nullptr, nullptr);
    closesocket(listener);
    // Back-to-back exchanges on one pair would otherwise wait for delayed acknowledgements.
    BOOL noDelay = TRUE;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, (const char *)&noDelay, sizeof noDelay);
    setsockopt(server, IPPROTO_TCP, TCP_NODELAY, (const char *)&noDelay, sizeof noDelay);
}

LdapSocketPair::~LdapSocketPair()
{
    closesocket(client);
    closesocket(server);
}
