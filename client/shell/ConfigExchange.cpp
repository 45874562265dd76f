#include "ConfigExchange.h"

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <memory>
#include <string>

#include "RegistryKey.h"
#include "Seams.h"
#include "SettingsFile.h"
#include "nt/nt_log.h"
#include "regnames.h"
#include "xrimpl.h"
#include "xrstr.h"

namespace {

const char kTitle[] = "Ferrowin Client";
const char kNotInstalled[] = "The program was not installed correctly.";
const char kCannotOpenImport[] = "Could not open import file.";
const char kNotImportFile[] = "Either the file does not exist or the file is not a valid import file.";
const char kCannotCreateExport[] = "Could not create export file.";
const char kExportPathCause[] = "Invalid path or the file is read only.";
const char kNoWebFile[] = "The URL was not found.";
const char kBadServerCause[] = "The URL is incorrect or the server was not configured correctly.";

// The switches carried by position; the order is part of the file format.
const char *const kSwitches[] = {XR_VALUE_ENABLE_DNS_PROXY,      XR_VALUE_ENABLE_NETMASK_CHECK,
                                 XR_VALUE_SUPPORT_MULTIPLE_SERVER, XR_VALUE_USE_AUTHENTICATION,
                                 XR_VALUE_SOCKSIFY_ALL,           XR_VALUE_PROXY_METHOD,
                                 XR_VALUE_ALLOW_SAVE_CREDENTIAL};
const int kSwitchCount = sizeof kSwitches / sizeof kSwitches[0];
const int kDnsModePosition = 0;
const DWORD kHighestDnsMode = 2;

const int32_t kListKinds[] = {XR_CFG_KIND_YES, XR_CFG_KIND_NO, XR_CFG_KIND_SYS};

// A configuration larger than this is no configuration; neither is a server that keeps silent.
const size_t kMaxResponseBytes = 4 * 1024 * 1024;
const DWORD kInternetTimeoutMs = 10000;
// ERROR_INTERNET_SECURE_FAILURE, which not every header set names.
const DWORD kSecureFailure = INTERNET_ERROR_BASE + 175;

void Error(const char *what, const char *cause)
{
    g_shellSeams.errorDialog(kTitle, what, cause);
}

bool Fail(const char *what, const char *cause)
{
    Error(what, cause);
    return false;
}

// Everything an exchange file carries, read and checked before any of it is taken over.
struct Exchange {
    bool hasList[3] = {};
    PathList lists[3];
    std::vector<RouteEntry> servers;
    std::string localDns;
    std::string remoteDns;
    bool hasSwitch[kSwitchCount] = {};
    DWORD switches[kSwitchCount] = {};
};

struct CfgCloser {
    void operator()(XrCfg *cfg) const { XrCfgClose(cfg); }
};
typedef std::unique_ptr<XrCfg, CfgCloser> CfgHandle;

// A switch is 0 or 1, the DNS mode 0 to 2, written as a plain decimal number.
bool ParseSwitch(int position, const char *text, DWORD &value)
{
    if (!*text || strlen(text) > 1 || *text < '0' || *text > '9')
        return false;
    value = static_cast<DWORD>(*text - '0');
    return value <= (position == kDnsModePosition ? kHighestDnsMode : 1);
}

std::string Invalid(const std::string &what)
{
    return "The file is not a valid import file: " + what + ".";
}

bool ReadLists(XrCfg *cfg, Exchange &exchange, std::string &problem)
{
    for (int i = 0; i < 3; i++) {
        exchange.hasList[i] = XrCfgCount(cfg, kListKinds[i]) > 0;
        XrSettingsEachRecord<XrCfgApp>(cfg, kListKinds[i], [&](const XrCfgApp &record) {
            std::string path = record.name;
            if (path.empty() || path.size() > XR_SETTINGS_MAX_PATH)
                problem = Invalid("the application path \"" + path + "\" cannot be stored");
            exchange.lists[i].push_back(path);
        });
    }
    return problem.empty();
}

bool ReadServers(XrCfg *cfg, Exchange &exchange, std::string &problem)
{
    // Every route must survive the way back into the configuration file.
    XrCfg *scratch = nullptr;
    if (XrCfgOpen(nullptr, XR_CFG_FORM_CLIENT, XR_CFG_SECTION_PROXY, &scratch) != 0) {
        problem = "Out of memory.";
        return false;
    }
    CfgHandle scratchHandle(scratch);
    XrSettingsEachRecord<XrCfgProxy>(cfg, XR_CFG_KIND_PROXY, [&](const XrCfgProxy &record) {
        RouteEntry route = RouteEntry::FromRecord(record);
        XrCfgProxy rebuilt;
        bool writable = route.BuildRecord(&rebuilt) == 0;
        if (writable) {
            writable = XrCfgAppend(scratch, XR_CFG_KIND_PROXY, &rebuilt) == 0;
            XrCfgFreeRecord(XR_CFG_KIND_PROXY, &rebuilt);
        }
        if (!writable)
            problem = Invalid("the route to \"" + route.destination + "\" cannot be stored");
        exchange.servers.push_back(route);
    });
    return problem.empty();
}

void ReadDomains(XrCfg *cfg, int32_t kind, std::string &domains)
{
    XrSettingsEachRecord<XrCfgDns>(cfg, kind, [&](const XrCfgDns &record) {
        for (int32_t i = 0; i < record.domainCount; i++)
            domains += std::string(record.domainList[i]) + " ";
    });
}

bool ReadSwitches(XrCfg *cfg, Exchange &exchange, std::string &problem)
{
    // Looking a name up would enter it: the entries present are listed instead.
    std::map<std::string, std::string> entries;
    XrSettingsEachRecord<XrCfgVariable>(cfg, XR_CFG_KIND_SET, [&entries](const XrCfgVariable &variable) {
        entries[variable.name] = variable.value;
    });
    for (int position = 0; position < kSwitchCount; position++) {
        auto entry = entries.find(std::to_string(position));
        if (entry == entries.end())
            continue;
        exchange.hasSwitch[position] = true;
        if (!ParseSwitch(position, entry->second.c_str(), exchange.switches[position])) {
            problem = Invalid("setting " + entry->first + " has the value \"" + entry->second + "\"");
            return false;
        }
    }
    return true;
}

// Opens the file as the engine's configuration file would be, and reads what the installation
// has paths for.
bool ReadExchange(const char *path, bool withLists, bool withConfiguration, Exchange &exchange)
{
    XrCfg *cfg = nullptr;
    if (XrCfgOpen(path, XR_CFG_FORM_CLIENT, 0, &cfg) != 0)
        return Fail(kCannotOpenImport, kNotImportFile);
    CfgHandle handle(cfg);
    std::string problem;
    // The reader passes over lines it does not know: a page of anything else reads as empty.
    int32_t entries = 0;
    for (int32_t kind : {XR_CFG_KIND_SET, XR_CFG_KIND_PROXY, XR_CFG_KIND_LOCALDNS, XR_CFG_KIND_REMOTEDNS,
                         XR_CFG_KIND_YES, XR_CFG_KIND_NO, XR_CFG_KIND_SYS})
        entries += XrCfgCount(cfg, kind) > 0 ? XrCfgCount(cfg, kind) : 0;
    if (entries == 0)
        return Fail(kCannotOpenImport, Invalid("it holds no settings").c_str());
    bool valid = (!withLists || ReadLists(cfg, exchange, problem))
                 && (!withConfiguration || ReadServers(cfg, exchange, problem))
                 && (!withConfiguration || ReadSwitches(cfg, exchange, problem));
    if (!valid)
        return Fail(kCannotOpenImport, problem.c_str());
    if (withConfiguration) {
        ReadDomains(cfg, XR_CFG_KIND_LOCALDNS, exchange.localDns);
        ReadDomains(cfg, XR_CFG_KIND_REMOTEDNS, exchange.remoteDns);
    }
    return true;
}

bool CanOpenOrCreate(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool WriteSwitches(const Exchange &exchange, ClientSettings &settings)
{
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
        return Fail("Could not read settings from registry.", kNotInstalled);
    for (int position = 0; position < kSwitchCount; position++) {
        if (!exchange.hasSwitch[position])
            continue;
        // The DNS mode goes with the DNS domains.
        if (position == kDnsModePosition)
            settings.dnsMode = exchange.switches[position];
        else if (!key.WriteNumber(kSwitches[position], exchange.switches[position]))
            return Fail("Could not save settings to registry.", kNotInstalled);
    }
    return true;
}

// The engine reads the files, not this process: what was taken over is stored now.
bool StoreImported(ClientSettings &settings, bool lists, bool configuration)
{
    bool stored = (!lists || settings.SaveApplicationLists(settings.applicationFile.c_str()) == 0)
                  && (!configuration || settings.SaveServers(settings.configFile.c_str()) == 0)
                  && (!configuration || settings.SaveDns() == 0);
    if (lists)
        settings.applicationsChanged = 0;
    if (configuration)
        settings.serversChanged = settings.dnsChanged = 0;
    if (!stored)
        return Fail("Could not save the imported configuration.",
                    "Either a settings file is read only or its path is invalid.");
    return true;
}

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
    ~InternetHandle()
    {
        if (handle_)
            InternetCloseHandle(handle_);
    }
    InternetHandle(const InternetHandle &) = delete;
    InternetHandle &operator=(const InternetHandle &) = delete;
    HINTERNET get() const { return handle_; }

private:
    HINTERNET handle_;
};

void CALLBACK StatusCallback(HINTERNET, DWORD_PTR, DWORD status, LPVOID, DWORD)
{
    XrLogWrite(nullptr, XR_LOG_DETAIL, 0, "Import: internet status %lu", static_cast<unsigned long>(status));
}

// Brackets the import's own traffic: the engine must not redirect it.
class SocksifyOff {
public:
    SocksifyOff() { WSPSetSocksify(0); }
    ~SocksifyOff() { WSPSetSocksify(1); }
    SocksifyOff(const SocksifyOff &) = delete;
    SocksifyOff &operator=(const SocksifyOff &) = delete;
};

bool InternetFailed()
{
    DWORD error = GetLastError();
    char cause[96];
    switch (error) {
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case kSecureFailure:
        snprintf(cause, sizeof cause, "The web server's certificate is not trusted. Error: ( %lu ) ",
                 static_cast<unsigned long>(error));
        break;
    default:
        snprintf(cause, sizeof cause, "Error: ( %lu ) ", static_cast<unsigned long>(error));
        break;
    }
    return Fail("Could not find configuration file on web server.", cause);
}

// The response body into a new temporary file; its path in tempPath.
bool SaveBody(HINTERNET request, std::string &tempPath)
{
    char directory[MAX_PATH] = "", path[MAX_PATH] = "";
    if (!GetTempPathA(sizeof directory, directory) || !GetTempFileNameA(directory, "QVC", 0, path))
        return InternetFailed();
    tempPath = path;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return InternetFailed();
    size_t total = 0;
    bool ok = true;
    for (;;) {
        char buffer[8192];
        DWORD got = 0;
        if (!InternetReadFile(request, buffer, sizeof buffer, &got)) {
            ok = InternetFailed();
            break;
        }
        if (got == 0)
            break;
        total += got;
        if (total > kMaxResponseBytes) {
            ok = Fail("Could not find configuration file on web server.",
                      "The file on the web server is too large to be a configuration.");
            break;
        }
        DWORD written = 0;
        if (!WriteFile(file, buffer, got, &written, nullptr) || written != got) {
            ok = InternetFailed();
            break;
        }
    }
    CloseHandle(file);
    return ok;
}

// Set on the request too: a request does not take every time-out over from its session.
void SetTimeouts(HINTERNET handle)
{
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD milliseconds = kInternetTimeoutMs;
        InternetSetOptionA(handle, option, &milliseconds, sizeof milliseconds);
    }
}

