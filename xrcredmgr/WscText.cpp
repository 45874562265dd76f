#include "WscText.h"

#include <rpc.h>

#include "xrstr.h"

WscShown WscShowName(const WCHAR *name)
{
    WscShown shown;
    if (!name) {
        XrStrCopy(shown.text, sizeof shown.text, "(null wstr)");
        return shown;
    }
    size_t length = 0;
    for (; name[length] && length < sizeof shown.text - 1; length++)
        shown.text[length] = static_cast<char>(name[length] & 0xFF);
    shown.text[length] = '\0';
    return shown;
}

WscShown WscShowGuid(const GUID *id)
{
    WscShown shown;
    RPC_CSTR text = nullptr;
    if (!id)
        XrStrCopy(shown.text, sizeof shown.text, "(null guid)");
    else if (UuidToStringA(const_cast<GUID *>(id), &text) != RPC_S_OK)
        XrStrCopy(shown.text, sizeof shown.text, "(bad guid)");
    else
        XrStrCopy(shown.text, sizeof shown.text, reinterpret_cast<const char *>(text));
    if (text)
        RpcStringFreeA(&text);
    return shown;
}

bool WscToWide(const char *text, WCHAR *out, int size)
{
    return text && MultiByteToWideChar(CP_ACP, 0, text, -1, out, size) > 0;
}

bool WscToNarrow(const WCHAR *text, char *out, int size)
{
    return text && WideCharToMultiByte(CP_ACP, 0, text, -1, out, size, nullptr, nullptr) > 0;
}
