// The configuration file writer: the whole model, section by section, one line per record.
// Lists are written item by item, so no list is too long to write.
#include "cfg_model.h"

#include <stdlib.h>
#include <string.h>

#include "nt/nt_log.h"

namespace {

// The Windows build writes in text mode, where the runtime turns "\n" into CR LF; elsewhere
// the CR is written here, so that both builds produce the same bytes.
#ifdef _WIN32
const char kLineEnd[] = "\n";
#else
const char kLineEnd[] = "\r\n";
#endif

// Lines are gathered in a buffer and handed to the stream in large pieces.
class Out {
public:
    explicit Out(FILE *file) : file_(file) {}

    void Put(const char *text, size_t length)
    {
        if (used_ + length > sizeof buffer_)
            Flush();
        if (length > sizeof buffer_) {
            fwrite(text, 1, length, file_);
            return;
        }
        memcpy(buffer_ + used_, text, length);
        used_ += length;
    }
    void Put(const char *text) { Put(text, strlen(text)); }
    void Put(char c) { Put(&c, 1); }

    void Flush()
    {
        if (used_)
            fwrite(buffer_, 1, used_, file_);
        used_ = 0;
    }

private:
    FILE *file_;
    char buffer_[16384];
    size_t used_ = 0;
};

// A record's text field, never read past its own size.
size_t TextLength(const char *text, size_t size)
{
    const char *end = static_cast<const char *>(memchr(text, '\0', size));
    return end ? static_cast<size_t>(end - text) : size;
}

void PutText(Out &out, const char *text, size_t size)
{
    out.Put(text, TextLength(text, size));
}

template <size_t N>
void PutField(Out &out, const char (&text)[N])
{
    out.Put(' ');
    PutText(out, text, N);
}

// " " and the items joined by ","; nothing after the blank when there are none (the model holds
// an empty list only where the line writes it so, as a noproxy rule's servers).
template <size_t N>
void PutList(Out &out, const char (*items)[N], int32_t count)
{
    out.Put(' ');
    for (int32_t i = 0; items && i < count; i++) {
        if (i)
            out.Put(',');
        PutText(out, items[i], N);
    }
}

void PutNumber(Out &out, int32_t number)
{
    char text[16];
    out.Put(text, snprintf(text, sizeof text, "%d", static_cast<int>(number)));
}

void EndLine(Out &out)
{
    out.Put(kLineEnd);
}

// An option value; quoted when it holds a blank, and also when it holds a "," that would
// otherwise be read back as the start of another option.
void PutOptionValue(Out &out, const char *value, size_t size)
{
    size_t length = TextLength(value, size);
    bool quoted = memchr(value, ' ', length) || memchr(value, ',', length);
    if (quoted)
        out.Put('"');
    out.Put(value, length);
    if (quoted)
        out.Put('"');
}

// The model holds a plug-in's type, id and text as options (the record API and the reader put
// them there), so the options are the whole option text.
void PutOptionText(Out &out, const XrCfgPlugin *r)
{
    out.Put(' ');
    for (int32_t i = 0; r->options && i < r->optionCount; i++) {
        const XrCfgPluginOption &option = r->options[i];
        if (i)
            out.Put(',');
        PutText(out, option.name, sizeof option.name);
        out.Put('=');
        PutOptionValue(out, option.value, sizeof option.value);
    }
}

void WriteAuth(Out &out, const void *record, int32_t)
{
    const XrCfgAuth *r = static_cast<const XrCfgAuth *>(record);
    out.Put("auth");
    PutField(out, r->hostPattern);
    PutField(out, r->portPattern);
    PutList(out, r->authList, r->authCount);
}

void WriteRoute(Out &out, const void *record, int32_t)
{
    const XrCfgRoute *r = static_cast<const XrCfgRoute *>(record);
    out.Put("route");
    PutField(out, r->routeField1);
    PutField(out, r->routeField2);
    PutField(out, r->routeField3);
}

void WriteProxy(Out &out, const void *record, int32_t form)
{
    const XrCfgProxy *r = static_cast<const XrCfgProxy *>(record);
    bool gbind = form == XR_CFG_FORM_CLIENT && r->ruleKind == XR_CFG_RULE_GBIND;
    out.Put(r->ruleKind == XR_CFG_RULE_SOCKS4   ? "socks4"
                     : r->ruleKind == XR_CFG_RULE_SOCKS5 ? "socks5"
                     : gbind                             ? "gbind"
                                                         : "noproxy");
    if (form == XR_CFG_FORM_CLIENT && !gbind)
        PutField(out, r->leadField);
    PutField(out, r->destination);
    PutField(out, r->destPort);
    if (form == XR_CFG_FORM_CLIENT && !gbind)
        PutList(out, r->nameList, r->nameCount);
    PutList(out, r->serverList, r->serverCount);
}

void WriteFilter(Out &out, const void *record, int32_t)
{
    const XrCfgFilter *r = static_cast<const XrCfgFilter *>(record);
    bool filter = r->ruleKind == XR_CFG_RULE_FILTER;
    out.Put(filter ? "filter" : r->ruleKind == XR_CFG_RULE_PERMIT ? "permit" : "deny");
    if (filter)
        PutList(out, r->leadList, r->leadCount);
    PutList(out, r->mainList, r->mainCount);
    PutField(out, r->selector);
    PutField(out, r->hostPattern1);
    PutField(out, r->hostPattern2);
    PutField(out, r->portPattern1);
    PutField(out, r->portPattern2);
    PutList(out, r->tailList, r->tailCount);
}

void WriteDns(Out &out, const char *keyword, const void *record)
{
    const XrCfgDns *r = static_cast<const XrCfgDns *>(record);
    out.Put(keyword);
    PutList(out, r->domainList, r->domainCount);
}

void WriteLocalDns(Out &out, const void *record, int32_t)
{
    WriteDns(out, "localdns", record);
}

void WriteRemoteDns(Out &out, const void *record, int32_t)
{
    WriteDns(out, "remotedns", record);
}

void WriteApp(Out &out, const char *keyword, const void *record)
{
    out.Put(keyword);
    PutField(out, static_cast<const XrCfgApp *>(record)->name);
}

void WriteYes(Out &out, const void *record, int32_t)
{
    WriteApp(out, "yes", record);
}

void WriteNo(Out &out, const void *record, int32_t)
{
    WriteApp(out, "no", record);
}

void WriteSys(Out &out, const void *record, int32_t)
{
    WriteApp(out, "sys", record);
}

void WritePlugin(Out &out, const void *record, int32_t)
{
    const XrCfgPlugin *r = static_cast<const XrCfgPlugin *>(record);
    out.Put("plugin");
    PutField(out, r->pluginName);
    // A nameless or switched-off ("#...") plug-in is the whole line.
    if (!r->pluginName[0] || r->pluginName[0] == '#')
        return;
    PutField(out, r->pluginPath);
    PutOptionText(out, r);
}

void WriteInterface(Out &out, const void *record, int32_t)
{
    const XrCfgInterface *r = static_cast<const XrCfgInterface *>(record);
    out.Put("interface");
    PutField(out, r->interfaceName);
    out.Put(' ');
    PutNumber(out, r->interfaceFlags);
    PutList(out, r->addressList, r->addressCount);
}

void WriteBan(Out &out, const void *record, int32_t)
{
    const XrCfgBan *r = static_cast<const XrCfgBan *>(record);
    out.Put("ban");
    PutField(out, r->hostPattern);
    PutField(out, r->portPattern);
}

typedef void (*LineWriter)(Out &out, const void *record, int32_t form);

const LineWriter kWriters[XR_CFG_KINDS + 1] = {
    nullptr,      nullptr,       WriteAuth, WriteRoute, WriteProxy, WriteFilter,    WriteLocalDns,
    WriteRemoteDns, WriteYes,    WriteNo,   WriteSys,   WritePlugin, WriteInterface, WriteBan,
};

void WriteVariables(Out &out, XrAa *variables, const void *const *keys, int32_t keyCount)
{
    for (int32_t i = 0; i < keyCount; i++) {
        const char *name = static_cast<const char *>(keys[i]);
        const char *value = static_cast<const char *>(XrAaLookup(variables, name, 0));
        if (!value)
            continue;
        out.Put("set ");
        out.Put(name);
        out.Put('=');
        PutText(out, value, XR_CFG_VALUE_SIZE);
        EndLine(out);
    }
}

int32_t SaveInPlace(const char *path, const XrCfg *cfg, uint32_t mask, const void *const *keys, int32_t keyCount)
{
    XrLogWrite(nullptr, XR_LOG_WARNING, 0, "Config: cannot replace %s, writing it in place", path);
    FILE *file = XrCfgCreateInPlace(path);
    if (!file)
        return -1;
    int32_t written = XrCfgWrite(file, cfg, mask, keys, keyCount);
    return XrCfgFinish(file) == 0 ? written : -1;
}

}  // namespace