bool Fetch(ClientSettings &settings, const char *url, bool statusMessages)
{
    InternetHandle session(
        InternetOpenA("QVClient Import URL", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session.get())
        return InternetFailed();

    char host[INTERNET_MAX_HOST_NAME_LENGTH] = "", object[INTERNET_MAX_URL_LENGTH] = "";
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = object;
    parts.dwUrlPathLength = sizeof object;
    if (!InternetCrackUrlA(url, 0, 0, &parts)
        || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || !*host)
        return Fail("Could not connect to the web server.",
                    "Invalid URL, URL does not beginning with http://.");
    if (statusMessages)
        InternetSetStatusCallbackA(session.get(), StatusCallback);
    SetTimeouts(session.get());

    InternetHandle connection(InternetConnectA(session.get(), host, parts.nPort, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection.get())
        return InternetFailed();
    DWORD flags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_RELOAD
                  | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS)
        flags |= INTERNET_FLAG_SECURE;
    InternetHandle request(HttpOpenRequestA(connection.get(), "GET", *object ? object : "/", nullptr, nullptr,
                                            nullptr, flags, 1));
    if (!request.get())
        return InternetFailed();
    SetTimeouts(request.get());
    const char headers[] = "Accept: text/*\r\nUser-Agent: QVClient\r\n";
    HttpAddRequestHeadersA(request.get(), headers, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0))
        return InternetFailed();

    DWORD status = 0, size = sizeof status;
    DWORD query = HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER;
    if (!HttpQueryInfoA(request.get(), query, &status, &size, nullptr))
        return InternetFailed();
    // A server that closed the connection without a status line.
    if (status == 0) {
        SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
        return InternetFailed();
    }
    if (status == HTTP_STATUS_DENIED || status == HTTP_STATUS_FORBIDDEN)
        return Fail("Access denied by web server.", kBadServerCause);
    if (status == HTTP_STATUS_NOT_FOUND)
        return Fail(kNoWebFile, kBadServerCause);
    if (status != HTTP_STATUS_OK) {
        char cause[64];
        snprintf(cause, sizeof cause, "Server returned status code: %lu.", static_cast<unsigned long>(status));
        return Fail(kNoWebFile, cause);
    }
    std::string tempPath;
    bool imported = SaveBody(request.get(), tempPath) && ImportFromFile(settings, tempPath.c_str());
    if (!tempPath.empty())
        DeleteFileA(tempPath.c_str());
    return imported;
}

