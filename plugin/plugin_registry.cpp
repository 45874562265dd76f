/* The record of installed plug-ins in the registry, and the identification of a library. */
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "nt/nt_log.h"
#include "nt/regutil.h"
#include "plugin_internal.h"
#include "xrcred.h"
#include "xrplugin_host.h"
#include "xrstr.h"

namespace {

HANDLE g_mutex;

/* Creates the plug-in mutex, or opens the one another user's process made. A null access list:
 * processes of every user share the one mutex. Null when neither works. */
HANDLE OpenPlugInMutex()
{
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    HANDLE mutex = NULL;
    if (InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)
        && SetSecurityDescriptorDacl(&descriptor, TRUE, NULL, FALSE))
        mutex = CreateMutexA(&attributes, FALSE, XR_PLUGIN_MUTEX);
    if (!mutex && GetLastError() == ERROR_ACCESS_DENIED)
        mutex = OpenMutexA(SYNCHRONIZE, FALSE, XR_PLUGIN_MUTEX);
    return mutex;
}

/* Holds the plug-in mutex for one registry operation. A process that did not run XrPlugInInit
 * (the logon refresh) opens the mutex for the call: no registry work runs unlocked. */
class RegistryLock {
public:
    RegistryLock() : own_(g_mutex ? NULL : OpenPlugInMutex()), held_(NULL)
    {
        HANDLE mutex = g_mutex ? g_mutex : own_;
        if (mutex && WaitForSingleObject(mutex, INFINITE) != WAIT_FAILED)
            held_ = mutex;
    }
    ~RegistryLock()
    {
        if (held_)
            ReleaseMutex(held_);
        if (own_)
            CloseHandle(own_);
    }
    RegistryLock(const RegistryLock &) = delete;
    RegistryLock &operator=(const RegistryLock &) = delete;

    bool Held() const { return held_ != NULL; }

private:
    HANDLE own_;
    HANDLE held_;
};

/* Registry failures go to the process log, once one is open. */
XrLog *RegLog()
{
    return *XrLogProcessHandle();
}

bool MeetsMask(int32_t bits, int32_t mask)
{
    return (bits & mask & XR_PLUGIN_BOTH) != 0;
}

std::string SubKey(const std::string &path, const char *name)
{
    return path + "\\" + name;
}

/* The names of the subkeys of path, in registry order; none when the key is missing. */
int SubkeyNames(const std::string &path, std::vector<std::string> &names)
{
    HKEY key = NULL;
    char name[256];
    LONG result;
    names.clear();
    for (DWORD index = 0;
         (result = XrRegEnumKey(&key, HKEY_LOCAL_MACHINE, path.c_str(), index, name, sizeof name,
                                NULL)) == ERROR_SUCCESS;
         ++index)
        names.push_back(name);
    XrRegRelease(&key, NULL);
    if (result == ERROR_NO_MORE_ITEMS || result == ERROR_FILE_NOT_FOUND)
        return 0;
    return XR_PLUGIN_EREAD;
}

int ReadDword(const std::string &path, const char *valueName, int32_t *out)
{
    DWORD type = 0;
    DWORD size = 0;
    char *data = NULL;
    if (XrRegRead(HKEY_LOCAL_MACHINE, path.c_str(), valueName, &type, &data, &size, RegLog()) != 0)
        return XR_PLUGIN_EREAD;
    int result = XR_PLUGIN_EINVALID;
    if (type == REG_DWORD && size == sizeof *out) {
        memcpy(out, data, sizeof *out);
        result = 0;
    }
    XrRegRelease(NULL, data);
    return result;
}

/* Strings longer than the field are cut. */
int ReadText(const std::string &path, const char *valueName, char *out, size_t size)
{
    DWORD type = 0;
    char *data = NULL;
    if (XrRegRead(HKEY_LOCAL_MACHINE, path.c_str(), valueName, &type, &data, NULL, RegLog()) != 0)
        return XR_PLUGIN_EREAD;
    int result = XR_PLUGIN_EINVALID;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        XrStrCopy(out, size, data);
        result = 0;
    }
    XrRegRelease(NULL, data);
    return result;
}

