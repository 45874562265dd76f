#include "xrstr.h"

#include <string.h>

int XrStrCopy(char *dest, size_t size, const char *src)
{
    if (size == 0)
        return -1;
    size_t length = src ? strlen(src) : 0;
    int cut = length >= size;
    if (cut)
        length = size - 1;
    if (length)
        memcpy(dest, src, length);
    dest[length] = '\0';
    return cut ? -1 : 0;
}

int XrStrSameText(const char *a, const char *b)
{
    for (;; a++, b++) {
        char x = XrStrLower(*a);
        if (x != XrStrLower(*b))
            return 0;
        if (!x)
            return 1;
    }
}
