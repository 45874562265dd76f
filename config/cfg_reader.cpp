// The configuration file reader. The text may come from anywhere (files are imported from web
// servers), so every field is measured against its record field before it is copied, and a line
// that does not fit makes the whole open fail rather than leaving a half-read model.
//
// Two passes over the text: the first counts the lines of each keyword so that each kind's array
// is allocated once, the second fills the records through one handler per keyword.
#include "cfg_model.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "nt/nt_log.h"
#include "xrstr.h"

namespace {

// A line being read: the handlers move the cursor field by field and never past the end.
struct Line {
    char *cursor;
    char *end;
    XrCfgProblem *problem;
};

typedef int (*Handler)(void *target, int32_t fill, int32_t keyword, Line &line);

enum Keyword {
    kSet, kAuth, kRoute, kNoproxy, kSocks4, kSocks5, kGbind, kPermit, kDeny, kFilter,
    kLocaldns, kRemotedns, kYes, kNo, kSys, kPlugin, kInterface, kBan, kKeywordCount
};

bool IsSpace(char c)
{
    return XrCfgIsSpace(c) != 0;
}

int Fail(Line &line, const char *format, ...)
{
    if (line.problem) {
        va_list args;
        va_start(args, format);
        vsnprintf(line.problem->reason, sizeof line.problem->reason, format, args);
        va_end(args);
    }
    return -1;
}

void SkipSpace(Line &line)
{
    while (line.cursor < line.end && IsSpace(*line.cursor))
        line.cursor++;
}

// The next run of non-white-space characters; -1 (reported) when the line has ended.
ptrdiff_t Token(Line &line, char **start, const char *what)
{
    SkipSpace(line);
    if (line.cursor == line.end)
        return Fail(line, "%s is missing", what);
    *start = line.cursor;
    while (line.cursor < line.end && !IsSpace(*line.cursor))
        line.cursor++;
    return line.cursor - *start;
}

int Word(Line &line, char *dest, size_t size, const char *what)
{
    char *start = nullptr;
    ptrdiff_t length = Token(line, &start, what);
    if (length < 0)
        return -1;
    if (static_cast<size_t>(length) > size - 1)
        return Fail(line, "%s is longer than %d characters", what, static_cast<int>(size - 1));
    memcpy(dest, start, length);
    dest[length] = '\0';
    return 0;
}

// Where the list item that starts at item ends: at the next "," or at the end of the run.
char *ItemEnd(char *item, char *end)
{
    char *comma = static_cast<char *>(memchr(item, ',', end - item));
    return comma ? comma : end;
}

// Items joined by ",", each (empty ones included) at most N-1 characters.
template <size_t N>
int List(Line &line, char (**items)[N], int32_t *count, bool optional, const char *what)
{
    SkipSpace(line);
    if (line.cursor == line.end && optional)
        return 0;
    char *start = nullptr;
    ptrdiff_t length = Token(line, &start, what);
    if (length < 0)
        return -1;
    if (length >= INT32_MAX)
        return Fail(line, "%s is too long", what);
    char *end = start + length;
    int32_t itemCount = 0;
    for (char *item = start; item <= end; item = ItemEnd(item, end) + 1, itemCount++)
        if (ItemEnd(item, end) - item > static_cast<ptrdiff_t>(N - 1))
            return Fail(line, "an item of %s is longer than %d characters", what, static_cast<int>(N - 1));
    char (*list)[N] = static_cast<char (*)[N]>(calloc(itemCount, N));
    if (!list)
        return Fail(line, "no memory for %s", what);
    char *item = start;
    for (int32_t i = 0; i < itemCount; i++, item = ItemEnd(item, end) + 1)
        memcpy(list[i], item, ItemEnd(item, end) - item);
    *items = list;
    *count = itemCount;
    return 0;
}

// The rest of the line, white space included, as one text of 1 to size-1 characters.
int Rest(Line &line, char *dest, size_t size, const char *what)
{
    SkipSpace(line);
    size_t length = line.end - line.cursor;
    if (length == 0)
        return Fail(line, "%s is missing", what);
    if (length > size - 1)
        return Fail(line, "%s is longer than %d characters", what, static_cast<int>(size - 1));
    memcpy(dest, line.cursor, length);
    dest[length] = '\0';
    line.cursor = line.end;
    return 0;
}

template <typename T>
T *Record(void *target, int32_t fill)
{
    T *record = static_cast<T *>(*static_cast<void **>(target)) + fill;
    record->number = fill + 1;
    return record;
}

int SetLine(void *target, int32_t, int32_t, Line &line)
{
    SkipSpace(line);
    char *name = line.cursor;
    while (line.cursor < line.end && !IsSpace(*line.cursor) && *line.cursor != '=')
        line.cursor++;
    size_t nameLength = line.cursor - name;
    if (line.cursor == line.end)
        return Fail(line, "the value is missing");
    if (nameLength > XR_CFG_NAME_SIZE - 1)
        return Fail(line, "the name is longer than %d characters", XR_CFG_NAME_SIZE - 1);
    line.cursor++;
    char value[XR_CFG_VALUE_SIZE] = {};
    if (Rest(line, value, sizeof value, "the value") != 0)
        return -1;
    char key[XR_CFG_NAME_SIZE];
    memcpy(key, name, nameLength);
    key[nameLength] = '\0';
    char *slot = XrCfgVariableValue(*static_cast<XrAa **>(target), key);
    if (!slot)
        return Fail(line, "no memory for the variable");
    memcpy(slot, value, sizeof value);
    return 0;
}

// The host and port patterns that authentication rules and bans begin with.
template <typename T>
int Patterns(Line &line, T *r)
{
    if (Word(line, r->hostPattern, sizeof r->hostPattern, "the host pattern") != 0)
        return -1;
    return Word(line, r->portPattern, sizeof r->portPattern, "the port pattern");
}

int AuthLine(void *target, int32_t fill, int32_t, Line &line)
{
    XrCfgAuth *r = Record<XrCfgAuth>(target, fill);
    if (Patterns(line, r) != 0)
        return -1;
    return List(line, &r->authList, &r->authCount, false, "the method list");
}

int BanLine(void *target, int32_t fill, int32_t, Line &line)
{
    return Patterns(line, Record<XrCfgBan>(target, fill));
}

int RouteLine(void *target, int32_t fill, int32_t, Line &line)
{
    XrCfgRoute *r = Record<XrCfgRoute>(target, fill);
    if (Word(line, r->routeField1, sizeof r->routeField1, "the first route field") != 0 ||
        Word(line, r->routeField2, sizeof r->routeField2, "the second route field") != 0)
        return -1;
    return Word(line, r->routeField3, sizeof r->routeField3, "the third route field");
}

int Destination(Line &line, XrCfgProxy *r)
{
    if (Word(line, r->destination, sizeof r->destination, "the destination") != 0)
        return -1;
    return Word(line, r->destPort, sizeof r->destPort, "the destination port");
}

int ServerList(Line &line, XrCfgProxy *r)
{
    return List(line, &r->serverList, &r->serverCount, false, "the server list");
}

int ClientProxyLine(void *target, int32_t fill, int32_t keyword, Line &line)
{
    XrCfgProxy *r = Record<XrCfgProxy>(target, fill);
    r->ruleKind = keyword - kNoproxy + XR_CFG_RULE_NOPROXY;
    if (keyword != kGbind && Word(line, r->leadField, sizeof r->leadField, "the lead field") != 0)
        return -1;
    if (Destination(line, r) != 0)
        return -1;
    if (keyword == kNoproxy)
        return List(line, &r->nameList, &r->nameCount, true, "the name list");
    if (keyword != kGbind && List(line, &r->nameList, &r->nameCount, false, "the name list") != 0)
        return -1;
    return ServerList(line, r);
}

int ServerProxyLine(void *target, int32_t fill, int32_t keyword, Line &line)
{
    XrCfgProxy *r = Record<XrCfgProxy>(target, fill);
    r->ruleKind = keyword == kSocks4   ? XR_CFG_RULE_SOCKS4
                  : keyword == kSocks5 ? XR_CFG_RULE_SOCKS5
                                       : XR_CFG_RULE_NOPROXY;
    if (Destination(line, r) != 0)
        return -1;
    return keyword == kNoproxy ? 0 : ServerList(line, r);
}

int FilterLine(void *target, int32_t fill, int32_t keyword, Line &line)
{
    XrCfgFilter *r = Record<XrCfgFilter>(target, fill);
    r->ruleKind = keyword - kPermit + XR_CFG_RULE_PERMIT;
    if (keyword == kFilter && List(line, &r->leadList, &r->leadCount, false, "the lead list") != 0)
        return -1;
    if (List(line, &r->mainList, &r->mainCount, false, "the main list") != 0 ||
        Word(line, r->selector, sizeof r->selector, "the selector") != 0 ||
        Word(line, r->hostPattern1, sizeof r->hostPattern1, "the first host pattern") != 0 ||
        Word(line, r->hostPattern2, sizeof r->hostPattern2, "the second host pattern") != 0 ||
        Word(line, r->portPattern1, sizeof r->portPattern1, "the first port pattern") != 0 ||
        Word(line, r->portPattern2, sizeof r->portPattern2, "the second port pattern") != 0)
        return -1;
    return List(line, &r->tailList, &r->tailCount, true, "the tail list");
}

int DnsLine(void *target, int32_t fill, int32_t, Line &line)
{
    XrCfgDns *r = Record<XrCfgDns>(target, fill);
    return List(line, &r->domainList, &r->domainCount, false, "the domain list");
}

int AppLine(void *target, int32_t fill, int32_t, Line &line)
{
    XrCfgApp *r = Record<XrCfgApp>(target, fill);
    return Rest(line, r->name, sizeof r->name, "the application name");
}

int InterfaceLine(void *target, int32_t fill, int32_t, Line &line)
{
    XrCfgInterface *r = Record<XrCfgInterface>(target, fill);
    if (Word(line, r->interfaceName, sizeof r->interfaceName, "the interface name") != 0)
        return -1;
    char *flags = nullptr;
    ptrdiff_t length = Token(line, &flags, "the interface flags");
    if (length < 0)
        return -1;
    r->interfaceFlags = XrCfgDecimal(flags, flags + length) & 0x7;
    return List(line, &r->addressList, &r->addressCount, false, "the address list");
}

// One option of a plug-in line, where the cursor is: name "=" value, the value in double quotes
// when it holds blanks. 1 when another option follows, 0 after the last, -1 when malformed.
int Option(Line &line, XrCfgPluginOption *option)
{
    char *name = line.cursor;
    char *p = name;
    while (p < line.end && *p != '=' && !IsSpace(*p))
        p++;
    if (p == line.end || *p != '=')
        return Fail(line, "an option has no \"=\"");
    size_t nameLength = p - name;
    if (nameLength > sizeof option->name - 1)
        return Fail(line, "an option name is longer than %d characters", static_cast<int>(sizeof option->name - 1));
    char *value = ++p;
    char *valueEnd;
    if (p < line.end && *p == '"') {
        value = ++p;
        while (p < line.end && *p != '"' && (*p == ' ' || !IsSpace(*p)))
            p++;
        if (p == line.end || *p != '"')
            return Fail(line, "an option value lacks its closing quote");
        valueEnd = p++;
    } else {
        while (p < line.end && *p != ',' && !IsSpace(*p))
            p++;
        valueEnd = p;
    }
    size_t valueLength = valueEnd - value;
    if (valueLength > sizeof option->value - 1)
        return Fail(line, "an option value is longer than %d characters", static_cast<int>(sizeof option->value - 1));
    if (option) {
        memcpy(option->name, name, nameLength);
        option->name[nameLength] = '\0';
        memcpy(option->value, value, valueLength);
        option->value[valueLength] = '\0';
    }
    bool more = p < line.end && *p == ',';
    line.cursor = more ? p + 1 : p;
    return more ? 1 : 0;
}

// The options are read twice: once to count and check them, once into the allocated list.
int Options(Line &line, XrCfgPlugin *r)
{
    SkipSpace(line);
    if (line.cursor == line.end)
        return 0;
    char *start = line.cursor;
    int32_t count = 0;
    for (int more = 1; more == 1; count++)
        if ((more = Option(line, nullptr)) < 0)
            return -1;
    r->options = static_cast<XrCfgPluginOption *>(calloc(count, sizeof *r->options));
    if (!r->options)
        return Fail(line, "no memory for the options");
    r->optionCount = count;
    line.cursor = start;
    for (int32_t i = 0; i < count; i++) {
        XrCfgPluginOption *option = &r->options[i];
        Option(line, option);
        const char *valueEnd = option->value + strlen(option->value);
        if (XrStrSameText(option->name, "type"))
            r->pluginType = XrCfgDecimal(option->value, valueEnd);
        else if (XrStrSameText(option->name, "id"))
            r->pluginId = XrCfgDecimal(option->value, valueEnd);
        else if (XrStrSameText(option->name, "text"))
            XrStrCopy(r->pluginText, sizeof r->pluginText, option->value);
    }
    return 0;
}

int PluginLine(void *target, int32_t fill, int32_t, Line &line)
{
    // "plugin #..." and a bare keyword stand for a plug-in switched off. The first is kept as
    // its text (up to the name's size) in the name, so that a save writes it back; the second
    // leaves the record empty.
    XrCfgPlugin *r = Record<XrCfgPlugin>(target, fill);
    if (line.cursor + 1 < line.end && line.cursor[1] == '#') {
        const char *text = line.cursor + 1;
        size_t length = static_cast<size_t>(line.end - text);
        if (length > sizeof r->pluginName - 1)
            length = sizeof r->pluginName - 1;
        memcpy(r->pluginName, text, length);
        return 0;
    }
    SkipSpace(line);
    if (line.cursor == line.end)
        return 0;
    if (Word(line, r->pluginName, sizeof r->pluginName, "the plug-in name") != 0)
        return -1;
    if (r->pluginName[0] == '#')
        return Fail(line, "the plug-in name begins with \"#\"");
    if (Word(line, r->pluginPath, sizeof r->pluginPath, "the plug-in path") != 0)
        return -1;
    return Options(line, r);
}

struct KeywordEntry {
    const char *longWord;
    const char *shortWord;
    int32_t kind;
    Handler clientForm;
    Handler serverForm; // null: the keyword does not exist in the server form
};

const KeywordEntry kKeywords[kKeywordCount] = {
    {"set", "s", XR_CFG_KIND_SET, SetLine, SetLine},
    {"auth", "a", XR_CFG_KIND_AUTH, AuthLine, AuthLine},
    {"route", "r", XR_CFG_KIND_ROUTE, RouteLine, RouteLine},
    {"noproxy", "n", XR_CFG_KIND_PROXY, ClientProxyLine, ServerProxyLine},
    {"socks4", "s4", XR_CFG_KIND_PROXY, ClientProxyLine, ServerProxyLine},
    {"socks5", "s5", XR_CFG_KIND_PROXY, ClientProxyLine, ServerProxyLine},
    {"gbind", "gb", XR_CFG_KIND_PROXY, ClientProxyLine, nullptr},
    {"permit", "p", XR_CFG_KIND_FILTER, FilterLine, FilterLine},
    {"deny", "d", XR_CFG_KIND_FILTER, FilterLine, FilterLine},
    {"filter", "f", XR_CFG_KIND_FILTER, FilterLine, FilterLine},
    {"localdns", "ld", XR_CFG_KIND_LOCALDNS, DnsLine, DnsLine},
    {"remotedns", "rd", XR_CFG_KIND_REMOTEDNS, DnsLine, DnsLine},
    {"yes", "ya", XR_CFG_KIND_YES, AppLine, AppLine},
    {"no", "na", XR_CFG_KIND_NO, AppLine, AppLine},
    {"sys", "sa", XR_CFG_KIND_SYS, AppLine, AppLine},
    {"plugin", "pin", XR_CFG_KIND_PLUGIN, PluginLine, PluginLine},
    {"interface", "i", XR_CFG_KIND_INTERFACE, InterfaceLine, InterfaceLine},
    {"ban", "b", XR_CFG_KIND_BAN, BanLine, BanLine},
};

Handler HandlerOf(const XrCfg *cfg, int32_t keyword)
{
    const KeywordEntry &entry = kKeywords[keyword];
    if (!cfg->kinds[entry.kind].kind)
        return nullptr;
    return cfg->form == XR_CFG_FORM_CLIENT ? entry.clientForm : entry.serverForm;
}

bool IsKeyword(const char *word, size_t length, const char *keyword)
{
    return strncmp(word, keyword, length) == 0 && keyword[length] == '\0';
}

// The keyword the line begins with, its first word lowered in place first; the cursor is left
// after the keyword. A keyword must be followed by white space on its line. -1 for a blank
// line, a comment or a keyword the model does not hold.
int32_t Match(const XrCfg *cfg, Line &line)
{
    SkipSpace(line);
    if (line.cursor == line.end || *line.cursor == '#')
        return -1;
    char *wordEnd = line.cursor;
    for (; wordEnd < line.end && !IsSpace(*wordEnd); wordEnd++)
        *wordEnd = XrStrLower(*wordEnd);
    if (wordEnd == line.end)
        return -1;
    size_t length = wordEnd - line.cursor;
    for (int32_t keyword = 0; keyword < kKeywordCount; keyword++) {
        const KeywordEntry &entry = kKeywords[keyword];
        if ((IsKeyword(line.cursor, length, entry.longWord) || IsKeyword(line.cursor, length, entry.shortWord)) &&
            HandlerOf(cfg, keyword)) {
            line.cursor = wordEnd;
            return keyword;
        }
    }
    return -1;
}

// Calls visit(line, keyword, line number) for every line that a keyword of the model begins;
// stops at the first visit that fails.
template <typename Visit>
int ForEachLine(const XrCfg *cfg, char *text, size_t length, XrCfgProblem *problem, Visit visit)
{
    char *end = text + length;
    int32_t number = 0;
    for (char *start = text; start < end;) {
        char *newline = static_cast<char *>(memchr(start, '\n', end - start));
        Line line = {start, newline ? newline : end, problem};
        number++;
        start = newline ? newline + 1 : end;
        int32_t keyword = Match(cfg, line);
        if (keyword >= 0 && visit(line, keyword, number) != 0)
            return -1;
    }
    return 0;
}

int CreateVariables(XrCfg *cfg, int32_t entries)
{
    if (!cfg->kinds[XR_CFG_KIND_SET].kind)
        return 0;
    cfg->variables = XrAaCreate(XR_AA_TEXT_KEYS, 0, XR_CFG_VALUE_SIZE, entries);
    return cfg->variables ? 0 : -1;
}

void Report(XrCfgProblem *problem, int32_t line, const char *reason)
{
    if (problem) {
        problem->line = line;
        XrStrCopy(problem->reason, sizeof problem->reason, reason);
    }
}

// Text in another encoding (UTF-16, say) would read as no lines or as lines cut short, and a
// save would then replace it as if it had been read: it is refused as unreadable instead.
int CheckEncoding(const char *text, size_t length, XrCfgProblem *problem)
{
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    if (length >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        Report(problem, 1, "the file is UTF-16 text, not 8-bit text");
        return -1;
    }
    const char *nul = static_cast<const char *>(memchr(text, '\0', length));
    if (!nul)
        return 0;
    int32_t line = 1;
    for (const char *c = text; c < nul; c++)
        line += *c == '\n' && line < INT32_MAX;
    Report(problem, line, "the line holds a NUL byte: the file is not 8-bit text");
    return -1;
}

// text: the file's contents as text mode reads them, length bytes; null for no file or an
// empty one.
int Parse(XrCfg *cfg, char *text, size_t length, XrCfgProblem *problem)
{
    const int32_t kDefaultVariables = 10;
    if (!text || length == 0)
        return CreateVariables(cfg, kDefaultVariables);
    if (CheckEncoding(text, length, problem) != 0)
        return -1;
    int counted = ForEachLine(cfg, text, length, nullptr, [cfg](Line &, int32_t keyword, int32_t) {
        int32_t &count = cfg->kinds[kKeywords[keyword].kind].count;
        return count == INT32_MAX ? -1 : (count++, 0);
    });
    if (counted != 0) {
        Report(problem, 0, "too many lines");
        return -1;
    }
    int32_t &variables = cfg->kinds[XR_CFG_KIND_SET].count;
    if (variables == 0)
        variables = kDefaultVariables;
    bool allocated = CreateVariables(cfg, variables) == 0;
    for (int32_t kind = XR_CFG_KIND_AUTH; kind <= XR_CFG_KINDS && allocated; kind++) {
        int32_t count = cfg->kinds[kind].count;
        if (count == 0)
            continue;
        cfg->records[kind] = calloc(count, XrCfgLayouts[kind].size);
        cfg->capacity[kind] = count;
        allocated = cfg->records[kind] != nullptr;
    }
    if (!allocated) {
        Report(problem, 0, "no memory for the records");
        return -1;
    }
    return ForEachLine(cfg, text, length, problem, [cfg](Line &line, int32_t keyword, int32_t number) {
        int32_t kind = kKeywords[keyword].kind;
        XrCfgKindState &state = cfg->kinds[kind];
        void *target = kind == XR_CFG_KIND_SET ? static_cast<void *>(&cfg->variables)
                                               : static_cast<void *>(&cfg->records[kind]);
        if (state.cursor >= state.count || HandlerOf(cfg, keyword)(target, state.cursor, keyword, line) < 0) {
            if (line.problem)
                line.problem->line = number;
            return -1;
        }
        // The record takes the form that a save and a second open give it.
        if (kind != XR_CFG_KIND_SET &&
            XrCfgNormalRecord(cfg->form, kind,
                              static_cast<char *>(cfg->records[kind]) + state.cursor * XrCfgLayouts[kind].size) != 0) {
            Report(line.problem, number, "no memory for the record");
            return -1;
        }
        state.cursor++;
        return 0;
    });
}

// Reads as the Windows runtime's text mode does, so that both builds see the same text: CR LF
// becomes LF and Ctrl-Z ends the text. Terminates the text; returns its new length.
size_t TextMode(char *text, size_t length)
{
    const char *stop = static_cast<const char *>(memchr(text, '\x1a', length));
    if (stop)
        length = stop - text;
    size_t kept = 0;
    for (size_t i = 0; i < length;) {
        const char *cr = static_cast<const char *>(memchr(text + i, '\r', length - i));
        size_t end = cr ? static_cast<size_t>(cr - text) : length;
        memmove(text + kept, text + i, end - i);
        kept += end - i;
        i = end;
        if (cr && !(i + 1 < length && text[i + 1] == '\n'))
            text[kept++] = '\r';
        i += cr ? 1 : 0;
    }
    text[kept] = '\0';
    return kept;
}

// The whole file as text mode reads it, in a new terminated buffer; null for an empty file.
int ReadFile(const char *path, char **text, size_t *length, XrCfgProblem *problem)
{
    auto fail = [path, problem](const char *format, FILE *file) {
        XrLogWrite(nullptr, XR_LOG_ERROR, 0, format, path);
        Report(problem, 0, "the file cannot be read");
        if (file)
            fclose(file);
        return -1;
    };
    struct stat status;
    if (stat(path, &status) != 0) {
        Report(problem, 0, "the file does not exist");
        return -1;
    }
    if (status.st_size == 0)
        return 0;
    if (status.st_size < 0 || static_cast<uint64_t>(status.st_size) >= SIZE_MAX)
        return fail("Config: Error allocating space for config file (%s): %m", nullptr);
    size_t size = static_cast<size_t>(status.st_size);
    FILE *file = fopen(path, "rb");
    if (!file)
        return fail("Config: Error opening config file (%s): %m", nullptr);
    char *buffer = static_cast<char *>(malloc(size + 1));
    if (!buffer)
        return fail("Config: Error allocating space for config file (%s): %m", file);
    size_t got = fread(buffer, 1, size, file);
    if (ferror(file)) {
        free(buffer);
        return fail("Config: Error reading open config file (%s): %m", file);
    }
    fclose(file);
    *length = TextMode(buffer, got);
    *text = buffer;
    return 0;
}

// A model for the form and mask with its kinds enabled, or null.
XrCfg *NewModel(const char *path, int32_t form, uint32_t mask)
{
    // Forms a kind exists in: 1 client, 2 server, 3 both.
    static const int32_t forms[XR_CFG_KINDS + 1] = {0, 3, 3, 2, 3, 2, 1, 1, 1, 1, 1, 2, 2, 3};
    if (form != XR_CFG_FORM_CLIENT && form != XR_CFG_FORM_SERVER)
        return nullptr;
    XrCfg *cfg = static_cast<XrCfg *>(calloc(1, sizeof *cfg));
    if (!cfg)
        return nullptr;
    cfg->form = form;
    cfg->mask = mask ? mask : XR_CFG_SECTIONS_DEFAULT;
    for (int32_t kind = 1; kind <= XR_CFG_KINDS; kind++)
        if ((cfg->mask & XrCfgSection(kind)) && (forms[kind] & form))
            cfg->kinds[kind].kind = kind;
    if (path) {
        size_t length = strlen(path);
        cfg->path = static_cast<char *>(malloc(length + 1));
        if (!cfg->path) {
            free(cfg);
            return nullptr;
        }
        memcpy(cfg->path, path, length + 1);
    }
    return cfg;
}

int32_t Finish(XrCfg *cfg, char *text, size_t length, XrCfgProblem *problem, XrCfg **out)
{
    int parsed = Parse(cfg, text, length, problem);
    free(text);
    if (parsed != 0) {
        XrCfgClose(cfg);
        return -1;
    }
    for (int32_t kind = 1; kind <= XR_CFG_KINDS; kind++)
        cfg->kinds[kind].cursor = 0;
    *out = cfg;
    return 0;
}

}  // namespace