/* Install writes a new record; a save only updates keys that still exist, so that it never
 * brings back, half, what another process removed since the list. */
enum class KeyUse { Create, ExistingOnly };

/* 0 also when an ExistingOnly key is missing: there is nothing left to update. */
int WriteValue(KeyUse use, const std::string &path, const char *valueName, DWORD type,
               const void *data, DWORD size)
{
    HKEY key = NULL;
    if (use == KeyUse::ExistingOnly) {
        LONG opened = XrRegOpenKey(&key, HKEY_LOCAL_MACHINE, path.c_str(), KEY_SET_VALUE,
                                   RegLog());
        if (opened != ERROR_SUCCESS)
            return opened == ERROR_FILE_NOT_FOUND ? 0 : XR_PLUGIN_EWRITE;
    }
    int result = XrRegWrite(&key, HKEY_LOCAL_MACHINE, path.c_str(), valueName, type, data, size,
                            RegLog());
    XrRegRelease(&key, NULL);
    return result == 0 ? 0 : XR_PLUGIN_EWRITE;
}

int WriteDword(KeyUse use, const std::string &path, const char *valueName, int32_t value)
{
    return WriteValue(use, path, valueName, REG_DWORD, &value, sizeof value);
}

int WriteText(KeyUse use, const std::string &path, const char *valueName, const char *text)
{
    return WriteValue(use, path, valueName, REG_SZ, text, (DWORD)strlen(text) + 1);
}

/* A plug-in's own texts are read no further than their fields: one without its terminator
 * makes the plug-in malformed. */
template <size_t N> bool Terminated(const char (&field)[N])
{
    return memchr(field, '\0', N) != nullptr;
}

bool OptionsTerminated(const XrPlugInModule &module)
{
    for (int32_t o = 0; o < module.optionCount; ++o)
        if (!Terminated(module.options[o].name) || !Terminated(module.options[o].value))
            return false;
    return true;
}

bool ValidModule(const XrPlugInModule &module)
{
    return module.name[0] && MeetsMask(module.moduleClass, XR_PLUGIN_BOTH) && module.type != 0
           && module.optionCount >= 0 && (module.optionCount == 0 || module.options)
           && module.enabled >= 0 && module.changed == 0;
}

/* One option key below a module key. Options of other sides are skipped (*taken false). */
int ReadOption(const std::string &path, const std::string &name, int32_t mask,
               XrPlugInOption *option, bool *taken)
{
    *taken = false;
    std::string optionPath = SubKey(path, name.c_str());
    int result = ReadDword(optionPath, "Type", &option->type);
    if (result != 0)
        return result;
    if (option->type == 0)
        return XR_PLUGIN_EINVALID;
    if (!MeetsMask(option->type, mask))
        return 0;
    if (XrStrCopy(option->name, sizeof option->name, name.c_str()) != 0)
        return XR_PLUGIN_EINVALID;
    result = ReadText(optionPath, "Value", option->value, sizeof option->value);
    *taken = result == 0;
    return result;
}

/* One module key below a plug-in key. Modules of other classes are skipped (*taken false). */
int ReadModule(const std::string &path, const std::string &name, int32_t mask,
               XrPlugInModule *module, bool *taken)
{
    *taken = false;
    std::string modulePath = SubKey(path, name.c_str());
    if (XrStrCopy(module->name, sizeof module->name, name.c_str()) != 0)
        return XR_PLUGIN_EINVALID;
    int result = ReadText(modulePath, "Desc", module->description, sizeof module->description);
    if (result == 0)
        result = ReadDword(modulePath, "Class", &module->moduleClass);
    if (result != 0 || !MeetsMask(module->moduleClass, mask))
        return result;
    if ((result = ReadDword(modulePath, "Type", &module->type)) != 0
        || (result = ReadDword(modulePath, "Enabled", &module->enabled)) != 0)
        return result;
    std::vector<std::string> names;
    if ((result = SubkeyNames(modulePath, names)) != 0)
        return result;
    if (!names.empty()) {
        module->options = (XrPlugInOption *)calloc(names.size(), sizeof *module->options);
        if (!module->options)
            return XR_PLUGIN_ENOMEM;
    }
    for (const std::string &optionName : names) {
        bool optionTaken;
        result = ReadOption(modulePath, optionName, mask, &module->options[module->optionCount],
                            &optionTaken);
        if (result != 0)
            return result;
        module->optionCount += optionTaken;
    }
    *taken = true;
    return ValidModule(*module) ? 0 : XR_PLUGIN_EINVALID;
}

