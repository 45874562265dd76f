#include "xrldap_attr.h"

#include <stdio.h>
#include <string.h>

#include <atomic>

namespace {

std::atomic<XrLdapLogSink> g_sink{nullptr};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

bool SameName(const char *a, int aLength, const char *b, int bLength)
{
    if (aLength != bLength)
        return false;
    for (int i = 0; i < aLength; i++)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// A counted text, cut to limit, stored terminated.
void SetText(char *field, uint8_t *length, const char *begin, const char *end, int limit)
{
    int size = (int)(end - begin);
    if (size > limit)
        size = limit;
    memcpy(field, begin, size);
    field[size] = '\0';
    *length = (uint8_t)size;
}

const char *TrimEnd(const char *begin, const char *end)
{
    while (end > begin && IsBlank(end[-1]))
        end--;
    return end;
}

// Reads field by field; with the optional header, never past the length it announced.
struct Receiver {
    XrLdapReadFn read;
    void *context;
    long remaining;

    int Take(void *field, int length)
    {
        if (length > remaining)
            return XR_LDAP_MALFORMED;
        if (length && read(context, (unsigned char *)field, length) != length)
            return XR_LDAP_SHORT_READ;
        remaining -= length;
        return 0;
    }

    // length bytes into a field of XR_LDAP_TEXT_MAX + 1, and the length byte that follows
    // them when more is 1: one read where the message format allows no fewer.
    int TakeText(char *field, uint8_t length, bool more, uint8_t *next)
    {
        int result = Take(field, length + more);
        if (result == 0 && more)
            *next = (uint8_t)field[length];
        field[length] = '\0';
        return result;
    }
};

}  // namespace

int XrLdapParseTemplate(const char *text, XrLdapTemplate *out)
{
    memset(out, 0, sizeof *out);
    out->version = XR_LDAP_VERSION;
    const char *p = text ? text : "";
    while (*p) {
        while (IsBlank(*p))
            p++;
        const char *name = p;
        while (*p && *p != '=' && *p != ',')
            p++;
        const char *nameEnd = TrimEnd(name, p);
        const char *value = p;
        const char *valueEnd = p;
        if (*p == '=') {
            p++;
            while (IsBlank(*p))
                p++;
            if (*p == '"') {
                value = ++p;
                while (*p && *p != '"')
                    p++;
                valueEnd = p;
                while (*p && *p != ',')
                    p++;
            } else {
                value = p;
                while (*p && *p != ',')
                    p++;
                valueEnd = TrimEnd(value, p);
            }
        }
        if (*p == ',')
            p++;
        if (nameEnd == name)
            continue;
        if (out->count == XR_LDAP_MAX_ATTRS) {
            XrLdapLog(1, "LDAP: max num of attrs (%d) exceeded", XR_LDAP_MAX_ATTRS);
            return -1;
        }
        XrLdapAttr *entry = &out->entries[out->count++];
        SetText(entry->name, &entry->nameLength, name, nameEnd, XR_LDAP_NAME_MAX);
        SetText(entry->value, &entry->valueLength, value, valueEnd, XR_LDAP_TEXT_MAX);
    }
    if (out->count == 0) {
        XrLdapLog(10, "LDAP: no options found in %s", text ? text : "");
        return -1;
    }
    return 0;
}

int XrLdapEncode(const XrLdapTemplate *attrs, unsigned char *buffer, int size)
{
    int at = 0;
    auto put = [&](const void *data, int length) {
        if (size - at < length)
            return false;
        memcpy(buffer + at, data, length);
        at += length;
        return true;
    };
    const uint8_t head[2] = {XR_LDAP_VERSION, attrs->count};
    if (attrs->count > XR_LDAP_MAX_ATTRS || !put(head, 2))
        return -1;
    for (int i = 0; i < attrs->count; i++) {
        const XrLdapAttr *entry = &attrs->entries[i];
        if (!put(&entry->nameLength, 1) || !put(entry->name, entry->nameLength) ||
            !put(&entry->valueLength, 1) || !put(entry->value, entry->valueLength))
            return -1;
    }
    return at;
}

int XrLdapReceive(XrLdapReadFn read, void *context, int withHeader, XrLdapTemplate *out)
{
    memset(out, 0, sizeof *out);
    Receiver in = {read, context, XR_LDAP_HEADER_SIZE};
    int result = 0;
    if (withHeader) {
        uint8_t header[XR_LDAP_HEADER_SIZE];
        if ((result = in.Take(header, sizeof header)) != 0)
            return result;
        if (header[0] != 5 || header[1] != 0xC4)
            return XR_LDAP_MALFORMED;
        in.remaining = header[2] << 8 | header[3];
    } else {
        in.remaining = XR_LDAP_MESSAGE_MAX;
    }
    uint8_t head[2];
    if ((result = in.Take(head, sizeof head)) != 0)
        return result;
    if (head[0] != XR_LDAP_VERSION || head[1] > XR_LDAP_MAX_ATTRS)
        return XR_LDAP_MALFORMED;
    out->version = head[0];
    uint8_t nameLength = 0;
    if (head[1] && (result = in.Take(&nameLength, 1)) != 0)
        return result;
    for (int i = 0; i < head[1]; i++) {
        XrLdapAttr *entry = &out->entries[i];
        entry->nameLength = nameLength;
        if ((result = in.TakeText(entry->name, nameLength, true, &entry->valueLength)) != 0 ||
            (result = in.TakeText(entry->value, entry->valueLength, i + 1 < head[1],
                                  &nameLength)) != 0)
            return result;
        out->count = (uint8_t)(i + 1);
        XrLdapLog(10, "LDAP: received %s=", entry->name);
    }
    if (withHeader && in.remaining != 0)
        return XR_LDAP_MALFORMED;
    return 0;
}

const XrLdapAttr *XrLdapFind(const XrLdapTemplate *attrs, const char *name, int nameLength)
{
    for (int i = 0; i < attrs->count && i < XR_LDAP_MAX_ATTRS; i++)
        if (SameName(attrs->entries[i].name, attrs->entries[i].nameLength, name, nameLength))
            return &attrs->entries[i];
    return nullptr;
}

int XrLdapIsPasswordName(const char *name, int length)
{
    static const char kSuffix[] = "password";
    const int suffixLength = (int)sizeof kSuffix - 1;
    return length >= suffixLength &&
           SameName(name + length - suffixLength, suffixLength, kSuffix, suffixLength);
}

const XrLdapAttr *XrLdapFindPassword(const XrLdapTemplate *attrs)
{
    for (int i = 0; i < attrs->count && i < XR_LDAP_MAX_ATTRS; i++)
        if (XrLdapIsPasswordName(attrs->entries[i].name, attrs->entries[i].nameLength))
            return &attrs->entries[i];
    return nullptr;
}

void XrLdapWipe(void *data, size_t size)
{
    // Through a volatile pointer, so that the stores are not dropped as dead before a free.
    volatile unsigned char *p = (volatile unsigned char *)data;
    while (size--)
        *p++ = 0;
}

void XrLdapSetLogSink(XrLdapLogSink sink)
{
    g_sink.store(sink);
}

void XrLdapLog(int32_t level, const char *format, ...)
{
    XrLdapLogSink sink = g_sink.load();
    if (!sink)
        return;
    char line[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    sink(level, line);
}
