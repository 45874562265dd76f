/* Credential cache: the calls that the settings program, the credential manager and the
 * authentication plug-ins make into the outside library xrcred.
 *
 * The library built from outside/xrcred stands in for the real credential cache component,
 * which is not part of this product. It does the least its callers need: entries live only in
 * the registry (one binary value per server under <root>\<key path>\<method name>, method names
 * "upwd", "null", "ldap", "windom"), not in a session store shared between processes, and the
 * "save password on disk" flag is kept but does not change where an entry goes. The flags
 * argument and the callback of XrCC_Init are accepted and not used.
 *
 * Test hooks of the stand-in:
 *  - XRCRED_JOURNAL (environment): names a file to which every call appends one line: the
 *    call's name, then its arguments separated by blanks, e.g.
 *      XrCC_Init 1 0x80000001 Software\Varo\SOCKS5 Credentials\3.0
 *      XrCC_Open 1
 *      XrCCOpen -4
 *      XrCCGet -4 10.1.2.3
 *      XrCC_Close
 *      XrCC_Exit
 *    (the root key in hexadecimal with eight digits; Get, Set and Delete give the method code
 *    and the server; EnumIds, Open and Close give the method code; XrCCDialog2 and XrCCDialog
 *    have no arguments). A call that fails is recorded too.
 *  - XRCRED_FAIL (environment): when it contains "init", XrCC_Init fails; when it contains
 *    "open", XrCC_Open fails. Both return -1.
 *  - XrCCSetDialogHook: answers XrCCDialog2 without a window.
 *  - XrCCSetEnumHook: answers XrCC_EnumIds instead of the stored entries.
 * Both variables are read at every call.
 *
 * Every call is safe from any thread. Results: 0 success, -1 failure, unless said otherwise. */
#ifndef OUTSIDE_XRCRED_H
#define OUTSIDE_XRCRED_H

#include <windows.h>
#include <stdint.h>

#ifdef XRCRED_BUILD
#define XRCRED_API __declspec(dllexport)
#else
#define XRCRED_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Type codes of the method identifier. */
#define XRCC_METHOD_UPWD (-2)
#define XRCC_METHOD_NULL (-3)
#define XRCC_METHOD_LDAP (-4)
#define XRCC_METHOD_WINDOM (-5)

#define XRCC_KEY_SIZE 388
#define XRCC_SERVER_SIZE 256
#define XRCC_USER_SIZE 128
#define XRCC_TEXT_SIZE 1024
#define XRCC_PASSWORD_SIZE 256
#define XRCC_ID_SIZE 772

/* XrCCCredential.flags */
#define XRCC_SAVE_PASSWORD 0x1
#define XRCC_BEING_EDITED 0x2

/* Names a method's entries. Every use of them is bracketed by XrCCOpen and XrCCClose. */
typedef struct XrCCMethod {
    int32_t type; /* XRCC_METHOD_* */
} XrCCMethod;

/* Identifies one entry: zero-filled, the server (at most 255 characters) at its start. Entries
 * are looked up by that server text alone; the rest of the key is stored as given. */
typedef struct XrCCKey {
    char server[XRCC_SERVER_SIZE];
    char reserved[XRCC_KEY_SIZE - XRCC_SERVER_SIZE];
} XrCCKey;

/* The enumerated record, 772 bytes: key at 0, server as shown at 388, user ID at 644. */
typedef struct XrCCId {
    XrCCKey key;
    char server[XRCC_SERVER_SIZE];
    char userId[XRCC_USER_SIZE];
} XrCCId;

/* A whole entry. text is the stored credential: name=value items separated by commas, in the
 * plug-in option text syntax, e.g. "dn=cn=ann,o=x,password=secret". */
typedef struct XrCCCredential {
    XrCCId id;
    char text[XRCC_TEXT_SIZE];
    int32_t flags; /* XRCC_SAVE_PASSWORD, XRCC_BEING_EDITED */
} XrCCCredential;

/* What XrCCDialog2 shows. The caller fills the texts (labels may carry "&" mnemonics) and the
 * starting values; a confirmed dialog writes the values back. */
