/* The stored LDAP credential text (name=value items in the option text syntax) and how the
 * client side answers a request from it, and how the prompt's two fields map onto it. Portable.
 *
 * The prompt has a user field and a password field. The password goes to every asked name
 * ending in "password". The user field goes whole to the first other asked name; when the
 * server asks for several other names, the user may instead type them as items
 * ("uid=ann,ou=sales"), each naming one of them (a "schema"). */
#ifndef XRLDAP_XRLDAP_CREDENTIAL_H
#define XRLDAP_XRLDAP_CREDENTIAL_H

#include "xrldap_attr.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The names asked for when no request is at hand (the credential page). */
#define XR_LDAP_DEFAULT_ASK "dn,password"

/* The answer to request from the stored text: the asked names in their order, each with the
 * value of the stored item of the same name (case-insensitive). 0, or -1 when the text does
 * not parse or misses an asked name (the entry is not usable). */
int XrLdapAnswer(const XrLdapTemplate *request, const char *text, XrLdapTemplate *answer);

/* Stored text from the prompt's fields for the names asked. 0, or -1 when some asked name is
 * left without a value, a value holds a double quote, or the text exceeds size. */
int XrLdapComposeCredential(const XrLdapTemplate *asked, const char *user, const char *password,
                            char *text, int size);

/* The prompt's starting values from stored text: the password item, and the other items
 * (one: its value alone; several: as items). Fields are cut to their sizes. */
void XrLdapSplitCredential(const char *text, char *user, int userSize, char *password,
                           int passwordSize);

#ifdef __cplusplus
}
#endif

#endif
