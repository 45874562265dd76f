// The record interface of the configuration model. Records of kinds 2..13 live in one contiguous
// array per kind; a record owns its lists, so every copy into or out of the model duplicates
// them. One layout table describes the lists of every kind, so copy and free are written once.
#include "cfg_model.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "xrstr.h"

#define XR_CFG_LIST(type, items, count, itemSize) \
    { offsetof(type, items), offsetof(type, count), itemSize }

const XrCfgLayout XrCfgLayouts[XR_CFG_KINDS + 1] = {
    {0, 0, {}},
    {sizeof(XrCfgVariable), 0, {}},
    {sizeof(XrCfgAuth), 1, {XR_CFG_LIST(XrCfgAuth, authList, authCount, sizeof(XrCfgText128))}},
    {sizeof(XrCfgRoute), 0, {}},
    {sizeof(XrCfgProxy), 2,
     {XR_CFG_LIST(XrCfgProxy, nameList, nameCount, sizeof(XrCfgText128)),
      XR_CFG_LIST(XrCfgProxy, serverList, serverCount, sizeof(XrCfgText256))}},
    {sizeof(XrCfgFilter), 3,
     {XR_CFG_LIST(XrCfgFilter, leadList, leadCount, sizeof(XrCfgText128)),
      XR_CFG_LIST(XrCfgFilter, mainList, mainCount, sizeof(XrCfgText128)),
      XR_CFG_LIST(XrCfgFilter, tailList, tailCount, sizeof(XrCfgText128))}},
    {sizeof(XrCfgDns), 1, {XR_CFG_LIST(XrCfgDns, domainList, domainCount, sizeof(XrCfgText256))}},
    {sizeof(XrCfgDns), 1, {XR_CFG_LIST(XrCfgDns, domainList, domainCount, sizeof(XrCfgText256))}},
    {sizeof(XrCfgApp), 0, {}},
    {sizeof(XrCfgApp), 0, {}},
    {sizeof(XrCfgApp), 0, {}},
    {sizeof(XrCfgPlugin), 1,
     {XR_CFG_LIST(XrCfgPlugin, options, optionCount, sizeof(XrCfgPluginOption))}},
    {sizeof(XrCfgInterface), 1,
     {XR_CFG_LIST(XrCfgInterface, addressList, addressCount, sizeof(XrCfgText128))}},
    {sizeof(XrCfgBan), 0, {}},
};