bool AddEntry(XrCfg *cfg, int32_t kind, void *record)
{
    if (XrCfgAppend(cfg, kind, record) == 0)
        return true;
    g_shellSeams.messageBox(GetActiveWindow(), "Save Failed!(InfoAdd)", kTitle, MB_OK | MB_ICONERROR);
    return false;
}

void ExportLists(XrCfg *cfg, const ClientSettings &settings)
{
    const PathList *lists[] = {&settings.includeList, &settings.excludeList, &settings.systemList};
    for (int i = 0; i < 3; i++)
        for (const std::string &path : *lists[i]) {
            XrCfgApp record = {};
            XrStrCopy(record.name, sizeof record.name, path.c_str());
            if (!AddEntry(cfg, kListKinds[i], &record))
                return;
        }
}

void ExportDomains(XrCfg *cfg, int32_t kind, const std::string &domains)
{
    size_t start = 0;
    while ((start = domains.find_first_not_of(' ', start)) != std::string::npos) {
        size_t end = domains.find(' ', start);
        std::string name = domains.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end;
        XrCfgText256 item = {};
        XrStrCopy(item, sizeof item, name.c_str());
        XrCfgDns record = {};
        record.domainList = &item;
        record.domainCount = 1;
        if (!AddEntry(cfg, kind, &record))
            return;
    }
}

