/* The plug-in interface: what a plug-in library exports and fills in, and what the host hands
 * to its modules. A plug-in library exports XrPluginIdent, which returns its identification
 * record; the host configures each module by calling the module's initialization function
 * with the option access block, the host service block and an operations block to fill.
 *
 * No Windows types here, so that the portable parts of a plug-in build natively too. The
 * layouts are fixed for the 32-bit Windows build (checked below); the engine and plug-ins
 * built outside this system rely on them. */
#ifndef PLUGIN_XRPLUGIN_H
#define PLUGIN_XRPLUGIN_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define XRPLUGIN_CALL __cdecl
#else
#define XRPLUGIN_CALL
#endif

#ifdef __cplusplus
#define XRPLUGIN_STATIC_ASSERT(cond, text) static_assert(cond, text)
extern "C" {
#else
#define XRPLUGIN_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

/* Records of other components that the interface passes by pointer only. */
struct XrLog;
struct XrLogParams;
struct XrConnection; /* the engine's connection record, outside/xrimpl.h */
struct XrCCMethod;   /* credential cache records, outside/xrcred.h */
struct XrCCKey;
struct XrCCCredential;
struct XrCCDialogDesc;

/* ---- Numbers -------------------------------------------------------------------------- */

#define XR_PLUGIN_VERSION 3

#define XR_PLUGIN_NAME_SIZE 64
#define XR_PLUGIN_DESC_SIZE 256
#define XR_PLUGIN_PATH_SIZE 1024
#define XR_PLUGIN_VALUE_SIZE 256

/* Sides: a module's class bits, an option's type bits and the callers' side masks. */
#define XR_PLUGIN_SERVER 0x4
#define XR_PLUGIN_CLIENT 0x8
#define XR_PLUGIN_BOTH (XR_PLUGIN_SERVER | XR_PLUGIN_CLIENT)
/* Further option type bit set by the plug-ins (0x24 a server option, 0x28 a client one). */
#define XR_PLUGIN_OPTION_VALUE 0x20

/* Module types. */
#define XR_PLUGIN_AUTH 1
#define XR_PLUGIN_FILTER 2
#define XR_PLUGIN_CONFIG 3

/* Registration types: one table each. */
#define XR_REG_CLIENT_AUTH 1
#define XR_REG_SERVER_AUTH 2
#define XR_REG_FILTER 4
#define XR_REG_CLIENT_COMMAND 8
#define XR_REG_SERVER_COMMAND 16
#define XR_REG_SERVER_CONFIG 32
#define XR_REG_CLIENT_CONFIG 64
#define XR_REG_SLOTS 256 /* identifiers 0..255 */

/* Built-in codes in the host service block, from the module's name. */
#define XR_PLUGIN_CODE_OTHER (-1)
#define XR_PLUGIN_CODE_UPWD (-2)
#define XR_PLUGIN_CODE_NULL (-3)
#define XR_PLUGIN_CODE_LDAP (-4)
#define XR_PLUGIN_CODE_WINDOM (-5)

/* Host service numbers (XrPlugInHost.lookup). 8 to 15 are offered to authentication modules
 * only; other modules get 0 for them. */
#define XR_SVC_LOG_OPEN 1    /* XrPlugInLogOpenFn */
#define XR_SVC_LOG_WRITE 2   /* XrPlugInLogWriteFn */
#define XR_SVC_LOG_CLOSE 3   /* XrPlugInLogCloseFn */
#define XR_SVC_GET_MODULE 4  /* XrPlugInGetModuleFn */
#define XR_SVC_LIST_IDS 5    /* XrPlugInListIdsFn */
#define XR_SVC_SEND 6        /* XrPlugInIOFn */
#define XR_SVC_RECV 7        /* XrPlugInIOFn */
#define XR_SVC_CC_OPEN 8     /* XrPlugInCCMethodFn */
#define XR_SVC_CC_DIALOG 9   /* XrPlugInCCDialogFn */
#define XR_SVC_CC_GET 10     /* XrPlugInCCGetFn */
#define XR_SVC_CC_SET 11     /* XrPlugInCCSetFn */
#define XR_SVC_CC_DELETE 12  /* XrPlugInCCDeleteFn */
#define XR_SVC_CC_CLOSE 13   /* XrPlugInCCMethodFn */
#define XR_SVC_NO_SAVE 14    /* not a function: the value itself, 1 when saving credentials to
                              * disk is forbidden, 0 when it is allowed */
#define XR_SVC_CC_DIALOG2 15 /* XrPlugInCCDialog2Fn */

/* The transfer constants a module passes to services 6 and 7 after the length. */
#define XR_IO_FLAGS 0
#define XR_IO_CLASS 7

/* Fields of the engine's connection record (struct XrConnection) that handlers use, as byte
 * offsets for code that cannot include the engine's header. */
#define XR_CONNECTION_REQUESTED_USER 521 /* user named in the peer's request */
#define XR_CONNECTION_USER 650           /* authenticated user, set by a server handler */
#define XR_CONNECTION_USER_SIZE 129      /* both: 128 characters and a terminator */

/* ---- Records a plug-in library declares ----------------------------------------------- */

/* An option: declared with its default in a module descriptor, kept with its value in the
 * registry. type: XR_PLUGIN_SERVER and/or XR_PLUGIN_CLIENT, usually with XR_PLUGIN_OPTION_VALUE. */
typedef struct XrPlugInOption {
    int32_t type;
    char name[XR_PLUGIN_NAME_SIZE];
    char value[XR_PLUGIN_VALUE_SIZE];
} XrPlugInOption;

typedef struct XrPlugInModule XrPlugInModule;
typedef struct XrPlugInOptionAccess XrPlugInOptionAccess;
typedef struct XrPlugInHost XrPlugInHost;
typedef struct XrPlugInOperations XrPlugInOperations;

/* Module initialization: fills ops (zeroed by the host). The option access and host service
 * blocks are valid during the call only: a module copies what it keeps (the service addresses,
 * the built-in code). 0 success, -1 failure. */
typedef int(XRPLUGIN_CALL *XrPlugInInitFn)(XrPlugInOptionAccess *options, XrPlugInHost *host,
                                           XrPlugInOperations *ops);

/* One module of a plug-in library. */
typedef struct XrPlugInModuleDesc {
    int32_t version;          /* XR_PLUGIN_VERSION */
    int32_t moduleClass;      /* side bits */
    int32_t type;             /* XR_PLUGIN_AUTH, ... */
    int32_t interfaceVersion; /* XR_PLUGIN_VERSION */
    char name[XR_PLUGIN_NAME_SIZE];
    char description[XR_PLUGIN_DESC_SIZE];
    XrPlugInInitFn init;
    int32_t optionCount;
    XrPlugInOption *options; /* defaults */
} XrPlugInModuleDesc;

/* The identification record that XrPluginIdent returns; static in the library. */
typedef struct XrPlugInIdentRecord {
    int32_t version; /* XR_PLUGIN_VERSION */
    char name[XR_PLUGIN_NAME_SIZE];
    char description[XR_PLUGIN_DESC_SIZE];
    int32_t moduleCount;
    XrPlugInModuleDesc *modules;
} XrPlugInIdentRecord;

/* XrPluginIdent, exported by name: the identification record, or null on failure. */
typedef XrPlugInIdentRecord *(XRPLUGIN_CALL *XrPlugInIdentFn)(void);
#define XR_PLUGIN_IDENT_EXPORT "XrPluginIdent"

/* ---- Records the host keeps ----------------------------------------------------------- */

/* A module as installed in the registry (and listed from it). */
struct XrPlugInModule {
    int32_t moduleClass;
    int32_t type;
    char name[XR_PLUGIN_NAME_SIZE];
    char description[XR_PLUGIN_DESC_SIZE];
    int32_t changed; /* 0 as listed and identified; a caller that edits enabled may set 1 */
    int32_t enabled; /* 1 enabled, 0 disabled */
    int32_t optionCount;
    XrPlugInOption *options;
};

/* An installed plug-in as listed from the registry. */
typedef struct XrPlugInEntry {
    char name[XR_PLUGIN_NAME_SIZE]; /* the registry subkey name */
    char libraryPath[XR_PLUGIN_PATH_SIZE];
    void *library; /* HMODULE; XR_PLUGIN_BUILTIN for the built-in plug-in, null when not loaded */
    int32_t moduleCount;
    XrPlugInModule *modules;
} XrPlugInEntry;

#define XR_PLUGIN_BUILTIN ((void *)(intptr_t)-1)

/* ---- What a module gets and fills ------------------------------------------------------ */

/* get-option: the value text of the module record's option of that name (compared
 * case-insensitively), or null when there is none. */
typedef const char *(XRPLUGIN_CALL *XrPlugInGetOptionFn)(const XrPlugInModule *module,
                                                         const char *name);

/* The module's configuration as the host hands it over; module may be null (no options). */
struct XrPlugInOptionAccess {
    const XrPlugInModule *module;
    XrPlugInGetOptionFn getOption;
};

/* lookup(n): the address of host service n (XR_SVC_*), or 0. */
typedef void *(XRPLUGIN_CALL *XrPlugInLookupFn)(int32_t service);

struct XrPlugInHost {
    int32_t builtinCode; /* XR_PLUGIN_CODE_* */
    XrPlugInLookupFn lookup;
};

/* What the engine hands a client-side handler: the connection being authenticated and the
 * method data to send once the handler returns (sendLength 0: nothing). */
typedef struct XrPlugInExchange {
    struct XrConnection *connection;
    int32_t sendLength;
} XrPlugInExchange;

/* Authentication handler. context goes unchanged to services 6 and 7; method is the method
 * identifier the peers agreed on; record is an XrPlugInExchange on the client side and the
 * connection record (struct XrConnection) on the server side. 0 authenticated, else failure. */
typedef int(XRPLUGIN_CALL *XrPlugInAuthFn)(void *context, int32_t method, void *record);

/* Credential handlers (new, delete, edit): key is the credential cache key of one server
 * (388 bytes, zero-filled, the server at its start). 0 success, -1 failure. */
typedef int(XRPLUGIN_CALL *XrPlugInCredentialFn)(struct XrCCKey *key);

/* Per-side initialization: side is XR_PLUGIN_SERVER or XR_PLUGIN_CLIENT; sideData points to
 * the instance's slot for that side, which the module may use. 0 success, else failure. */
typedef int(XRPLUGIN_CALL *XrPlugInSideInitFn)(XrPlugInOptionAccess *options, int32_t side,
                                               void **sideData);
typedef void(XRPLUGIN_CALL *XrPlugInCleanupFn)(int32_t side);

/* The operations block a module's initialization fills: 96 bytes. */
struct XrPlugInOperations {
    uint8_t identifier; /* method identifier, 0..255 */
    char name[XR_PLUGIN_NAME_SIZE];
    XrPlugInAuthFn clientAuth;
    XrPlugInAuthFn serverAuth;
    XrPlugInCredentialFn newCredential;
    XrPlugInCredentialFn deleteCredential;
    XrPlugInCredentialFn editCredential;
    XrPlugInSideInitFn sideInit;
    XrPlugInCleanupFn cleanup;
};

/* A configured module. Host service 4 hands out a copy of a registered one. */
typedef struct XrPlugInInstance {
    int32_t version; /* XR_PLUGIN_VERSION */
    int32_t identifier;
    char name[XR_PLUGIN_NAME_SIZE];
    int32_t moduleClass;
    int32_t type;
    XrPlugInModule *module; /* the listed module: enabled flag and options; may be null */
    char libraryPath[XR_PLUGIN_PATH_SIZE];
    XrPlugInInitFn init;
    XrPlugInAuthFn auth; /* the handler of the side it is registered for */
    XrPlugInOperations ops;
    void *sideData[2]; /* server side, client side */
} XrPlugInInstance;

/* ---- Host services --------------------------------------------------------------------- */

typedef int(XRPLUGIN_CALL *XrPlugInLogOpenFn)(struct XrLog **log, int32_t flags, int32_t level,
                                              const struct XrLogParams *params);
typedef void(XRPLUGIN_CALL *XrPlugInLogWriteFn)(struct XrLog *log, int32_t level, int32_t code,
                                                const char *format, ...);
typedef int(XRPLUGIN_CALL *XrPlugInLogCloseFn)(struct XrLog **log);
/* Copies the instance registered under type and identifier: 0, or -1 when there is none. */
typedef int(XRPLUGIN_CALL *XrPlugInGetModuleFn)(int32_t type, int32_t identifier,
                                                XrPlugInInstance *out);
/* Writes the identifiers in use for type, one byte each, into ids (XR_REG_SLOTS bytes):
 * 0 and their number in *count, -1 for an unknown type. */
typedef int(XRPLUGIN_CALL *XrPlugInListIdsFn)(int32_t type, uint8_t *ids, int32_t *count);
/* socket: the connection record's socket; flags XR_IO_FLAGS, ioClass XR_IO_CLASS; context
 * as handed to the handler. Returns the bytes moved; anything but length is a failure. */
typedef int(XRPLUGIN_CALL *XrPlugInIOFn)(uintptr_t socket, struct XrConnection *connection,
                                         char *buffer, int length, int flags, int ioClass,
                                         void *context);
typedef int(XRPLUGIN_CALL *XrPlugInCCMethodFn)(const struct XrCCMethod *method); /* 8, 13 */
typedef int(XRPLUGIN_CALL *XrPlugInCCDialogFn)(void *description);
typedef int(XRPLUGIN_CALL *XrPlugInCCGetFn)(const struct XrCCMethod *method,
                                            const struct XrCCKey *key,
                                            struct XrCCCredential *out);
typedef int(XRPLUGIN_CALL *XrPlugInCCSetFn)(const struct XrCCMethod *method,
                                            const struct XrCCCredential *record);
typedef int(XRPLUGIN_CALL *XrPlugInCCDeleteFn)(const struct XrCCMethod *method,
                                               const struct XrCCKey *key);
typedef int(XRPLUGIN_CALL *XrPlugInCCDialog2Fn)(struct XrCCDialogDesc *description);

/* ---- Layouts ---------------------------------------------------------------------------- */

XRPLUGIN_STATIC_ASSERT(sizeof(XrPlugInOption) == 324, "XrPlugInOption layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInOption, value) == 68, "XrPlugInOption layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInModuleDesc, name) == 16, "XrPlugInModuleDesc layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInModuleDesc, init) == 336, "XrPlugInModuleDesc layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInIdentRecord, moduleCount) == 324,
                       "XrPlugInIdentRecord layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInModule, changed) == 328, "XrPlugInModule layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInModule, optionCount) == 336, "XrPlugInModule layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInEntry, library) == 1088, "XrPlugInEntry layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInOperations, name) == 1, "XrPlugInOperations layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInOperations, clientAuth) % sizeof(void *) == 0,
                       "XrPlugInOperations layout");