typedef struct XrCCDialogDesc {
    char title[128];
    char caption[256];
    char serverLabel[64];
    char userLabel[64];
    char passwordLabel[64];
    char checkText[128];
    char server[XRCC_SERVER_SIZE];
    char user[XRCC_USER_SIZE];
    char password[XRCC_PASSWORD_SIZE];
    int32_t save; /* check box: 0 or 1 */
} XrCCDialogDesc;

/* Remembers the registry root and key path of the entries; creates the key. Again after a
 * successful call: the new root and path replace the old ones. */
XRCRED_API int __cdecl XrCC_Init(int flags, HKEY root, const char *keyPath,
                                  int(__cdecl *callback)(void));
/* Opens the cache for the session; fails before XrCC_Init. */
XRCRED_API int __cdecl XrCC_Open(int flags);
XRCRED_API void __cdecl XrCC_Close(void);
/* Forgets everything XrCC_Init and the opens set up; harmless when repeated. */
XRCRED_API void __cdecl XrCC_Exit(void);

/* Opens are counted per method: entries are usable while more opens than closes were made.
 * XrCCOpen fails before XrCC_Init or for an unknown type code. */
XRCRED_API int __cdecl XrCCOpen(const XrCCMethod *method);
XRCRED_API int __cdecl XrCCClose(const XrCCMethod *method);

/* records null: the bytes all records of the method need (XRCC_ID_SIZE each, 0 when none).
 * Otherwise fills as many whole records as fit in size bytes and returns the bytes written;
 * nothing past size is touched. -1 when the method is not open. */
XRCRED_API int __cdecl XrCC_EnumIds(const XrCCMethod *method, XrCCId *records, int size);

/* Finds the entry of key's server: 0 and the whole entry in out, -1 when there is none. */
XRCRED_API int __cdecl XrCCGet(const XrCCMethod *method, const XrCCKey *key, XrCCCredential *out);
/* Creates or replaces the entry of record->id.key's server (not empty). */
XRCRED_API int __cdecl XrCCSet(const XrCCMethod *method, const XrCCCredential *record);
/* Removes the entry of key's server; -1 when there is none. */
XRCRED_API int __cdecl XrCCDelete(const XrCCMethod *method, const XrCCKey *key);

/* Shows the modal credential dialog: 1 confirmed (values written back), 2 cancelled, -1 when
 * the dialog could not be shown. */
XRCRED_API int __cdecl XrCCDialog2(XrCCDialogDesc *description);
/* The older dialog; nothing in this system calls it. Always 2 (cancelled). */
XRCRED_API int __cdecl XrCCDialog(void *description);

/* A hook answers XrCCDialog2 instead of the window: it gets the description, may change the
 * values and returns the dialog's result. Null shows the window again. */
typedef int(__cdecl *XrCCDialogHook)(XrCCDialogDesc *description);
XRCRED_API void __cdecl XrCCSetDialogHook(XrCCDialogHook hook);

/* A hook answers XrCC_EnumIds of an open method instead of the stored entries, as a cache
 * whose entries change between two calls, or whose texts fill their fields, would: it gets the
 * call's arguments and returns its result. Null answers from the entries again. */
typedef int(__cdecl *XrCCEnumHook)(const XrCCMethod *method, XrCCId *records, int size);
XRCRED_API void __cdecl XrCCSetEnumHook(XrCCEnumHook hook);

/* The calls as plug-in modules receive them through the host services. */
typedef int(__cdecl *XrCCOpenFn)(const XrCCMethod *method);             /* service 8 */
typedef int(__cdecl *XrCCDialogFn)(void *description);                  /* service 9 */
typedef int(__cdecl *XrCCGetFn)(const XrCCMethod *method, const XrCCKey *key,
                                XrCCCredential *out);                   /* service 10 */
typedef int(__cdecl *XrCCSetFn)(const XrCCMethod *method, const XrCCCredential *record); /* 11 */
typedef int(__cdecl *XrCCDeleteFn)(const XrCCMethod *method, const XrCCKey *key); /* 12 */
typedef int(__cdecl *XrCCCloseFn)(const XrCCMethod *method);            /* service 13 */
typedef int(__cdecl *XrCCDialog2Fn)(XrCCDialogDesc *description);       /* service 15 */

#ifdef __cplusplus
}
#endif

#endif
