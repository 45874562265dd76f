// libFuzzer: any option text through the template parser, and the template through the
// expansions against fixed received attributes, and as stored credential text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "xrldap_attr.h"
#include "xrldap_credential.h"
#include "xrldap_expand.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text((const char *)data, size > 4096 ? 4096 : size);
    XrLdapTemplate parsed;
    if (XrLdapParseTemplate(text.c_str(), &parsed) != 0)
        return 0;
    static XrLdapTemplate received;
    static bool ready = XrLdapParseTemplate("dn=\"uid=a,o=x\",uid=a*b,password=p", &received) == 0;
    if (!ready)
        __builtin_trap();
    XrLdapKey key = {};
    char out[XR_LDAP_EXPAND_SIZE];
    XrLdapExpandDn(&parsed, &received, out, &key);
    XrLdapExpandFilterTemplate(&parsed, &received, out, &key);
    XrLdapExpandFilterText(text.c_str(), &received, out, &key);
    XrLdapTemplate answer;
    XrLdapAnswer(&parsed, text.c_str(), &answer);
    char stored[1024], user[128], password[256];
    if (XrLdapComposeCredential(&parsed, "uid=a,o=x", "p", stored, sizeof stored) == 0)
        XrLdapSplitCredential(stored, user, sizeof user, password, sizeof password);
    return 0;
}