namespace {

// Room for a record of any kind, for copies made before the model is touched.
union AnyRecord {
    XrCfgAuth auth;
    XrCfgRoute route;
    XrCfgProxy proxy;
    XrCfgFilter filter;
    XrCfgDns dns;
    XrCfgApp app;
    XrCfgPlugin plugin;
    XrCfgInterface iface;
    XrCfgBan ban;
};

const int32_t kFirstCapacity = 4;

bool Enabled(const XrCfg *cfg, int32_t kind)
{
    return cfg && kind >= 1 && kind <= XR_CFG_KINDS && cfg->kinds[kind].kind != 0;
}

// List pointers are read and written through memcpy: the fields have different pointer types.
void *ListItems(const void *record, const XrCfgListLayout &list)
{
    void *items;
    memcpy(&items, static_cast<const char *>(record) + list.items, sizeof items);
    return items;
}

int32_t ListCount(const void *record, const XrCfgListLayout &list)
{
    int32_t count;
    memcpy(&count, static_cast<const char *>(record) + list.count, sizeof count);
    return count;
}

void SetList(void *record, const XrCfgListLayout &list, void *items, int32_t count)
{
    memcpy(static_cast<char *>(record) + list.items, &items, sizeof items);
    memcpy(static_cast<char *>(record) + list.count, &count, sizeof count);
}

void SetNumber(void *record, int32_t number)
{
    memcpy(record, &number, sizeof number);
}

int32_t Number(const void *record)
{
    int32_t number;
    memcpy(&number, record, sizeof number);
    return number;
}

char *Slot(const XrCfg *cfg, int32_t kind, int32_t index)
{
    return static_cast<char *>(cfg->records[kind]) + static_cast<size_t>(index) * XrCfgLayouts[kind].size;
}

// dest = src with every list duplicated; a list with no items or no array becomes empty. On
// failure dest is untouched.
int CopyRecord(int32_t kind, void *dest, const void *src)
{
    const XrCfgLayout &layout = XrCfgLayouts[kind];
    void *copies[3] = {};
    int32_t counts[3] = {};
    for (int32_t i = 0; i < layout.lists; i++) {
        const XrCfgListLayout &list = layout.list[i];
        const void *items = ListItems(src, list);
        int32_t count = ListCount(src, list);
        if (!items || count <= 0)
            continue;
        char *copy = static_cast<char *>(
            static_cast<size_t>(count) <= SIZE_MAX / list.itemSize ? malloc(count * list.itemSize) : nullptr);
        if (!copy) {
            for (int32_t j = 0; j < i; j++)
                free(copies[j]);
            return -1;
        }
        memcpy(copy, items, count * list.itemSize);
        copies[i] = copy;
        counts[i] = count;
    }
    memcpy(dest, src, layout.size);
    for (int32_t i = 0; i < layout.lists; i++)
        SetList(dest, layout.list[i], copies[i], counts[i]);
    return 0;
}

void FreeArray(XrCfg *cfg, int32_t kind)
{
    for (int32_t i = 0; i < cfg->kinds[kind].count; i++)
        XrCfgFreeLists(kind, Slot(cfg, kind, i));
    free(cfg->records[kind]);
    cfg->records[kind] = nullptr;
    cfg->capacity[kind] = 0;
    cfg->kinds[kind].count = 0;
}

void DropKeys(XrCfg *cfg)
{
    free(cfg->keys);
    cfg->keys = nullptr;
    cfg->keyCount = 0;
}

// A field of the caller's, cut to dest and terminated even when the caller did not terminate it.
void CopyField(char *dest, size_t destSize, const char *field, size_t fieldSize)
{
    size_t length = 0;
    while (length < fieldSize && length < destSize - 1 && field[length])
        length++;
    memcpy(dest, field, length);
    dest[length] = '\0';
}

void VariableName(const void *record, char (&name)[XR_CFG_NAME_SIZE])
{
    const XrCfgVariable *variable = static_cast<const XrCfgVariable *>(record);
    CopyField(name, sizeof name, variable->name, sizeof variable->name);
}

int32_t SetVariable(XrCfg *cfg, const void *record)
{
    if (XrCfgCheckRecord(cfg->form, XR_CFG_KIND_SET, record, nullptr) != 0)
        return -1;
    char name[XR_CFG_NAME_SIZE];
    VariableName(record, name);
    char *value = XrCfgVariableValue(cfg->variables, name);
    if (!value)
        return -1;
    const XrCfgVariable *variable = static_cast<const XrCfgVariable *>(record);
    CopyField(value, XR_CFG_VALUE_SIZE, variable->value, sizeof variable->value);
    cfg->kinds[XR_CFG_KIND_SET].modified = 1;
    return 0;
}

// A name that is not in the table reads as the empty value without being entered: an entered
// empty value would be saved as a line that does not read back.
int32_t GetVariable(XrCfg *cfg, void *record)
{
    char name[XR_CFG_NAME_SIZE];
    VariableName(record, name);
    char *dest = static_cast<XrCfgVariable *>(record)->value;
    if (!XrAaExists(cfg->variables, name)) {
        memset(dest, 0, XR_CFG_VALUE_SIZE);
        return 0;
    }
    const char *value = XrCfgVariableValue(cfg->variables, name);
    if (!value)
        return -1;
    memcpy(dest, value, XR_CFG_VALUE_SIZE);
    return 0;
}

int32_t GetNextVariable(XrCfg *cfg, void *record)
{
    XrCfgKindState &state = cfg->kinds[XR_CFG_KIND_SET];
    if (state.cursor == 0) {
        DropKeys(cfg);
        XrAaKeys(cfg->variables, &cfg->keys, &cfg->keyCount);
        if (cfg->keyCount <= 0) {
            cfg->keys = nullptr;
            cfg->keyCount = 0;
            return -1;
        }
    }
    XrCfgVariable *variable = static_cast<XrCfgVariable *>(record);
    XrStrCopy(variable->name, sizeof variable->name, static_cast<const char *>(cfg->keys[state.cursor]));
    state.cursor++;
    int32_t more = 1;
    if (state.cursor >= cfg->keyCount) {
        state.cursor = 0;
        more = 0;
    }
    return GetVariable(cfg, record) == 0 ? more : -1;
}

int32_t DeleteVariables(XrCfg *cfg, const void *record)
{
    XrCfgKindState &state = cfg->kinds[XR_CFG_KIND_SET];
    if (record) {
        char name[XR_CFG_NAME_SIZE];
        VariableName(record, name);
        if (!XrAaExists(cfg->variables, name))
            return -1;
        XrAaDelete(cfg->variables, name);
    } else {
        XrAa *empty = XrAaCreate(XR_AA_TEXT_KEYS, 0, XR_CFG_VALUE_SIZE, 10);
        if (!empty)
            return -1;
        XrAaDestroy(cfg->variables);
        cfg->variables = empty;
    }
    DropKeys(cfg);
    state.modified = 1;
    state.cursor = 0;
    return 0;
}

int32_t GetRecord(XrCfg *cfg, int32_t kind, void *record)
{
    int32_t number = Number(record);
    if (number < 1 || number > cfg->kinds[kind].count)
        return -1;
    return CopyRecord(kind, record, Slot(cfg, kind, number - 1));
}

void Renumber(XrCfg *cfg, int32_t kind, int32_t from)
{
    for (int32_t i = from; i < cfg->kinds[kind].count; i++)
        SetNumber(Slot(cfg, kind, i), i + 1);
}

// The model's own copy of a caller's record, in the form its line reads back as; -1 for a record
// that cannot be saved so that it reads back, or when memory runs out.
int32_t CopyIn(const XrCfg *cfg, int32_t kind, AnyRecord *copy, const void *record)
{
    if (XrCfgCheckRecord(cfg->form, kind, record, nullptr) != 0 || CopyRecord(kind, copy, record) != 0)
        return -1;
    if (XrCfgNormalRecord(cfg->form, kind, copy) != 0) {
        XrCfgFreeLists(kind, copy);
        return -1;
    }
    return 0;
}

int32_t InsertRecord(XrCfg *cfg, int32_t kind, const void *record)
{
    XrCfgKindState &state = cfg->kinds[kind];
    int32_t position = Number(record);
    if (position < 0 || position > state.count)
        return -1;
    AnyRecord copy;
    if (CopyIn(cfg, kind, &copy, record) != 0)
        return -1;
    size_t size = XrCfgLayouts[kind].size;
    if (state.count == cfg->capacity[kind]) {
        int64_t capacity = cfg->capacity[kind] ? static_cast<int64_t>(cfg->capacity[kind]) * 2 : kFirstCapacity;
        void *grown = capacity <= INT32_MAX && static_cast<uint64_t>(capacity) <= SIZE_MAX / size
                          ? realloc(cfg->records[kind], static_cast<size_t>(capacity) * size)
                          : nullptr;
        if (!grown) {
            XrCfgFreeLists(kind, &copy);
            return -1;
        }
        cfg->records[kind] = grown;
        cfg->capacity[kind] = static_cast<int32_t>(capacity);
    }
    memmove(Slot(cfg, kind, position + 1), Slot(cfg, kind, position), (state.count - position) * size);
    memcpy(Slot(cfg, kind, position), &copy, size);
    state.count++;
    Renumber(cfg, kind, position);
    state.modified = 1;
    return 0;
}

int32_t DeleteRecords(XrCfg *cfg, int32_t kind, const void *record)
{
    XrCfgKindState &state = cfg->kinds[kind];
    if (state.count == 0)
        return -1;
    if (!record) {
        FreeArray(cfg, kind);
    } else {
        int32_t number = Number(record);
        if (number < 1 || number > state.count)
            return -1;
        if (state.count == 1) {
            FreeArray(cfg, kind);
        } else {
            XrCfgFreeLists(kind, Slot(cfg, kind, number - 1));
            memmove(Slot(cfg, kind, number - 1), Slot(cfg, kind, number),
                    (state.count - number) * XrCfgLayouts[kind].size);
            state.count--;
            Renumber(cfg, kind, number - 1);
        }
    }
    state.modified = 1;
    state.cursor = 0;
    return 0;
}

}  // namespace

