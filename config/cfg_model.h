/* Inside the configuration model: the model record, the record layouts that let one copy and one
 * free serve every kind, and the entries that the tool and the fuzz target use. */
#ifndef CONFIG_CFG_MODEL_H
#define CONFIG_CFG_MODEL_H

#include "xrcfg.h"

#include <stddef.h>
#include <stdio.h>

#include "myaa.h"

#ifdef __cplusplus
extern "C" {
#endif

#define XR_CFG_VALUE_SIZE 256
#define XR_CFG_NAME_SIZE 128

typedef struct XrCfgKindState {
    int32_t kind;     /* 0 while the kind is not enabled */
    int32_t modified;
    int32_t count;    /* records; for kind 1 only the set lines while parsing, as the variable
                         table counts the variables */
    int32_t cursor;   /* next record of get-next; the fill position while parsing */
} XrCfgKindState;

struct XrCfg {
    int32_t form;
    uint32_t mask;
    char *path;
    XrAa *variables;
    const void **keys; /* names snapshot of get-next on kind 1 */
    int32_t keyCount;
    void *records[XR_CFG_KINDS + 1];    /* kinds 2..13, null while empty */
    int32_t capacity[XR_CFG_KINDS + 1]; /* records allocated; grows geometrically */
    XrCfgKindState kinds[XR_CFG_KINDS + 1];
};

/* One list field of a record: where the item pointer and the count sit, and the item size. */
typedef struct XrCfgListLayout {
    size_t items;
    size_t count;
    size_t itemSize;
} XrCfgListLayout;

typedef struct XrCfgLayout {
    size_t size;
    int32_t lists;
    XrCfgListLayout list[3];
} XrCfgLayout;

/* Indexed by kind 1..13. */
extern const XrCfgLayout XrCfgLayouts[XR_CFG_KINDS + 1];

/* The section bit of a kind. */
uint32_t XrCfgSection(int32_t kind);
/* Frees the lists that a record of kinds 2..13 owns (not the record). */
void XrCfgFreeLists(int32_t kind, void *record);
/* The variable's value buffer, entered empty when the name is new; null when memory runs out. */
char *XrCfgVariableValue(XrAa *variables, const char *name);

/* Where and why an open refused the text (line 0: the file itself could not be read), or why
 * a record was refused (line 0). */
typedef struct XrCfgProblem {
    int32_t line;
    char reason[160];
} XrCfgProblem;

/* The reader's white space: blank, tab, newline, vertical tab, form feed, carriage return. */
int XrCfgIsSpace(char c);
/* A decimal number as the reader takes the plug-in options' numbers (atoi-like, held to the
 * 32-bit range). */
int32_t XrCfgDecimal(const char *text, const char *end);

/* 0 when a record of kind can be saved in form so that it reads back as it is; else -1 with
 * the field at fault named in problem (may be null). Update, insert and append refuse what
 * this refuses. Lists that a line writes as "-" (or an interface's "0.0.0.0") when empty may
 * be empty, and a plug-in's type, id and text need no options of their own: the record API
 * stores them as the line will carry them (XrCfgNormalRecord). */
int32_t XrCfgCheckRecord(int32_t form, int32_t kind, const void *record, XrCfgProblem *problem);
/* Puts a checked record, or one the reader filled, into the form its line reads back as: an
 * empty "-" list becomes the one item "-", an interface without addresses gets "0.0.0.0", a
 * plug-in gets the type, id and text options its line carries. -1 when memory runs out (the
 * record keeps what it had). */
int32_t XrCfgNormalRecord(int32_t form, int32_t kind, void *record);

/* XrCfgOpen, with the first refused line reported in problem (may be null). */
int32_t XrCfgOpenChecked(const char *path, int32_t form, uint32_t mask, XrCfg **cfg,
                         XrCfgProblem *problem);
/* XrCfgOpen over the bytes a file would hold; path is only remembered for save. */
int32_t XrCfgOpenBytes(const char *path, int32_t form, uint32_t mask, const char *bytes,
                       size_t size, XrCfg **cfg, XrCfgProblem *problem);

/* Writes the model's sections in mask to an open stream; 0 unless the stream reports an error. */
int32_t XrCfgWrite(FILE *file, const XrCfg *cfg, uint32_t mask, const void *const *keys,
                   int32_t keyCount);

/* Platform file handling for save. A new file next to target, open for writing, its name in
 * *sibling (the caller frees it); null when none can be created. */
FILE *XrCfgCreateSibling(const char *target, char **sibling);
/* Flushes the stream to the disk and closes it; 0 when all of it went well. */
int32_t XrCfgFinish(FILE *file);
/* Puts sibling in target's place; 0 on success, else both files are as they were. */
int32_t XrCfgReplace(const char *sibling, const char *target);
/* 1 when target exists and may not be written (a read-only file), else 0. */
int32_t XrCfgReadOnly(const char *target);
/* Opens target itself for writing, truncating it. */
FILE *XrCfgCreateInPlace(const char *target);

#ifdef __cplusplus
}
#endif

#endif