void ExportConfiguration(XrCfg *cfg, const ClientSettings &settings)
{
    for (const RouteEntry &route : settings.servers) {
        XrCfgProxy record;
        bool added = route.BuildRecord(&record) == 0 && AddEntry(cfg, XR_CFG_KIND_PROXY, &record);
        XrCfgFreeRecord(XR_CFG_KIND_PROXY, &record);
        if (!added)
            return;
    }
    ExportDomains(cfg, XR_CFG_KIND_LOCALDNS, settings.localDns);
    ExportDomains(cfg, XR_CFG_KIND_REMOTEDNS, settings.remoteDns);
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY)) {
        g_shellSeams.errorDialog("", "Could not read settings from registry.", kNotInstalled);
        return;
    }
    for (int position = 0; position < kSwitchCount; position++) {
        DWORD value = 0;
        if (!key.ReadNumber(kSwitches[position], value))
            continue;
        if (position == kDnsModePosition)
            value = settings.dnsMode;
        XrCfgVariable variable = {};
        snprintf(variable.name, sizeof variable.name, "%d", position);
        snprintf(variable.value, sizeof variable.value, "%d", static_cast<int>(value));
        if (!AddEntry(cfg, XR_CFG_KIND_SET, &variable))
            return;
    }
}

// Opens a settings file only to see that it is one.
bool Readable(const std::string &path)
{
    XrCfg *cfg = nullptr;
    if (XrCfgOpen(path.c_str(), XR_CFG_FORM_CLIENT, 0, &cfg) != 0)
        return false;
    XrCfgClose(cfg);
    return true;
}

}