int32_t XrCfgWrite(FILE *file, const XrCfg *cfg, uint32_t mask, const void *const *keys, int32_t keyCount)
{
    static const int32_t clientOrder[] = {
        XR_CFG_KIND_SET,       XR_CFG_KIND_BAN,       XR_CFG_KIND_AUTH, XR_CFG_KIND_PROXY, XR_CFG_KIND_LOCALDNS,
        XR_CFG_KIND_REMOTEDNS, XR_CFG_KIND_YES,       XR_CFG_KIND_NO,   XR_CFG_KIND_SYS,   0};
    static const int32_t serverOrder[] = {
        XR_CFG_KIND_SET,    XR_CFG_KIND_BAN,       XR_CFG_KIND_AUTH,   XR_CFG_KIND_ROUTE, XR_CFG_KIND_PROXY,
        XR_CFG_KIND_FILTER, XR_CFG_KIND_INTERFACE, XR_CFG_KIND_PLUGIN, 0};
    Out out(file);
    for (const int32_t *kind = cfg->form == XR_CFG_FORM_CLIENT ? clientOrder : serverOrder; *kind; kind++) {
        if (!(mask & XrCfgSection(*kind)))
            continue;
        if (*kind == XR_CFG_KIND_SET) {
            if (cfg->variables)
                WriteVariables(out, cfg->variables, keys, keyCount);
            continue;
        }
        for (int32_t i = 0; cfg->records[*kind] && i < cfg->kinds[*kind].count; i++) {
            const char *record = static_cast<const char *>(cfg->records[*kind]) + i * XrCfgLayouts[*kind].size;
            kWriters[*kind](out, record, cfg->form);
            EndLine(out);
        }
    }
    out.Flush();
    return ferror(file) ? -1 : 0;
}

