/* The installer's helper: the package runs it from the installation folder, after the files and
 * the folder's registry values are in place and, at removal, before the files go.
 *
 *   xrsetup install WIZARD LATER [URL]
 *       WIZARD "1" or "0": the setup wizard runs at the first start; empty: it runs unless a URL
 *       is given. LATER not empty: an upgrade or a repair, not a first installation. URL: the
 *       configuration to take over at every logon.
 *   xrsetup remove UPGRADECODE PRODUCTCODE
 *       the removal of this product (PRODUCTCODE); an upgrade when another version of the
 *       product (UPGRADECODE) is registered already.
 *
 * What it owns is what must outlive an upgrade: the settings files, the settings of the client
 * key, the logon entries and the plug-in record. So it only adds what is missing, and takes
 * everything away only at a real removal. Exit code 0 on success, 1 on failure. */
#include <windows.h>
#include <msi.h>

#include <string.h>

#include <string>

#include "nt/regutil.h"
#include "regnames.h"
#include "xrplugin_host.h"
#include "xrstr.h"

namespace {

const char kSettingsFiles[][16] = {"client.cfg", "apps.cfg"};
const char kPlugInLibrary[] = "xrldap.dll";
const char kProgram[] = "client.exe";
const char kCredentialManagerClass[] = "xrcredmgr";
const DWORD kStopWaitMs = 10000;

/* Every number of the client key that the program and its pages read: present from the start,
 * at the value a missing one reads as. */
const char *const kNumbers[] = {
    XR_VALUE_SETUP_IN_PROGRESS, XR_VALUE_START_AS_WIZARD, XR_VALUE_WIZARD_LAST_USED_IMPORT,
    XR_VALUE_PROXY_METHOD, XR_VALUE_SUPPORT_MULTIPLE_SERVER, XR_VALUE_USE_AUTHENTICATION,
    XR_VALUE_SHOW_ICON_ON_TASKBAR, XR_VALUE_ENABLE_PROXY, XR_VALUE_ENABLE_CONFIGURATION_FILE,
    XR_VALUE_SOCKSIFY_ALL, XR_VALUE_ALLOW_SAVE_CREDENTIAL, XR_VALUE_ENABLE_DNS_PROXY,
    XR_VALUE_ENABLE_NETMASK_CHECK, XR_VALUE_ENABLE_LOG_TO_FILE};

/* This program's folder with its trailing backslash, as the package wrote it for the client. */
bool InstallFolder(char (&folder)[MAX_PATH])
{
    DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    char *slash = strrchr(folder, '\\');
    if (!slash)
        return false;
    slash[1] = '\0';
    return true;
}

/* folder followed by name; false when it would not fit. */
bool InFolder(const char *folder, const char *name, char (&path)[MAX_PATH])
{
    return XrStrCopy(path, sizeof path, folder) == 0 && strlen(path) + strlen(name) < sizeof path
           && XrStrCopy(path + strlen(path), sizeof path - strlen(path), name) == 0;
}

bool ValueExists(const char *key, const char *name)
{
    char *data = nullptr;
    if (XrRegRead(HKEY_LOCAL_MACHINE, key, name, nullptr, &data, nullptr, nullptr) != 0)
        return false;
    XrRegRelease(nullptr, data);
    return true;
}

bool WriteNumber(const char *name, DWORD value)
{
    HKEY key = nullptr;
    int result = XrRegWrite(&key, HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, name, REG_DWORD, &value, sizeof value, nullptr);
    XrRegRelease(&key, nullptr);
    return result == 0;
}

bool WriteString(const char *path, const char *name, const char *text)
{
    HKEY key = nullptr;
    int result = XrRegWrite(&key, HKEY_LOCAL_MACHINE, path, name, REG_SZ, text,
                            static_cast<DWORD>(strlen(text) + 1), nullptr);
    XrRegRelease(&key, nullptr);
    return result == 0;
}

void DeleteValue(const char *path, const char *name)
{
    HKEY key = nullptr;
    if (XrRegOpenKey(&key, HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE, nullptr) == ERROR_SUCCESS)
        RegDeleteValueA(key, name);
    XrRegRelease(&key, nullptr);
}

/* The logon entry's command line: client.exe of folder, quoted when the path has blanks, and
 * the word when there is one. */
bool WriteLogonEntry(const char *runKey, const char *folder, const char *word)
{
    char program[MAX_PATH];
    if (!InFolder(folder, kProgram, program))
        return false;
    std::string command = program;
    if (command.find(' ') != std::string::npos)
        command = "\"" + command + "\"";
    return WriteString(runKey, XR_VALUE_STARTUP, (command + word).c_str());
}

/* Empty settings files where there are none; a file the user has already is kept. */
bool CreateSettingsFiles(const char *folder)
{
    for (const char *name : kSettingsFiles) {
        char path[MAX_PATH];
        if (!InFolder(folder, name, path))
            return false;
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        else if (GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return true;
}

int Install(const char *folder, const char *wizardChoice, bool later, const char *url)
{
    if (!CreateSettingsFiles(folder))
        return 1;
    for (const char *name : kNumbers)
        if (!ValueExists(XR_CLIENT_KEY, name) && !WriteNumber(name, 0))
            return 1;

    // A fleet installation takes its configuration from the URL at every logon, without asking.
    if (*url) {
        if (!WriteNumber(XR_VALUE_WIZARD_LAST_USED_IMPORT, 1) || !WriteString(XR_CLIENT_KEY, XR_VALUE_LAST_IMPORT_URL, url)
            || !WriteLogonEntry(XR_RUN_KEY, folder, " startup"))
            return 1;
    }
    bool wizard = *wizardChoice ? strcmp(wizardChoice, "1") == 0 : *url == '\0';
    if (!later && wizard) {
        if (!WriteNumber(XR_VALUE_SETUP_IN_PROGRESS, 1) || !WriteNumber(XR_VALUE_START_AS_WIZARD, 1)
            || !WriteLogonEntry(XR_RUNONCE_KEY, folder, ""))
            return 1;
    }

    // An existing record is the user's (enabled flags, option values): it stays as it is.
    char library[MAX_PATH];
    if (!InFolder(folder, kPlugInLibrary, library))
        return 1;
    int result = XrPlugInInstall(library, XR_PLUGINS_KEY, XR_PLUGIN_CLIENT);
    return result == 0 || result == XR_PLUGIN_EEXIST ? 0 : 1;
}

/* The credential manager runs from the installation folder for the whole logon: it ends as its
 * "/stop" ends it, and the removal waits (bounded) until its program file is free. */
void StopCredentialManager()
{
    HWND window = FindWindowA(kCredentialManagerClass, nullptr);
    if (!window)
        return;
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    PostMessageA(window, WM_QUIT, 0, 0);
    if (process) {
        WaitForSingleObject(process, kStopWaitMs);
        CloseHandle(process);
    }
}

/* A settings file that still has the installation's empty contents goes; one with the user's
 * settings stays, for a later installation to take over. */
void RemoveUnchangedSettingsFile(const char *valueName)
{
    char *path = nullptr;
    if (XrRegRead(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, valueName, nullptr, &path, nullptr, nullptr) != 0)
        return;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) && data.nFileSizeLow == 0 && data.nFileSizeHigh == 0)
        DeleteFileA(path);
    XrRegRelease(nullptr, path);
}

/* Parent keys of the client key that nothing else uses any more. */
void DeleteEmptyParents()
{
    char path[sizeof XR_CLIENT_KEY];
    XrStrCopy(path, sizeof path, XR_CLIENT_KEY);
    for (char *slash = strrchr(path, '\\'); slash; slash = strrchr(path, '\\')) {
        *slash = '\0';
        if (strchr(path, '\\') == nullptr || XrRegDeleteKey(HKEY_LOCAL_MACHINE, path, nullptr) != ERROR_SUCCESS)
            return;
    }
}

/* An upgrade installs the newer version before the older one is removed (the newer one's
 * installer tells the older one so, but not every installer passes that on), so the newer
 * version is registered by then. */
bool OtherVersionInstalled(const char *upgradeCode, const char *productCode)
{
    char related[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA(upgradeCode, 0, i, related) == ERROR_SUCCESS; i++)
        if (lstrcmpiA(related, productCode) != 0)
            return true;
    return false;
}

int Remove(const char *folder)
{
    StopCredentialManager();
    char library[MAX_PATH];
    if (InFolder(folder, kPlugInLibrary, library))
        XrPlugInRemove(library, XR_PLUGINS_KEY);
    DeleteValue(XR_RUN_KEY, XR_VALUE_STARTUP);
    DeleteValue(XR_RUNONCE_KEY, XR_VALUE_STARTUP);
    RemoveUnchangedSettingsFile(XR_VALUE_CLIENT_LIBRARY_FILE);
    RemoveUnchangedSettingsFile(XR_VALUE_APPLICATION_FILE);
    // The client key is the product's; plug-ins that other software recorded in it go with it.
    XrRegDeleteTree(HKEY_LOCAL_MACHINE, XR_CLIENT_KEY, nullptr);
    DeleteEmptyParents();
    return 0;
}

}

int main(int argc, char **argv)
{
    char folder[MAX_PATH];
    if (argc < 2 || !InstallFolder(folder))
        return 1;
    if (strcmp(argv[1], "install") == 0 && argc >= 4)
        return Install(folder, argv[2], argv[3][0] != '\0', argc >= 5 ? argv[4] : "");
    if (strcmp(argv[1], "remove") == 0 && argc >= 4)
        return OtherVersionInstalled(argv[2], argv[3]) ? 0 : Remove(folder);
    return 1;
}
