/* The verdict cache of the server side: verdicts per set of credentials, kept for a lifetime
 * in seconds. Ten buckets of singly linked entries, newest first; each add purges a few
 * expired entries from a per-bucket cursor. Key bytes are wiped before they are freed: they
 * hold passwords. Safe from any thread. Portable. */
#ifndef XRLDAP_XRLDAP_CACHE_H
#define XRLDAP_XRLDAP_CACHE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define XR_LDAP_CACHE_BUCKETS 10
/* Entries an add looks at for expiry. */
#define XR_LDAP_CACHE_PURGE 3

typedef struct XrLdapCache XrLdapCache;

/* Null when memory runs out. */
XrLdapCache *XrLdapCacheCreate(int32_t lifetimeSeconds);
/* Wipes and frees every entry and the cache; null is harmless. */
void XrLdapCacheDestroy(XrLdapCache *cache);

/* (length + the signed bytes at odd positions) modulo 10, in 0..9. */
int XrLdapCacheHash(const unsigned char *key, int length);

/* now: seconds on any steady scale. 0 and the verdict of a live entry; -1 on a miss (an expired
 * entry found is removed). */
int XrLdapCacheLookup(XrLdapCache *cache, const unsigned char *key, int length, int64_t now,
                      int *verdict);
/* Adds the verdict (0 success, else failure) at the head of its bucket. Keys of more than
 * 65535 bytes, and entries that find no memory, are not cached. */
void XrLdapCacheAdd(XrLdapCache *cache, const unsigned char *key, int length, int verdict,
                    int64_t now);

/* Number of entries held. */
int XrLdapCacheCount(XrLdapCache *cache);

#ifdef __cplusplus
}
#endif

#endif