int ReadEntry(const std::string &keyPath, const std::string &name, int32_t mask,
              XrPlugInEntry *entry)
{
    std::string path = SubKey(keyPath, name.c_str());
    if (XrStrCopy(entry->name, sizeof entry->name, name.c_str()) != 0)
        return XR_PLUGIN_EINVALID;
    int result = ReadText(path, "DLL Path", entry->libraryPath, sizeof entry->libraryPath);
    if (result != 0)
        return result;
    if (!entry->name[0] || !entry->libraryPath[0])
        return XR_PLUGIN_EINVALID;
    std::vector<std::string> names;
    if ((result = SubkeyNames(path, names)) != 0)
        return result;
    if (!names.empty()) {
        entry->modules = (XrPlugInModule *)calloc(names.size(), sizeof *entry->modules);
        if (!entry->modules)
            return XR_PLUGIN_ENOMEM;
    }
    for (const std::string &moduleName : names) {
        XrPlugInModule module = {};
        bool taken;
        result = ReadModule(path, moduleName, mask, &module, &taken);
        if (result != 0) {
            free(module.options);
            return result;
        }
        if (taken)
            entry->modules[entry->moduleCount++] = module;
    }
    return 0;
}

/* The plug-in's key with its modules and, of their options, those of sideMask's sides. */
int WriteEntry(const std::string &path, const XrPlugInEntry &entry, int32_t sideMask)
{
    const KeyUse use = KeyUse::Create;
    int result = WriteText(use, path, "DLL Path", entry.libraryPath);
    for (int32_t m = 0; result == 0 && m < entry.moduleCount; ++m) {
        const XrPlugInModule &module = entry.modules[m];
        std::string modulePath = SubKey(path, module.name);
        if ((result = WriteText(use, modulePath, "Desc", module.description)) != 0
            || (result = WriteDword(use, modulePath, "Class", module.moduleClass)) != 0
            || (result = WriteDword(use, modulePath, "Type", module.type)) != 0
            || (result = WriteDword(use, modulePath, "Enabled", module.enabled)) != 0)
            break;
        for (int32_t o = 0; result == 0 && o < module.optionCount; ++o) {
            const XrPlugInOption &option = module.options[o];
            if (!MeetsMask(option.type, sideMask))
                continue;
            std::string optionPath = SubKey(modulePath, option.name);
            if ((result = WriteDword(use, optionPath, "Type", option.type)) == 0)
                result = WriteText(use, optionPath, "Value", option.value);
        }
    }
    return result;
}

/* XR_PLUGIN_EEXIST when a plug-in of that name is installed below keyPath. */
int CheckNotInstalled(const std::string &keyPath, const char *name)
{
    std::vector<std::string> names;
    int result = SubkeyNames(keyPath, names);
    for (const std::string &installed : names)
        if (_stricmp(installed.c_str(), name) == 0)
            return XR_PLUGIN_EEXIST;
    return result;
}

} // namespace

int XrPlugInInit(void)
{
    if (!g_mutex)
        g_mutex = OpenPlugInMutex();
    return g_mutex ? 0 : -1;
}

void XrPlugInCleanup(void)
{
    if (g_mutex) {
        CloseHandle(g_mutex);
        g_mutex = NULL;
    }
    XrCC_Exit();
}

bool XrPlugInCopyOptions(const XrPlugInOption *options, int32_t count, XrPlugInOption **copy)
{
    *copy = NULL;
    if (count <= 0)
        return true;
    *copy = (XrPlugInOption *)malloc((size_t)count * sizeof **copy);
    if (!*copy)
        return false;
    memcpy(*copy, options, (size_t)count * sizeof **copy);
    return true;
}

