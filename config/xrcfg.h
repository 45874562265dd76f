/* The engine's configuration file as an in-memory model of typed records: open (parse), a record
 * interface, and save (write the whole model back as text). Portable: no Windows headers. */
#ifndef CONFIG_XRCFG_H
#define CONFIG_XRCFG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Record kinds. */
#define XR_CFG_KIND_SET 1
#define XR_CFG_KIND_AUTH 2
#define XR_CFG_KIND_ROUTE 3
#define XR_CFG_KIND_PROXY 4
#define XR_CFG_KIND_FILTER 5
#define XR_CFG_KIND_LOCALDNS 6
#define XR_CFG_KIND_REMOTEDNS 7
#define XR_CFG_KIND_YES 8
#define XR_CFG_KIND_NO 9
#define XR_CFG_KIND_SYS 10
#define XR_CFG_KIND_PLUGIN 11
#define XR_CFG_KIND_INTERFACE 12
#define XR_CFG_KIND_BAN 13
#define XR_CFG_KINDS 13

/* Section mask bits. 0 given to open means XR_CFG_SECTIONS_DEFAULT (every section but bans). */
#define XR_CFG_SECTION_VARIABLES 0x001
#define XR_CFG_SECTION_AUTH 0x002
#define XR_CFG_SECTION_ROUTES 0x004
#define XR_CFG_SECTION_PROXY 0x008
#define XR_CFG_SECTION_FILTER 0x010
#define XR_CFG_SECTION_DNS 0x020
#define XR_CFG_SECTION_APPS 0x040
#define XR_CFG_SECTION_PLUGINS 0x080
#define XR_CFG_SECTION_INTERFACES 0x100
#define XR_CFG_SECTION_BANS 0x200
#define XR_CFG_SECTIONS_DEFAULT 0x1FF

/* Forms: 1 the client file, 2 the server file. */
#define XR_CFG_FORM_CLIENT 1
#define XR_CFG_FORM_SERVER 2

/* XrCfgProxy.ruleKind */
#define XR_CFG_RULE_NOPROXY 1
#define XR_CFG_RULE_SOCKS4 2
#define XR_CFG_RULE_SOCKS5 3
#define XR_CFG_RULE_GBIND 4

/* XrCfgFilter.ruleKind */
#define XR_CFG_RULE_PERMIT 1
#define XR_CFG_RULE_DENY 2
#define XR_CFG_RULE_FILTER 3

/* List items. A list is a heap array of items plus a count; null while the count is 0. */
typedef char XrCfgText128[128];
typedef char XrCfgText256[256];

typedef struct XrCfg XrCfg;

/* Kind 1: a variable, found by name. */
typedef struct XrCfgVariable {
    char name[128];
    char value[256];
} XrCfgVariable;

/* Every record of kinds 2 to 13 starts with number, its 1-based position in its kind. */
typedef struct XrCfgAuth {
    int32_t number;
    char hostPattern[256];
    char portPattern[64];
    XrCfgText128 *authList;
    int32_t authCount;
} XrCfgAuth;

typedef struct XrCfgRoute {
    int32_t number;
    char routeField1[32];
    char routeField2[64];
    char routeField3[32];
} XrCfgRoute;

typedef struct XrCfgProxy {
    int32_t number;
    int32_t ruleKind;
    char destination[256];
    char destPort[64];
    char leadField[128]; /* client form only */
    XrCfgText128 *nameList;
    int32_t nameCount;
    XrCfgText256 *serverList;
    int32_t serverCount;
} XrCfgProxy;

typedef struct XrCfgFilter {
    int32_t number;
    int32_t ruleKind;
    char hostPattern1[256];
    char portPattern1[64];
    char hostPattern2[256];
    char portPattern2[64];
    XrCfgText128 *leadList; /* filter rules only */
    int32_t leadCount;
    char selector[128];
    XrCfgText128 *mainList;
    int32_t mainCount;
    XrCfgText128 *tailList;
    int32_t tailCount;
} XrCfgFilter;

