/* Bounded text copies into fixed-size arrays. */
#ifndef XRUTIL_XRSTR_H
#define XRUTIL_XRSTR_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Copies at most size-1 bytes of src and always terminates (size > 0). Returns 0 when the whole
 * text fitted, -1 when it was cut. A null src copies the empty text. */
int XrStrCopy(char *dest, size_t size, const char *src);

#ifdef __cplusplus
}
#endif

#endif