int32_t XrCfgOpenChecked(const char *path, int32_t form, uint32_t mask, XrCfg **out, XrCfgProblem *problem)
{
    if (!out)
        return -1;
    XrCfg *cfg = NewModel(path, form, mask);
    if (!cfg)
        return -1;
    char *text = nullptr;
    size_t length = 0;
    if (path && ReadFile(path, &text, &length, problem) != 0) {
        XrCfgClose(cfg);
        return -1;
    }
    return Finish(cfg, text, length, problem, out);
}

int32_t XrCfgOpenBytes(const char *path, int32_t form, uint32_t mask, const char *bytes, size_t size, XrCfg **out,
                       XrCfgProblem *problem)
{
    if (!out)
        return -1;
    XrCfg *cfg = NewModel(path, form, mask);
    char *text = size < SIZE_MAX ? static_cast<char *>(malloc(size + 1)) : nullptr;
    if (!cfg || !text) {
        free(text);
        if (cfg)
            XrCfgClose(cfg);
        return -1;
    }
    if (size)
        memcpy(text, bytes, size);
    size_t length = TextMode(text, size);
    return Finish(cfg, text, length, problem, out);
}

int32_t XrCfgOpen(const char *path, int32_t form, uint32_t mask, XrCfg **cfg)
{
    return XrCfgOpenChecked(path, form, mask, cfg, nullptr);
}