/* Kinds 6 (localdns) and 7 (remotedns). */
typedef struct XrCfgDns {
    int32_t number;
    XrCfgText256 *domainList;
    int32_t domainCount;
} XrCfgDns;

/* Kinds 8 (yes), 9 (no) and 10 (sys). */
typedef struct XrCfgApp {
    int32_t number;
    char name[256];
} XrCfgApp;

typedef struct XrCfgPluginOption {
    char name[128];
    char value[256];
} XrCfgPluginOption;

typedef struct XrCfgPlugin {
    int32_t number;
    int32_t pluginType;
    int32_t pluginId;
    char pluginName[256];
    char pluginPath[128];
    char pluginText[256];
    XrCfgPluginOption *options;
    int32_t optionCount;
} XrCfgPlugin;

typedef struct XrCfgInterface {
    int32_t number;
    char interfaceName[128];
    int32_t interfaceFlags; /* bits 0x1, 0x2, 0x4 */
    XrCfgText128 *addressList;
    int32_t addressCount;
} XrCfgInterface;

typedef struct XrCfgBan {
    int32_t number;
    char hostPattern[256];
    char portPattern[64];
} XrCfgBan;

/* All calls return 0 on success and -1 on failure unless said otherwise. A kind that the model's
 * form and section mask do not enable fails with -1. */

/* path null: an empty model without a file. A missing file fails; an empty file opens empty. */
int32_t XrCfgOpen(const char *path, int32_t form, uint32_t mask, XrCfg **cfg);
int32_t XrCfgClose(XrCfg *cfg);
/* path null: the path given to open. mask 0: the model's mask; it must not exceed it. */
int32_t XrCfgSave(const char *path, uint32_t mask, XrCfg *cfg);
/* kind 1..13: the kind's modified flag; kind 0: 1 when any kind is modified. */
int32_t XrCfgModified(XrCfg *cfg, int32_t kind);
int32_t XrCfgCount(XrCfg *cfg, int32_t kind);
/* Copies record number (1..count) into record; its lists become the caller's, freed with
 * XrCfgFreeRecord. Kind 1: the value of the variable named in record (an unknown name reads as
 * the empty value and is not entered). */
int32_t XrCfgGet(XrCfg *cfg, int32_t kind, void *record);
/* 1 while more records follow, 0 for the last one (the next call starts again), -1 when the
 * kind is empty or on error. */
int32_t XrCfgGetNext(XrCfg *cfg, int32_t kind, void *record);
/* Update, insert and append refuse (-1, the model unchanged) a record that a save could not
 * write so that it reads back as it is; XrCfgCheckRecord (cfg_model.h) names the field. A list
 * that a line writes as "-" when empty is stored as the one item "-" (an interface's addresses
 * as "0.0.0.0"), and a plug-in's type, id and text as the options its line carries. */
/* Replaces record number (1..count) by a copy; kind 1 sets the variable. */
int32_t XrCfgUpdate(XrCfg *cfg, int32_t kind, const void *record);
/* Inserts a copy before the 0-based position number (0..count); kind 1 sets the variable. */
int32_t XrCfgInsert(XrCfg *cfg, int32_t kind, const void *record);
/* Sets record's number to the count and inserts it: the copy goes last. */
int32_t XrCfgAppend(XrCfg *cfg, int32_t kind, void *record);
/* record null: every record of the kind; else record number (kind 1: the named variable). Fails
 * when the kind holds no records. */
int32_t XrCfgDelete(XrCfg *cfg, int32_t kind, const void *record);
/* Frees the lists of a record that XrCfgGet or XrCfgGetNext filled and zeroes it. */
int32_t XrCfgFreeRecord(int32_t kind, void *record);

#ifdef __cplusplus
}
#endif

#endif