#if UINTPTR_MAX == 0xFFFFFFFFu
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInModuleDesc, optionCount) == 340,
                       "XrPlugInModuleDesc layout");
XRPLUGIN_STATIC_ASSERT(sizeof(XrPlugInModuleDesc) == 348, "XrPlugInModuleDesc layout");
XRPLUGIN_STATIC_ASSERT(sizeof(XrPlugInIdentRecord) == 332, "XrPlugInIdentRecord layout");
XRPLUGIN_STATIC_ASSERT(sizeof(XrPlugInModule) == 344, "XrPlugInModule layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInEntry, moduleCount) == 1092, "XrPlugInEntry layout");
XRPLUGIN_STATIC_ASSERT(sizeof(XrPlugInEntry) == 1100, "XrPlugInEntry layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInOperations, clientAuth) == 68,
                       "XrPlugInOperations layout");
XRPLUGIN_STATIC_ASSERT(offsetof(XrPlugInOperations, sideInit) == 88,
                       "XrPlugInOperations layout");
XRPLUGIN_STATIC_ASSERT(sizeof(XrPlugInOperations) == 96, "XrPlugInOperations layout");
XRPLUGIN_STATIC_ASSERT(sizeof(XrPlugInOptionAccess) == 8, "XrPlugInOptionAccess layout");
XRPLUGIN_STATIC_ASSERT(sizeof(XrPlugInHost) == 8, "XrPlugInHost layout");
XRPLUGIN_STATIC_ASSERT(sizeof(XrPlugInExchange) == 8, "XrPlugInExchange layout");
#endif

#ifdef __cplusplus
}
#endif

#endif