int XrPlugInOpenIdent(XrPlugInEntry *entry, XrPlugInIdentRecord **ident)
{
    if (strcmp(entry->name, XR_PLUGIN_NULL_NAME) == 0
        || strcmp(entry->libraryPath, XR_PLUGIN_NULL_NAME) == 0) {
        entry->library = XR_PLUGIN_BUILTIN;
        *ident = XrPlugInNullIdent();
        return 0;
    }
    HMODULE library = LoadLibraryA(entry->libraryPath);
    if (!library) {
        XrLogWrite(NULL, XR_LOG_ERROR, 0, "Plug-in: can't open `%s': %m", entry->libraryPath);
        return XR_PLUGIN_EINVALID_LIBRARY;
    }
    entry->library = library;
    XrPlugInIdentFn identify =
        (XrPlugInIdentFn)(void (*)(void))GetProcAddress(library, XR_PLUGIN_IDENT_EXPORT);
    if (!identify) {
        XrLogWrite(NULL, XR_LOG_ERROR, 0, "Plug-in: can't load `XrPluginIdent' from  %s: %m",
                   entry->libraryPath);
        return XR_PLUGIN_EINVALID_LIBRARY;
    }
    *ident = identify();
    if (!*ident) {
        XrLogWrite(NULL, XR_LOG_ERROR, 0, "Plugin: Id function (XrPluginIdent) failed");
        return XR_PLUGIN_EINVALID_LIBRARY;
    }
    return 0;
}

int XrPlugInIdentify(const char *libraryPath, XrPlugInEntry *entry, int32_t classMask)
{
    if (!libraryPath || !entry)
        return XR_PLUGIN_EINVALID;
    memset(entry, 0, sizeof *entry);
    XrStrCopy(entry->libraryPath, sizeof entry->libraryPath, libraryPath);
    XrPlugInIdentRecord *ident;
    int result = XrPlugInOpenIdent(entry, &ident);
    if (result != 0)
        return result;
    if (ident->moduleCount < 0 || (ident->moduleCount > 0 && !ident->modules)
        || !Terminated(ident->name))
        return XR_PLUGIN_EINVALID_LIBRARY;
    XrStrCopy(entry->name, sizeof entry->name, ident->name);
    if (ident->moduleCount > 0) {
        entry->modules = (XrPlugInModule *)calloc((size_t)ident->moduleCount,
                                                  sizeof *entry->modules);
        if (!entry->modules)
            return XR_PLUGIN_ENOMEM;
    }
    result = entry->name[0] && entry->libraryPath[0] ? 0 : XR_PLUGIN_EINVALID_LIBRARY;
    for (int32_t d = 0; result == 0 && d < ident->moduleCount; ++d) {
        const XrPlugInModuleDesc &desc = ident->modules[d];
        if (!MeetsMask(desc.moduleClass, classMask))
            continue;
        if (!Terminated(desc.name) || !Terminated(desc.description)) {
            result = XR_PLUGIN_EINVALID_LIBRARY;
            break;
        }
        XrPlugInModule &module = entry->modules[entry->moduleCount++];
        module.moduleClass = desc.moduleClass;
        module.type = desc.type;
        XrStrCopy(module.name, sizeof module.name, desc.name);
        XrStrCopy(module.description, sizeof module.description, desc.description);
        module.enabled = 1;
        module.optionCount = desc.optionCount;
        if (desc.optionCount > 0 && !desc.options)
            result = XR_PLUGIN_EINVALID_LIBRARY;
        else if (!XrPlugInCopyOptions(desc.options, desc.optionCount, &module.options))
            result = XR_PLUGIN_ENOMEM;
        else if (!OptionsTerminated(module) || !ValidModule(module))
            result = XR_PLUGIN_EINVALID_LIBRARY;
    }
    if (result != 0)
        XrPlugInFreeEntry(entry);
    return result;
}

