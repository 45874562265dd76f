#include "regutil.h"

#include <stdlib.h>

static void XrRegLogFailure(XrLog *log, int32_t level, const char *text, const char *path)
{
    if (log)
        XrLogWrite(log, level, 0, text, path);
}

static LONG XrRegOpenIfNull(HKEY *key, HKEY root, const char *path)
{
    if (*key)
        return ERROR_SUCCESS;
    return RegOpenKeyExA(root, path, 0, KEY_READ, key);
}

/* The value's data in a buffer one byte longer than the data, so that a string stored without
 * its terminator still reads as a terminated string. */
static int XrRegQuery(HKEY key, const char *valueName, DWORD *type, char **value, DWORD *size,
                      XrLog *log)
{
    DWORD valueType = 0;
    DWORD valueSize = 0;
    if (RegQueryValueExA(key, valueName, NULL, &valueType, NULL, &valueSize) != ERROR_SUCCESS)
        return -1;
    char *buffer = (char *)XrRegAlloc((size_t)valueSize + 1, log);
    if (!buffer)
        return -1;
    if (RegQueryValueExA(key, valueName, NULL, &valueType, (BYTE *)buffer, &valueSize)
        != ERROR_SUCCESS) {
        free(buffer);
        return -1;
    }
    if (valueType == REG_SZ || valueType == REG_EXPAND_SZ || valueType == REG_MULTI_SZ)
        buffer[valueSize] = '\0';
    *value = buffer;
    if (type)
        *type = valueType;
    if (size)
        *size = valueSize;
    return 0;
}

LONG XrRegEnumKey(HKEY *key, HKEY root, const char *path, DWORD index, char *name, DWORD size,
                  XrLog *log)
{
    LONG result = XrRegOpenIfNull(key, root, path);
    if (result == ERROR_SUCCESS)
        result = RegEnumKeyExA(*key, index, name, &size, NULL, NULL, NULL, NULL);
    if (result != ERROR_SUCCESS)
        XrRegLogFailure(log, XR_LOG_DETAIL, "Error enum registry entry: %s", path);
    return result;
}

LONG XrRegOpenKey(HKEY *key, HKEY root, const char *path, REGSAM access, XrLog *log)
{
    LONG result = RegOpenKeyExA(root, path, 0, access, key);
    if (result != ERROR_SUCCESS) {
        *key = NULL;
        XrRegLogFailure(log, XR_LOG_DETAIL, "Error opening registry entry: %s", path);
    }
    return result;
}

int XrRegReadOpen(HKEY *key, HKEY root, const char *path, const char *valueName, char **value,
                  XrLog *log)
{
    *value = NULL;
    if (XrRegOpenIfNull(key, root, path) == ERROR_SUCCESS
        && XrRegQuery(*key, valueName, NULL, value, NULL, log) == 0)
        return 0;
    XrRegLogFailure(log, XR_LOG_DETAIL, "Error looking up registry entry: %s", path);
    XrRegRelease(key, NULL);
    return -1;
}

int XrRegRead(HKEY root, const char *path, const char *valueName, DWORD *type, char **value,
              DWORD *size, XrLog *log)
{
    HKEY key = NULL;
    *value = NULL;
    int result = -1;
    if (XrRegOpenIfNull(&key, root, path) == ERROR_SUCCESS)
        result = XrRegQuery(key, valueName, type, value, size, log);
    if (result != 0)
        XrRegLogFailure(log, XR_LOG_DETAIL, "Error looking up registry entry: %s", path);
    XrRegRelease(&key, NULL);
    return result;
}

int XrRegWrite(HKEY *key, HKEY root, const char *path, const char *valueName, DWORD type,
               const void *data, DWORD size, XrLog *log)
{
    LONG result = ERROR_SUCCESS;
    if (!*key)
        result = RegCreateKeyExA(root, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_WRITE, NULL,
                                 key, NULL);
    if (result == ERROR_SUCCESS)
        result = RegSetValueExA(*key, valueName, 0, type, (const BYTE *)data, size);
    if (result == ERROR_SUCCESS)
        return 0;
    XrRegLogFailure(log, XR_LOG_DETAIL, "Error Setting registry entry: %s", path);
    XrRegRelease(key, NULL);
    return -1;
}

LONG XrRegDeleteKey(HKEY root, const char *path, XrLog *log)
{
    LONG result = RegDeleteKeyA(root, path);
    if (result != ERROR_SUCCESS)
        XrRegLogFailure(log, XR_LOG_DETAIL, "Error delete registry entry: %s", path);
    return result;
}

int XrRegDeleteTree(HKEY root, const char *path, XrLog *log)
{
    HKEY key = NULL;
    char name[256];
    LONG result;
    /* Always subkey 0: each one is gone before the next call. The end of the list is the normal
     * way out here, so only other failures are logged. */
    while ((result = XrRegEnumKey(&key, root, path, 0, name, sizeof name, NULL)) == ERROR_SUCCESS)
        if (XrRegDeleteTree(key, name, log) != 0)
            break;
    XrRegRelease(&key, NULL);
    if (result != ERROR_NO_MORE_ITEMS) {
        if (result != ERROR_SUCCESS)
            XrRegLogFailure(log, XR_LOG_DETAIL, "Error enum registry entry: %s", path);
        return -1;
    }
    return XrRegDeleteKey(root, path, log) == ERROR_SUCCESS ? 0 : -1;
}

void XrRegRelease(HKEY *key, void *buffer)
{
    if (key && *key) {
        RegCloseKey(*key);
        *key = NULL;
    }
    free(buffer);
}

void *XrRegAlloc(size_t size, XrLog *log)
{
    void *buffer = malloc(size);
    if (!buffer)
        XrRegLogFailure(log, XR_LOG_ERROR, "Error allocating memory", NULL);
    return buffer;
}
