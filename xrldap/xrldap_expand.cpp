#include "xrldap_expand.h"

#include <string.h>

#include <string>

namespace {

const size_t kExpandMax = XR_LDAP_EXPAND_SIZE - 1;

const char kHex[] = "0123456789abcdef";

void AppendHexEscape(std::string &out, unsigned char c)
{
    out += '\\';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

// An attribute value inside "name=value" of a DN.
void AppendDnValue(std::string &out, const XrLdapAttr &value)
{
    for (int i = 0; i < value.valueLength; i++) {
        char c = value.value[i];
        bool edge = (i == 0 && (c == ' ' || c == '#')) ||
                    (i == value.valueLength - 1 && c == ' ');
        if (c == '\0')
            AppendHexEscape(out, 0);
        else if (edge || strchr("\"+,;<>\\=", c))
            (out += '\\') += c;
        else
            out += c;
    }
}

// An assertion value inside a search filter.
void AppendFilterValue(std::string &out, const XrLdapAttr &value)
{
    for (int i = 0; i < value.valueLength; i++) {
        unsigned char c = (unsigned char)value.value[i];
        if (c == '\0' || c == '*' || c == '(' || c == ')' || c == '\\')
            AppendHexEscape(out, c);
        else
            out += (char)c;
    }
}

// Whether the entry takes a received value, and the name of that value: the text after "$",
// or the entry's own name when it has no value.
bool Reference(const XrLdapAttr &entry, const char **name, int *length)
{
    if (entry.valueLength == 0) {
        *name = entry.name;
        *length = entry.nameLength;
        return true;
    }
    if (entry.value[0] != '$')
        return false;
    *name = entry.value + 1;
    *length = entry.valueLength - 1;
    return true;
}

// Looks the reference up and records it in the key.
const XrLdapAttr *Resolve(const XrLdapTemplate *received, const char *name, int length,
                          XrLdapKey *key)
{
    const XrLdapAttr *value = XrLdapFind(received, name, length);
    if (key)
        XrLdapKeyAdd(key, value);
    return value;
}

// The entry "dn" without a value stands for the whole DN.
bool IsDnName(const XrLdapAttr &entry)
{
    return entry.nameLength == 2 && (entry.name[0] | 0x20) == 'd' && (entry.name[1] | 0x20) == 'n';
}

int Finish(const std::string &text, size_t limit, char *out)
{
    if (text.size() > limit)
        return -1;
    memcpy(out, text.c_str(), text.size() + 1);
    return 0;
}

}  // namespace

void XrLdapKeyAdd(XrLdapKey *key, const XrLdapAttr *value)
{
    int length = value ? value->valueLength : 0;
    if (key->overflow || XR_LDAP_KEY_MAX - key->length < length + 1) {
        key->overflow = 1;
        return;
    }
    if (length)
        memcpy(key->bytes + key->length, value->value, length);
    key->length += length;
    key->bytes[key->length++] = ',';
}

int XrLdapExpandDn(const XrLdapTemplate *dnTemplate, const XrLdapTemplate *received,
                   char *out, XrLdapKey *key)
{
    std::string dn;
    for (int i = 0; i < dnTemplate->count; i++) {
        const XrLdapAttr &entry = dnTemplate->entries[i];
        std::string piece;
        const char *name;
        int length;
        if (!Reference(entry, &name, &length)) {
            piece.append(entry.name).append("=").append(entry.value);
        } else if (const XrLdapAttr *value = Resolve(received, name, length, key)) {
            if (entry.valueLength == 0 && IsDnName(entry)) {
                if (memchr(value->value, '\0', value->valueLength))
                    return -1;
                piece.assign(value->value, value->valueLength);
            } else {
                piece.append(entry.name).append("=");
                AppendDnValue(piece, *value);
            }
        }
        if (piece.empty())
            continue;
        if (!dn.empty())
            dn += ',';
        dn += piece;
    }
    if (dn.empty())
        return -1;
    return Finish(dn, kExpandMax, out);
}

int XrLdapExpandFilterText(const char *filter, const XrLdapTemplate *received, char *out,
                           XrLdapKey *key)
{
    std::string text;
    for (const char *p = filter; *p;) {
        if (*p != '$') {
            text += *p++;
            continue;
        }
        const char *name = ++p;
        while (*p && !strchr(") ,=*(:", *p))
            p++;
        const XrLdapAttr *value = Resolve(received, name, (int)(p - name), key);
        if (!value) {
            XrLdapLog(1, "filter can't be expanded at %s", name - 1);
            return -1;
        }
        AppendFilterValue(text, *value);
    }
    if (text.size() >= kExpandMax) {
        XrLdapLog(1, "filter too long");
        return -1;
    }
    return Finish(text, kExpandMax, out);
}

int XrLdapExpandFilterTemplate(const XrLdapTemplate *filterTemplate,
                               const XrLdapTemplate *received, char *out, XrLdapKey *key)
{
    std::string text = "(&(";
    for (int i = 0; i < filterTemplate->count; i++) {
        const XrLdapAttr &entry = filterTemplate->entries[i];
        if (i)
            text += ")(";
        text.append(entry.name).append("=");
        const char *name;
        int length;
        if (!Reference(entry, &name, &length)) {
            text += entry.value;
        } else if (const XrLdapAttr *value = Resolve(received, name, length, key)) {
            AppendFilterValue(text, *value);
        } else {
            return -1;
        }
    }
    text += "))";
    return Finish(text, kExpandMax, out);
}