uint32_t XrCfgSection(int32_t kind)
{
    static const uint32_t sections[XR_CFG_KINDS + 1] = {
        0,
        XR_CFG_SECTION_VARIABLES,
        XR_CFG_SECTION_AUTH,
        XR_CFG_SECTION_ROUTES,
        XR_CFG_SECTION_PROXY,
        XR_CFG_SECTION_FILTER,
        XR_CFG_SECTION_DNS,
        XR_CFG_SECTION_DNS,
        XR_CFG_SECTION_APPS,
        XR_CFG_SECTION_APPS,
        XR_CFG_SECTION_APPS,
        XR_CFG_SECTION_PLUGINS,
        XR_CFG_SECTION_INTERFACES,
        XR_CFG_SECTION_BANS,
    };
    return kind >= 1 && kind <= XR_CFG_KINDS ? sections[kind] : 0;
}

void XrCfgFreeLists(int32_t kind, void *record)
{
    const XrCfgLayout &layout = XrCfgLayouts[kind];
    for (int32_t i = 0; i < layout.lists; i++) {
        free(ListItems(record, layout.list[i]));
        SetList(record, layout.list[i], nullptr, 0);
    }
}

char *XrCfgVariableValue(XrAa *variables, const char *name)
{
    // A reusing lookup still finds a name that lies beyond a deleted slot on its probe path.
    return static_cast<char *>(XrAaLookup(variables, name, 1));
}

