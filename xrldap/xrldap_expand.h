/* Building the bind DN, the search base and the search filter from templates and received
 * attributes, and the cache key that records which received values went into them. Received
 * values are escaped for the place they land in, so a peer cannot change the structure of a DN
 * or a filter; a received value that is the whole DN is taken as sent. Portable. */
#ifndef XRLDAP_XRLDAP_EXPAND_H
#define XRLDAP_XRLDAP_EXPAND_H

#include "xrldap_attr.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Every expansion result has at most 256 characters and a terminator. */
#define XR_LDAP_EXPAND_SIZE 257
#define XR_LDAP_KEY_MAX 8192

/* The received values referenced while building, each followed by ",". A key that ran past
 * its buffer is not usable (overflow 1). */
typedef struct XrLdapKey {
    int length;
    int overflow;
    unsigned char bytes[XR_LDAP_KEY_MAX];
} XrLdapKey;

/* Appends value (nothing for null) and ",". */
void XrLdapKeyAdd(XrLdapKey *key, const XrLdapAttr *value);

/* DN or search base: the template's pieces joined with ",": "name=value" for a literal value,
 * "name=" and the received value named after "$", or for an entry without a value the received
 * value of its own name ("dn": the value alone). A missing received value gives no piece.
 * 0, or -1 for no template entry, an empty result, a result over 256 characters, or a DN
 * taken whole that holds a NUL. key may be null. */
int XrLdapExpandDn(const XrLdapTemplate *dnTemplate, const XrLdapTemplate *received,
                   char *out, XrLdapKey *key);

/* Filter text beginning with "(": every "$name" (the name ends at one of ") ,=*(:" or the
 * end) is replaced by that received value. 0, or -1 (logged) for a name not received or a
 * result of 256 characters or more. */
int XrLdapExpandFilterText(const char *filter, const XrLdapTemplate *received, char *out,
                           XrLdapKey *key);

/* Filter template: "(&(" name=value ")(" ... "))" with literal or received values. 0, or -1
 * for a value not received or a result over 256 characters. */
int XrLdapExpandFilterTemplate(const XrLdapTemplate *filterTemplate,
                               const XrLdapTemplate *received, char *out, XrLdapKey *key);

#ifdef __cplusplus
}
#endif

#endif
