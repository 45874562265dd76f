// The system list: programs that must never be socksified, i.e. the installed services and the
// server product's components on this machine.
#include "ClientSettings.h"

#include <ctype.h>

#include "RegistryKey.h"
#include "cfg_model.h"
#include "regnames.h"
#include "xrstr.h"

namespace {

const char *const kServerComponents[]
    = {"kestrel.exe", "osprey.exe", "merlin.exe", "harrier.exe", "falcon.exe"};

// Enumeration hands the services out in portions when they do not fit one call.
const int kMaxEnumRounds = 64;
// Each call to the service manager is a round trip to another process: buffers sized for a
// usual machine spare the calls that only learn the size needed (a larger answer is asked for
// again with the size it needs).
const DWORD kEnumBufferBytes = 64 * 1024;
const DWORD kConfigBufferBytes = 8 * 1024;

// Names of every Win32 service in any state, in the order the service manager gives them.
bool ListServices(SC_HANDLE manager, std::vector<std::string> &names)
{
    DWORD needed = kEnumBufferBytes, count = 0, resume = 0;
    for (int round = 0; round < kMaxEnumRounds; round++) {
        std::vector<char> buffer(needed);
        auto *services = reinterpret_cast<ENUM_SERVICE_STATUSA *>(buffer.data());
        BOOL done = EnumServicesStatusA(manager, SERVICE_WIN32, SERVICE_STATE_ALL, services,
                                        static_cast<DWORD>(buffer.size()), &needed, &count, &resume);
        if (!done && GetLastError() != ERROR_MORE_DATA)
            return false;
        for (DWORD i = 0; i < count; i++)
            names.push_back(services[i].lpServiceName);
        if (done)
            return true;
        needed = needed > buffer.size() ? needed : static_cast<DWORD>(buffer.size());
    }
    return false;
}

// The service's executable path (possibly empty); false when the service cannot be queried.
bool ServiceBinary(SC_HANDLE manager, const std::string &name, std::string &binary)
{
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_CONFIG);
    if (!service)
        return false;
    std::vector<char> buffer(kConfigBufferBytes);
    DWORD needed = 0;
    auto *config = reinterpret_cast<QUERY_SERVICE_CONFIGA *>(buffer.data());
    bool ok = QueryServiceConfigA(service, config, static_cast<DWORD>(buffer.size()), &needed) != FALSE;
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(needed);
        config = reinterpret_cast<QUERY_SERVICE_CONFIGA *>(buffer.data());
        ok = QueryServiceConfigA(service, config, needed, &needed) != FALSE;
    }
    if (ok)
        binary = config->lpBinaryPathName ? config->lpBinaryPathName : "";
    CloseServiceHandle(service);
    return ok;
}

// Only what the application list file can hold: a path that would not read back as it is (too
// long, or beginning with a blank) is left out rather than fail the file's write.
void AppendStorable(PathList &list, const std::string &path)
{
    XrCfgApp record = {};
    if (XrStrCopy(record.name, sizeof record.name, path.c_str()) == 0
        && XrCfgCheckRecord(XR_CFG_FORM_CLIENT, XR_CFG_KIND_SYS, &record, nullptr) == 0)
        list.push_back(path);
}

}

std::string StripServiceArguments(const char *path)
{
    std::string result;
    std::string rest = path;
    for (size_t blank; (blank = rest.find(' ')) != std::string::npos;) {
        result.append(rest, 0, blank);
        rest.erase(0, blank);
        // Blanks inside a directory name are followed by more of the path; the blank before the
        // first argument is not.
        if (rest.find('\\') == std::string::npos) {
            rest.clear();
            break;
        }
        while (!rest.empty() && isspace(static_cast<unsigned char>(rest[0]))) {
            result += ' ';
            rest.erase(0, 1);
        }
    }
    return result + rest;
}

void ClientSettings::RebuildSystemList()
{
    systemList.clear();
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    std::vector<std::string> names;
    if (manager && !ListServices(manager, names))
        names.clear();
    for (const std::string &name : names) {
        std::string binary;
        // A service that cannot be read ends the rebuild; what was found so far stays.
        if (!ServiceBinary(manager, name, binary)) {
            CloseServiceHandle(manager);
            return;
        }
        if (!binary.empty())
            AppendStorable(systemList, StripServiceArguments(binary.c_str()));
    }
    if (manager)
        CloseServiceHandle(manager);

    RegistryKey key;
    std::string directory;
    if (!key.Open(HKEY_LOCAL_MACHINE, XR_SERVER_KEY)
        || !key.ReadString(XR_VALUE_INSTALLATION_DIRECTORY, directory) || directory.empty())
        return;
    // The stored directory ends with its own backslash.
    for (const char *component : kServerComponents)
        AppendStorable(systemList, directory + component);
}
