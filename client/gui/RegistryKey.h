// One open registry key that remembers the last registry error, and the text containers the
// settings program moves through the registry.
#ifndef CLIENT_GUI_REGISTRYKEY_H
#define CLIENT_GUI_REGISTRYKEY_H

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

typedef std::vector<std::string> StringArray;
typedef std::map<std::string, std::string> StringMap;

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(const RegistryKey &) = delete;
    RegistryKey &operator=(const RegistryKey &) = delete;

    // Null when a key is already open or the key cannot be opened; Create also makes a missing
    // key (for sub-records that save themselves under a new subkey).
    HKEY Open(HKEY root, const char *path, REGSAM access = KEY_READ | KEY_WRITE);
    HKEY Create(HKEY root, const char *path, REGSAM access = KEY_READ | KEY_WRITE);
    void Close();

    HKEY Handle() const { return key_; }
    HKEY Root() const { return root_; }
    LONG LastError() const { return lastError_; }

    bool DeleteSubKey(const char *name);
    bool DeleteValue(const char *name);
    // Bytes of the value's data; -1 when it cannot be queried, 0 when no key is open.
    long ValueSize(const char *name);

    bool ReadNumber(const char *name, DWORD &value);
    bool ReadString(const char *name, std::string &text);
    // type may be null; size is the buffer's size in and the data's size out.
    bool ReadRaw(const char *name, DWORD *type, void *buffer, DWORD *size);

    bool WriteNumber(const char *name, DWORD value);
    // REG_SZ with the characters only: readers add the terminator themselves.
    bool WriteString(const char *name, const std::string &text);
    bool WriteRaw(const char *name, DWORD type, const void *data, DWORD size);
    bool WriteMap(const StringMap &map);
    bool WriteArrays(const StringArray &names, const StringArray &values);

    // Append in enumeration order.
    bool ListSubKeys(StringArray &names);
    bool ListValuesToMap(StringMap &map);
    bool ListValues(StringArray *names, StringArray *values);

private:
    HKEY Attach(LONG result, HKEY key, HKEY root);
    bool Check(LONG result);
    // take(name) for every subkey or value name, in enumeration order, until it returns false.
    bool EnumNames(bool subkeys, const std::function<bool(const char *)> &take);

    HKEY key_ = nullptr;
    HKEY root_ = nullptr;
    LONG lastError_ = ERROR_SUCCESS;
};

#endif