bool ImportFromFile(ClientSettings &settings, const char *path)
{
    if (!path || !*path)
        return false;
    std::string applicationFile, configFile;
    {
        RegistryKey key;
        if (!key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY))
            return Fail("Could not retrieve path to application list file.", kNotInstalled);
        key.ReadString(XR_VALUE_APPLICATION_FILE, applicationFile);
        key.ReadString(XR_VALUE_CLIENT_LIBRARY_FILE, configFile);
    }
    Exchange exchange;
    if (!ReadExchange(path, !applicationFile.empty(), !configFile.empty(), exchange))
        return false;
    if (!applicationFile.empty() && !CanOpenOrCreate(applicationFile))
        return Fail("Could not open or create the application list file.",
                    "Either the path is invalid or the file is read only.");
    if (!WriteSwitches(exchange, settings))
        return false;

    settings.applicationFile = applicationFile;
    settings.configFile = configFile;
    PathList *lists[] = {&settings.includeList, &settings.excludeList, &settings.systemList};
    for (int i = 0; i < 3; i++)
        if (exchange.hasList[i])
            lists[i]->swap(exchange.lists[i]);
    if (!configFile.empty()) {
        settings.servers.swap(exchange.servers);
        settings.localDns = exchange.localDns;
        settings.remoteDns = exchange.remoteDns;
    }
    return StoreImported(settings, !applicationFile.empty(), !configFile.empty());
}

bool ImportFromUrl(ClientSettings &settings, const char *url, bool statusMessages)
{
    SocksifyOff off;
    return Fetch(settings, url, statusMessages);
}

bool ImportUrlWithPrefix(ClientSettings &settings, const char *text)
{
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    std::string url = text;
    // A text that names its scheme keeps it; one that is not http fails as an invalid URL.
    size_t schemeEnd = url.find_first_of(":/\\");
    const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    bool hasScheme = schemeEnd != std::string::npos && schemeEnd > 0 && url.compare(schemeEnd, 3, "://") == 0
                     && url.find_first_not_of(letters) == schemeEnd;
    std::string start = url.substr(0, 7);
    for (char &c : start)
        c = XrStrLower(c);
    if (!hasScheme && start != "http:\\\\")
        url = "http://" + url;
    bool imported = ImportFromUrl(settings, url.c_str(), true);
    SetCursor(previous);
    return imported;
}

bool ExportToFile(ClientSettings &settings, const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(kCannotCreateExport, kExportPathCause);
    CloseHandle(file);
    XrCfg *cfg = nullptr;
    if (XrCfgOpen(path, XR_CFG_FORM_CLIENT, 0, &cfg) != 0)
        return Fail(kCannotCreateExport, kExportPathCause);
    CfgHandle handle(cfg);

    std::string applicationFile, configFile;
    RegistryKey key;
    bool opened = key.Open(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY) != nullptr;
    if (!opened || !key.ReadString(XR_VALUE_APPLICATION_FILE, applicationFile))
        return Fail("Could not get path for application list file.", kNotInstalled);
    if (!key.ReadString(XR_VALUE_CLIENT_LIBRARY_FILE, configFile))
        return Fail("Could not get path for configuration file.", kNotInstalled);
    key.Close();

    if (!Readable(applicationFile))
        return Fail("Could not open application list file.",
                    "Either the file does not exist or the file is not a valid application list file.");
    ExportLists(cfg, settings);
    if (!Readable(configFile))
        return Fail("Could not open configuration file.",
                    "Either the file does not exist or the file is not a valid configuration file.");
    ExportConfiguration(cfg, settings);
    if (XrCfgSave(path, 0, cfg) != 0)
        return Fail("Could not save to export file.",
                    "Either the file does not exist or the file is read only.");
    return true;
}