int32_t XrCfgClose(XrCfg *cfg)
{
    if (!cfg)
        return -1;
    for (int32_t kind = XR_CFG_KIND_AUTH; kind <= XR_CFG_KINDS; kind++)
        if (cfg->records[kind])
            FreeArray(cfg, kind);
    if (cfg->variables)
        XrAaDestroy(cfg->variables);
    DropKeys(cfg);
    free(cfg->path);
    free(cfg);
    return 0;
}

int32_t XrCfgModified(XrCfg *cfg, int32_t kind)
{
    if (kind == 0 && cfg) {
        for (int32_t k = 1; k <= XR_CFG_KINDS; k++)
            if (cfg->kinds[k].kind && cfg->kinds[k].modified)
                return 1;
        return 0;
    }
    return Enabled(cfg, kind) ? cfg->kinds[kind].modified : -1;
}

int32_t XrCfgCount(XrCfg *cfg, int32_t kind)
{
    if (!Enabled(cfg, kind))
        return -1;
    return kind == XR_CFG_KIND_SET ? cfg->variables->count : cfg->kinds[kind].count;
}

int32_t XrCfgGet(XrCfg *cfg, int32_t kind, void *record)
{
    if (!Enabled(cfg, kind) || !record)
        return -1;
    return kind == XR_CFG_KIND_SET ? GetVariable(cfg, record) : GetRecord(cfg, kind, record);
}

int32_t XrCfgGetNext(XrCfg *cfg, int32_t kind, void *record)
{
    if (!Enabled(cfg, kind) || !record)
        return -1;
    if (kind == XR_CFG_KIND_SET)
        return GetNextVariable(cfg, record);
    XrCfgKindState &state = cfg->kinds[kind];
    if (state.count == 0)
        return -1;
    SetNumber(record, state.cursor + 1);
    state.cursor++;
    int32_t more = 1;
    if (state.cursor >= state.count) {
        state.cursor = 0;
        more = 0;
    }
    return GetRecord(cfg, kind, record) == 0 ? more : -1;
}

int32_t XrCfgUpdate(XrCfg *cfg, int32_t kind, const void *record)
{
    if (!Enabled(cfg, kind) || !record)
        return -1;
    if (kind == XR_CFG_KIND_SET)
        return SetVariable(cfg, record);
    int32_t number = Number(record);
    if (number < 1 || number > cfg->kinds[kind].count)
        return -1;
    AnyRecord copy;
    if (CopyIn(cfg, kind, &copy, record) != 0)
        return -1;
    char *slot = Slot(cfg, kind, number - 1);
    XrCfgFreeLists(kind, slot);
    memcpy(slot, &copy, XrCfgLayouts[kind].size);
    cfg->kinds[kind].modified = 1;
    return 0;
}

int32_t XrCfgInsert(XrCfg *cfg, int32_t kind, const void *record)
{
    if (!Enabled(cfg, kind) || !record)
        return -1;
    return kind == XR_CFG_KIND_SET ? SetVariable(cfg, record) : InsertRecord(cfg, kind, record);
}

int32_t XrCfgAppend(XrCfg *cfg, int32_t kind, void *record)
{
    if (!Enabled(cfg, kind) || !record)
        return -1;
    if (kind != XR_CFG_KIND_SET)
        SetNumber(record, cfg->kinds[kind].count);
    return XrCfgInsert(cfg, kind, record);
}

int32_t XrCfgDelete(XrCfg *cfg, int32_t kind, const void *record)
{
    if (!Enabled(cfg, kind))
        return -1;
    if (kind == XR_CFG_KIND_SET)
        return cfg->variables->count == 0 ? -1 : DeleteVariables(cfg, record);
    return DeleteRecords(cfg, kind, record);
}

int32_t XrCfgFreeRecord(int32_t kind, void *record)
{
    if (kind < 1 || kind > XR_CFG_KINDS || !record)
        return -1;
    XrCfgFreeLists(kind, record);
    memset(record, 0, XrCfgLayouts[kind].size);
    return 0;
}
