/* Attribute templates of the LDAP method: the option text that describes them, the message
 * that carries them between the two sides, and the log sink of the portable code. No Windows
 * types here: this part also builds natively, under the sanitizers and the fuzzer. */
#ifndef XRLDAP_XRLDAP_ATTR_H
#define XRLDAP_XRLDAP_ATTR_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define XR_LDAP_VERSION 1
#define XR_LDAP_MAX_ATTRS 10
/* Longest name or value of a message entry (a length byte). */
#define XR_LDAP_TEXT_MAX 255
/* Names from option text are cut to this length. */
#define XR_LDAP_NAME_MAX 63
/* Largest message: version, count, and ten entries of two full texts. */
#define XR_LDAP_MESSAGE_MAX (2 + XR_LDAP_MAX_ATTRS * 2 * (1 + XR_LDAP_TEXT_MAX))
/* The optional header: 5, 0xC4, then the message length as 16 bits, big-endian. */
#define XR_LDAP_HEADER_SIZE 4

/* Results of XrLdapReceive. */
#define XR_LDAP_MALFORMED (-1)
#define XR_LDAP_SHORT_READ (-3)

/* One entry. The texts are counted (a received value may hold any byte) and also terminated,
 * so that option names and literal values read as C text. */
typedef struct XrLdapAttr {
    uint8_t nameLength;
    char name[XR_LDAP_TEXT_MAX + 1];
    uint8_t valueLength;
    char value[XR_LDAP_TEXT_MAX + 1];
} XrLdapAttr;

/* A template built from option text, or the attributes received from the peer. */
typedef struct XrLdapTemplate {
    uint8_t version;
    uint8_t count;
    XrLdapAttr entries[XR_LDAP_MAX_ATTRS];
} XrLdapTemplate;

/* Option text to template: items "name" or "name=value" separated by ","; a value in double
 * quotes may hold "," and blanks. 0, or -1 (logged) for no item or more than ten. */
int XrLdapParseTemplate(const char *text, XrLdapTemplate *out);

/* Writes the template as a message. Returns its length, or -1 when size is too small. */
int XrLdapEncode(const XrLdapTemplate *attrs, unsigned char *buffer, int size);

/* Reads exactly length bytes into buffer; returns the number read, short on failure. */
typedef int (*XrLdapReadFn)(void *context, unsigned char *buffer, int length);

/* Receives one message into out, never reading past its end, and logs every name.
 * withHeader: the message is preceded by the optional header, whose length must match.
 * 0; XR_LDAP_MALFORMED for a wrong version, header or count over ten; XR_LDAP_SHORT_READ when
 * the peer delivered less than a field. */
int XrLdapReceive(XrLdapReadFn read, void *context, int withHeader, XrLdapTemplate *out);

/* The entry named name (case-insensitive, length bytes), or null. */
const XrLdapAttr *XrLdapFind(const XrLdapTemplate *attrs, const char *name, int nameLength);

/* 1 when the text of length bytes ends with "password" (case-insensitive). */
int XrLdapIsPasswordName(const char *name, int length);
/* The first entry whose name ends with "password", or null. */
const XrLdapAttr *XrLdapFindPassword(const XrLdapTemplate *attrs);

/* Zeroes size bytes in a way the compiler keeps, for memory that held credentials. */
void XrLdapWipe(void *data, size_t size);

/* Where the portable code's log lines go (the plug-in points it at its host's log). Lines are
 * formatted before they are handed over. Null drops them. */
typedef void (*XrLdapLogSink)(int32_t level, const char *line);
void XrLdapSetLogSink(XrLdapLogSink sink);

#if defined(__GNUC__)
#define XR_LDAP_PRINTF __attribute__((format(printf, 2, 3)))
#else
#define XR_LDAP_PRINTF
#endif

void XrLdapLog(int32_t level, const char *format, ...) XR_LDAP_PRINTF;

#ifdef __cplusplus
}
#endif

#endif
