#include "xrldap_credential.h"

#include <string.h>

#include <string>
#include <vector>

#include "xrstr.h"

namespace {

bool IsPassword(const XrLdapAttr &entry)
{
    return XrLdapIsPasswordName(entry.name, entry.nameLength) != 0;
}

// A name from the peer that the item syntax can carry back unchanged.
bool IsPlainName(const XrLdapAttr &entry)
{
    if (entry.nameLength == 0)
        return false;
    for (int i = 0; i < entry.nameLength; i++)
        if (strchr("=,\" \t\r\n", entry.name[i]))
            return false;
    return true;
}

void AppendItem(std::string &text, const char *name, int nameLength, const char *value)
{
    if (!text.empty())
        text += ',';
    text.append(name, nameLength).append("=\"").append(value).append("\"");
}

}  // namespace

int XrLdapAnswer(const XrLdapTemplate *request, const char *text, XrLdapTemplate *answer)
{
    // The parsed text holds the password: wiped on every way out.
    XrLdapTemplate stored;
    int result = XrLdapParseTemplate(text, &stored);
    memset(answer, 0, sizeof *answer);
    answer->version = XR_LDAP_VERSION;
    answer->count = request->count;
    for (int i = 0; result == 0 && i < request->count; i++) {
        const XrLdapAttr &asked = request->entries[i];
        const XrLdapAttr *item = XrLdapFind(&stored, asked.name, asked.nameLength);
        if (!item) {
            result = -1;
            break;
        }
        XrLdapAttr &entry = answer->entries[i];
        entry = *item;
        memcpy(entry.name, asked.name, sizeof entry.name);
        entry.nameLength = asked.nameLength;
    }
    XrLdapWipe(&stored, sizeof stored);
    return result;
}

int XrLdapComposeCredential(const XrLdapTemplate *asked, const char *user, const char *password,
                            char *text, int size)
{
    std::vector<const XrLdapAttr *> others;
    for (int i = 0; i < asked->count; i++) {
        if (!IsPlainName(asked->entries[i]))
            return -1;
        if (!IsPassword(asked->entries[i]))
            others.push_back(&asked->entries[i]);
    }
    XrLdapTemplate items;
    bool schema = others.size() > 1 && XrLdapParseTemplate(user, &items) == 0;
    for (int i = 0; schema && i < items.count; i++) {
        const XrLdapAttr &item = items.entries[i];
        schema = item.valueLength > 0 && XrLdapFind(asked, item.name, item.nameLength) &&
                 !IsPassword(item);
    }
    // Room for any text that fits, so that no copy of the password is left behind by growth.
    std::string out;
    out.reserve(size > 0 ? (size_t)size : 0);
    int result = 0;
    for (int i = 0; result == 0 && i < asked->count; i++) {
        const XrLdapAttr &entry = asked->entries[i];
        const char *value = nullptr;
        if (IsPassword(entry)) {
            value = password;
        } else if (schema) {
            const XrLdapAttr *item = XrLdapFind(&items, entry.name, entry.nameLength);
            value = item ? item->value : nullptr;
        } else if (&entry == others.front()) {
            value = user;
        }
        if (!value || strchr(value, '"'))
            result = -1;
        else
            AppendItem(out, entry.name, entry.nameLength, value);
    }
    if (result == 0 && (int)out.size() >= size)
        result = -1;
    if (result == 0)
        memcpy(text, out.c_str(), out.size() + 1);
    // It holds the password.
    XrLdapWipe(&out[0], out.size());
    return result;
}

void XrLdapSplitCredential(const char *text, char *user, int userSize, char *password,
                           int passwordSize)
{
    XrStrCopy(user, userSize, "");
    XrStrCopy(password, passwordSize, "");
    XrLdapTemplate stored;
    if (!text || !*text || XrLdapParseTemplate(text, &stored) != 0)
        return;
    std::string others;
    const XrLdapAttr *single = nullptr;
    int otherCount = 0;
    bool passwordSeen = false;
    for (int i = 0; i < stored.count; i++) {
        const XrLdapAttr &item = stored.entries[i];
        if (IsPassword(item)) {
            if (!passwordSeen)
                XrStrCopy(password, passwordSize, item.value);
            passwordSeen = true;
            continue;
        }
        single = &item;
        otherCount++;
        AppendItem(others, item.name, item.nameLength, item.value);
    }
    XrStrCopy(user, userSize, otherCount == 1 ? single->value : others.c_str());
    XrLdapWipe(&stored, sizeof stored);
}
