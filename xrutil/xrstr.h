/* Bounded text copies into fixed-size arrays, and ASCII case for the words of files and
 * settings (the locale plays no part in them). */
#ifndef XRUTIL_XRSTR_H
#define XRUTIL_XRSTR_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Copies at most size-1 bytes of src and always terminates (size > 0). Returns 0 when the whole
 * text fitted, -1 when it was cut. A null src copies the empty text. */
int XrStrCopy(char *dest, size_t size, const char *src);

static inline char XrStrLower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

/* 1 when a and b are the same text but for ASCII case, else 0. */
int XrStrSameText(const char *a, const char *b);

#ifdef __cplusplus
}
#endif

#endif