void XrPlugInFreeEntry(XrPlugInEntry *entry)
{
    for (int32_t m = 0; m < entry->moduleCount; ++m)
        free(entry->modules[m].options);
    free(entry->modules);
    entry->modules = NULL;
    entry->moduleCount = 0;
}

void XrPlugInFreeList(XrPlugInEntry *entries, int32_t count)
{
    if (!entries)
        return;
    for (int32_t e = 0; e < count; ++e)
        XrPlugInFreeEntry(&entries[e]);
    free(entries);
}

int XrPlugInList(const char *keyPath, int32_t classMask, XrPlugInEntry **entries, int32_t *count)
{
    if (!keyPath || !entries || !count)
        return XR_PLUGIN_EINVALID;
    *entries = NULL;
    *count = 0;
    RegistryLock lock;
    if (!lock.Held())
        return XR_PLUGIN_ENOMEM;
    std::vector<std::string> names;
    int result = SubkeyNames(keyPath, names);
    if (result != 0 || names.empty())
        return result;
    XrPlugInEntry *list = (XrPlugInEntry *)calloc(names.size(), sizeof *list);
    if (!list)
        return XR_PLUGIN_ENOMEM;
    for (size_t e = 0; e < names.size(); ++e) {
        result = ReadEntry(keyPath, names[e], classMask, &list[e]);
        if (result != 0) {
            XrPlugInFreeList(list, (int32_t)e + 1);
            return result;
        }
    }
    *entries = list;
    *count = (int32_t)names.size();
    return 0;
}

int XrPlugInInstall(const char *libraryPath, const char *keyPath, int32_t sideMask)
{
    if (!keyPath)
        return XR_PLUGIN_EINVALID;
    RegistryLock lock;
    if (!lock.Held())
        return XR_PLUGIN_ENOMEM;
    XrPlugInEntry entry;
    int result = XrPlugInIdentify(libraryPath, &entry, sideMask);
    if (result != 0)
        return result;
    result = CheckNotInstalled(keyPath, entry.name);
    if (result == 0 && entry.moduleCount > 0) {
        std::string path = SubKey(keyPath, entry.name);
        result = WriteEntry(path, entry, sideMask);
        if (result != 0)
            XrRegDeleteTree(HKEY_LOCAL_MACHINE, path.c_str(), RegLog());
    }
    XrPlugInFreeEntry(&entry);
    return result;
}

int XrPlugInRemove(const char *libraryPath, const char *keyPath)
{
    if (!keyPath)
        return XR_PLUGIN_EINVALID;
    RegistryLock lock;
    if (!lock.Held())
        return XR_PLUGIN_ENOMEM;
    XrPlugInEntry entry;
    int result = XrPlugInIdentify(libraryPath, &entry, XR_PLUGIN_BOTH);
    if (result != 0)
        return result;
    if (XrRegDeleteTree(HKEY_LOCAL_MACHINE, SubKey(keyPath, entry.name).c_str(), RegLog()) != 0)
        result = XR_PLUGIN_EWRITE;
    XrPlugInFreeEntry(&entry);
    return result;
}

int XrPlugInSave(const char *keyPath, const XrPlugInEntry *entries, int32_t count)
{
    if (!keyPath || count < 0 || (count > 0 && !entries))
        return XR_PLUGIN_EINVALID;
    RegistryLock lock;
    if (!lock.Held())
        return XR_PLUGIN_ENOMEM;
    const KeyUse use = KeyUse::ExistingOnly;
    for (int32_t e = 0; e < count; ++e) {
        std::string path = SubKey(keyPath, entries[e].name);
        for (int32_t m = 0; m < entries[e].moduleCount; ++m) {
            const XrPlugInModule &module = entries[e].modules[m];
            std::string modulePath = SubKey(path, module.name);
            if (WriteDword(use, modulePath, "Enabled", module.enabled) != 0)
                return XR_PLUGIN_EWRITE;
            for (int32_t o = 0; o < module.optionCount; ++o)
                if (WriteText(use, SubKey(modulePath, module.options[o].name), "Value",
                              module.options[o].value) != 0)
                    return XR_PLUGIN_EWRITE;
        }
    }
    return 0;
}