// The new contents go to a file next to the old one, which is replaced only once they are
// complete on the disk: a failed save leaves the old file as it was.
int32_t XrCfgSave(const char *path, uint32_t mask, XrCfg *cfg)
{
    if (!cfg)
        return -1;
    if (mask == 0)
        mask = cfg->mask;
    if (mask & ~cfg->mask)
        return -1;
    if (!path)
        path = cfg->path;
    if (!path)
        return -1;
    // The replace below would go through a read-only file's attribute; the owner's say wins.
    if (XrCfgReadOnly(path)) {
        XrLogWrite(nullptr, XR_LOG_WARNING, 0, "Config: %s is read-only, not saved", path);
        return -1;
    }
    const void **keys = nullptr;
    int32_t keyCount = 0;
    if ((mask & XR_CFG_SECTION_VARIABLES) && cfg->variables) {
        XrAaKeys(cfg->variables, &keys, &keyCount);
        if (keyCount < 0)
            return -1;
    }
    char *sibling = nullptr;
    FILE *file = XrCfgCreateSibling(path, &sibling);
    int32_t result;
    if (!file) {
        result = SaveInPlace(path, cfg, mask, keys, keyCount);
    } else {
        int32_t written = XrCfgWrite(file, cfg, mask, keys, keyCount);
        if (XrCfgFinish(file) != 0 || written != 0) {
            remove(sibling);
            result = -1;
        } else if (XrCfgReplace(sibling, path) == 0) {
            result = 0;
        } else {
            remove(sibling);
            result = SaveInPlace(path, cfg, mask, keys, keyCount);
        }
    }
    free(sibling);
    free(keys);
    return result;
}
