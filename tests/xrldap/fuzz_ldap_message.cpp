// libFuzzer: any bytes from the peer through the attribute message receiver (the first byte
// chooses the optional header), then the received attributes through the expansions.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "xrldap_attr.h"
#include "xrldap_expand.h"

namespace {

struct Feed {
    const uint8_t *data;
    size_t size;
    size_t at;
};

int Read(void *context, unsigned char *buffer, int length)
{
    Feed *feed = (Feed *)context;
    size_t count = feed->size - feed->at < (size_t)length ? feed->size - feed->at : length;
    memcpy(buffer, feed->data + feed->at, count);
    feed->at += count;
    return (int)count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    Feed feed = {data + 1, size - 1, 0};
    XrLdapTemplate received;
    if (XrLdapReceive(Read, &feed, data[0] & 1, &received) != 0)
        return 0;
    static XrLdapTemplate dnTemplate, filterTemplate;
    static bool parsed = XrLdapParseTemplate("dn", &dnTemplate) == 0 &&
                         XrLdapParseTemplate("uid,cn=$cn,o=x", &filterTemplate) == 0;
    if (!parsed)
        __builtin_trap();
    XrLdapKey key = {};
    char out[XR_LDAP_EXPAND_SIZE];
    XrLdapExpandDn(&dnTemplate, &received, out, &key);
    XrLdapExpandDn(&filterTemplate, &received, out, &key);
    XrLdapExpandFilterText("(&(uid=$uid)(member=$dn))", &received, out, &key);
    XrLdapExpandFilterTemplate(&filterTemplate, &received, out, &key);
    unsigned char encoded[XR_LDAP_MESSAGE_MAX];
    if (XrLdapEncode(&received, encoded, sizeof encoded) < 2)
        __builtin_trap();
    return 0;
}
