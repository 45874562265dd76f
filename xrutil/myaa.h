/* Hash table from keys (text, or byte strings of a fixed length) to fixed-size value buffers:
 * open addressing, deleted-slot markers, prime capacities. Portable: no Windows headers. */
#ifndef XRUTIL_MYAA_H
#define XRUTIL_MYAA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define XR_AA_TEXT_KEYS 0

typedef struct XrAa {
    int32_t keyMode;    /* XR_AA_TEXT_KEYS, or non-zero for fixed-length byte keys */
    int32_t keyLength;  /* bytes of a key in fixed-length mode */
    int32_t valueSize;  /* bytes of every value buffer */
    void **keys;        /* null (empty), XR_AA_DELETED, or the table's own copy of a key */
    void **values;
    int32_t count;      /* live keys */
    int32_t capacity;   /* always a prime */
} XrAa;

#define XR_AA_DELETED ((void *)1)

XrAa *XrAaCreate(int32_t keyMode, int32_t keyLength, int32_t valueSize, int32_t initialSize);
/* The value buffer of key; an absent key is added with a zeroed buffer. Null only when memory
 * runs out. reuse: a deleted slot on the probe path may take the new key. */
void *XrAaLookup(XrAa *aa, const void *key, int reuse);
int XrAaExists(XrAa *aa, const void *key);
void XrAaDelete(XrAa *aa, const void *key);
/* A new array (the caller frees it with free(); the keys stay the table's) of the live keys in
 * slot order; count 0 and no array for an empty table; count -1 when memory runs out. */
void XrAaKeys(XrAa *aa, const void ***keys, int32_t *count);
void XrAaDestroy(XrAa *aa);

#ifdef __cplusplus
}
#endif

#endif
