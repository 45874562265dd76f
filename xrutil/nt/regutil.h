/* Registry wrappers for the runtime: enumerate subkeys, open an existing key, read a value into
 * a new buffer, write a value, delete a key or a whole tree. Every wrapper takes an optional log
 * handle; failures are logged on it at level 10 with the key path (only once logging has
 * started).
 *
 * A key handle variable (HKEY *) lets a caller open a key once and make several calls on it:
 * a wrapper that finds it null opens the key itself (read access for reading and enumerating;
 * created when missing, with write access, for writing) and leaves it open in the variable.
 * The caller closes it and frees value buffers with XrRegRelease. Windows only. */
#ifndef XRUTIL_NT_REGUTIL_H
#define XRUTIL_NT_REGUTIL_H

#include <windows.h>

#include "nt_log.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Subkey number index of root\path into name (size bytes). Returns the system result: 0, or
 * ERROR_NO_MORE_ITEMS after the last subkey. */
LONG XrRegEnumKey(HKEY *key, HKEY root, const char *path, DWORD index, char *name, DWORD size,
                  XrLog *log);

/* Opens the existing key root\path with access into *key, creating nothing. Returns the system
 * result: 0 with the key left open, ERROR_FILE_NOT_FOUND when the key is missing. */
LONG XrRegOpenKey(HKEY *key, HKEY root, const char *path, REGSAM access, XrLog *log);

/* Reads valueName into a new buffer (*value) one byte longer than the data; string types are
 * terminated after the data. 0 with the key left open; -1 with the key closed and *value null. */
int XrRegReadOpen(HKEY *key, HKEY root, const char *path, const char *valueName, char **value,
                  XrLog *log);

/* As XrRegReadOpen, but opens and closes the key itself. type and size (both may be null)
 * receive the value's type and its size in bytes, without the added terminator. */
int XrRegRead(HKEY root, const char *path, const char *valueName, DWORD *type, char **value,
              DWORD *size, XrLog *log);

/* Sets valueName to size bytes of data. 0 with the key left open; -1 with the key closed. */
int XrRegWrite(HKEY *key, HKEY root, const char *path, const char *valueName, DWORD type,
               const void *data, DWORD size, XrLog *log);

/* Deletes root\path, which must have no subkeys. Returns the system result. */
LONG XrRegDeleteKey(HKEY root, const char *path, XrLog *log);

/* Deletes root\path with all its subkeys, depth first. 0, or -1 at the first failure. */
int XrRegDeleteTree(HKEY root, const char *path, XrLog *log);

/* Closes *key (and sets it null) and frees buffer; either may be null. */
void XrRegRelease(HKEY *key, void *buffer);

/* A new buffer of size bytes, or null (logged at level 1). */
void *XrRegAlloc(size_t size, XrLog *log);

#ifdef __cplusplus
}
#endif

#endif
