#include "RegistryKey.h"

namespace {

// Registry names of this program never exceed a path's length.
const DWORD kNameChars = MAX_PATH + 1;

}

RegistryKey::~RegistryKey()
{
    Close();
}

HKEY RegistryKey::Attach(LONG result, HKEY key, HKEY root)
{
    if (!Check(result))
        return nullptr;
    key_ = key;
    root_ = root;
    return key_;
}

bool RegistryKey::Check(LONG result)
{
    if (result == ERROR_SUCCESS)
        return true;
    lastError_ = result;
    return false;
}

HKEY RegistryKey::Open(HKEY root, const char *path, REGSAM access)
{
    if (key_)
        return nullptr;
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(root, path, 0, access, &key);
    return Attach(result, key, root);
}

HKEY RegistryKey::Create(HKEY root, const char *path, REGSAM access)
{
    if (key_)
        return nullptr;
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                                  nullptr);
    return Attach(result, key, root);
}

void RegistryKey::Close()
{
    if (key_)
        RegCloseKey(key_);
    key_ = nullptr;
}

bool RegistryKey::DeleteSubKey(const char *name)
{
    return key_ && Check(RegDeleteKeyA(key_, name));
}

bool RegistryKey::DeleteValue(const char *name)
{
    return key_ && Check(RegDeleteValueA(key_, name));
}

long RegistryKey::ValueSize(const char *name)
{
    if (!key_)
        return 0;
    DWORD size = 0;
    if (!Check(RegQueryValueExA(key_, name, nullptr, nullptr, nullptr, &size)))
        return -1;
    return static_cast<long>(size);
}

bool RegistryKey::ReadRaw(const char *name, DWORD *type, void *buffer, DWORD *size)
{
    return key_ && Check(RegQueryValueExA(key_, name, nullptr, type, static_cast<BYTE *>(buffer), size));
}

bool RegistryKey::ReadNumber(const char *name, DWORD &value)
{
    DWORD size = sizeof value;
    return ReadRaw(name, nullptr, &value, &size);
}

bool RegistryKey::ReadString(const char *name, std::string &text)
{
    long size = ValueSize(name);
    if (size < 0 || !key_)
        return false;
    std::string data(static_cast<size_t>(size), '\0');
    DWORD got = static_cast<DWORD>(size);
    if (!ReadRaw(name, nullptr, size ? &data[0] : nullptr, &got))
        return false;
    // Written with or without a terminator: the text ends at the first NUL either way.
    data.resize(got);
    text.assign(data.c_str());
    return true;
}

bool RegistryKey::WriteRaw(const char *name, DWORD type, const void *data, DWORD size)
{
    return key_ && Check(RegSetValueExA(key_, name, 0, type, static_cast<const BYTE *>(data), size));
}

bool RegistryKey::WriteNumber(const char *name, DWORD value)
{
    return WriteRaw(name, REG_DWORD, &value, sizeof value);
}

bool RegistryKey::WriteString(const char *name, const std::string &text)
{
    return WriteRaw(name, REG_SZ, text.data(), static_cast<DWORD>(text.size()));
}

bool RegistryKey::WriteMap(const StringMap &map)
{
    for (const auto &entry : map)
        if (!WriteString(entry.first.c_str(), entry.second))
            return false;
    return key_ != nullptr;
}

bool RegistryKey::WriteArrays(const StringArray &names, const StringArray &values)
{
    for (size_t i = 0; i < names.size() && i < values.size(); i++)
        if (!WriteString(names[i].c_str(), values[i]))
            return false;
    return key_ != nullptr;
}

bool RegistryKey::EnumNames(bool subkeys, const std::function<bool(const char *)> &take)
{
    if (!key_)
        return false;
    for (DWORD index = 0;; index++) {
        char name[kNameChars];
        DWORD chars = kNameChars;
        LONG result = subkeys ? RegEnumKeyExA(key_, index, name, &chars, nullptr, nullptr, nullptr, nullptr)
                              : RegEnumValueA(key_, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return true;
        if (!Check(result) || !take(name))
            return false;
    }
}

bool RegistryKey::ListSubKeys(StringArray &names)
{
    return EnumNames(true, [&](const char *name) {
        names.push_back(name);
        return true;
    });
}

bool RegistryKey::ListValuesToMap(StringMap &map)
{
    return EnumNames(false, [&](const char *name) { return ReadString(name, map[name]); });
}

bool RegistryKey::ListValues(StringArray *names, StringArray *values)
{
    return EnumNames(false, [&](const char *name) {
        std::string data;
        if (values && !ReadString(name, data))
            return false;
        if (names)
            names->push_back(name);
        if (values)
            values->push_back(data);
        return true;
    });
}
