// What a line can carry. The file has no quoting (the engine reads it too), so a record is
// either in a form that the reader gives back as it is, or refused with the field named: a word
// holds no white space, a list item no ",", the rest-of-line texts (application names, values,
// switched-off plug-ins) no line break and no leading white space, and no text holds the
// Ctrl-Z that ends the text.
#include "cfg_model.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "xrstr.h"

namespace {

const char kEndOfText = '\x1a';
// The characters each sort of text may not hold; the reader's white space is " \t\n\v\f\r".
const char kNotInWord[] = " \t\n\v\f\r\x1a";
const char kNotInItem[] = " \t\n\v\f\r,\x1a";
const char kNotInName[] = " \t\n\v\f\r=\x1a";
const char kNotInRest[] = "\n\x1a";
const char kDash[] = "-";
const char kNoAddress[] = "0.0.0.0";

class Check {
public:
    explicit Check(XrCfgProblem *problem) : problem_(problem) {}

    int Fail(const char *format, ...)
    {
        if (problem_) {
            problem_->line = 0;
            va_list args;
            va_start(args, format);
            vsnprintf(problem_->reason, sizeof problem_->reason, format, args);
            va_end(args);
        }
        return -1;
    }

    // The text's length, or -1 (reported) when it fills its field without a terminator.
    ptrdiff_t Length(const char *text, size_t size, const char *what)
    {
        const char *end = static_cast<const char *>(memchr(text, '\0', size));
        if (!end)
            return Fail("%s is longer than %d characters", what, static_cast<int>(size - 1));
        return end - text;
    }

    // 0 when the terminated text holds none of the refused characters (Ctrl-Z is always one);
    // else -1, the reason naming the kind of character.
    int Characters(const char *text, const char *what, const char *refused, const char *kind)
    {
        const char *at = text + strcspn(text, refused);
        if (!*at)
            return 0;
        if (*at == kEndOfText)
            return Fail("%s holds the end-of-text character", what);
        return Fail("%s holds %s", what, kind);
    }

    // A field that is read as one word.
    template <size_t N>
    int Word(const char (&text)[N], const char *what)
    {
        ptrdiff_t length = Length(text, N, what);
        if (length < 0)
            return -1;
        if (length == 0)
            return Fail("%s is empty", what);
        return Characters(text, what, kNotInWord, "white space");
    }

    // A field that is read as the rest of its line.
    template <size_t N>
    int Rest(const char (&text)[N], const char *what)
    {
        ptrdiff_t length = Length(text, N, what);
        if (length < 0)
            return -1;
        if (length == 0)
            return Fail("%s is empty", what);
        if (XrCfgIsSpace(text[0]))
            return Fail("%s begins with white space", what);
        return Characters(text, what, kNotInRest, "a line break");
    }

    // A list written as its items joined by ","; an empty one only when written with a text of
    // its own (emptyWritten).
    template <size_t N>
    int List(const char (*items)[N], int32_t count, bool emptyWritten, const char *what)
    {
        if (!items || count <= 0)
            return emptyWritten ? 0 : Fail("%s is empty", what);
        for (int32_t i = 0; i < count; i++) {
            ptrdiff_t length = Length(items[i], N, what);
            if (length < 0 || Characters(items[i], what, kNotInItem, "white space or \",\"") != 0)
                return -1;
            if (length == 0 && count == 1)
                return Fail("%s holds one empty item", what);
        }
        return 0;
    }

    // A variable or option name: read up to white space or "=", and may be empty.
    template <size_t N>
    int Name(const char (&text)[N], const char *what)
    {
        ptrdiff_t length = Length(text, N, what);
        if (length < 0)
            return -1;
        return Characters(text, what, kNotInName, "white space or \"=\"");
    }

private:
    XrCfgProblem *problem_;
};

// The host and port patterns that authentication rules and bans begin with.
template <typename T>
int CheckPatterns(Check &check, const T *r)
{
    if (check.Word(r->hostPattern, "the host pattern") != 0)
        return -1;
    return check.Word(r->portPattern, "the port pattern");
}

// Which of its fields a proxy rule's line holds.
struct ProxyShape {
    bool lead;    // lead field and name list
    bool servers; // a server list that must not be empty
};

ProxyShape ShapeOf(int32_t form, int32_t ruleKind)
{
    bool gbind = form == XR_CFG_FORM_CLIENT && ruleKind == XR_CFG_RULE_GBIND;
    return {form == XR_CFG_FORM_CLIENT && !gbind, ruleKind != XR_CFG_RULE_NOPROXY};
}

int CheckProxy(Check &check, int32_t form, const XrCfgProxy *r)
{
    int32_t last = form == XR_CFG_FORM_CLIENT ? XR_CFG_RULE_GBIND : XR_CFG_RULE_SOCKS5;
    if (r->ruleKind < XR_CFG_RULE_NOPROXY || r->ruleKind > last)
        return check.Fail("the rule kind is not 1 to %d", static_cast<int>(last));
    ProxyShape shape = ShapeOf(form, r->ruleKind);
    if (check.Word(r->destination, "the destination") != 0 || check.Word(r->destPort, "the destination port") != 0)
        return -1;
    if (shape.lead) {
        if (check.Word(r->leadField, "the lead field") != 0 ||
            check.List(r->nameList, r->nameCount, true, "the name list") != 0)
            return -1;
    } else {
        const char *rule = form == XR_CFG_FORM_CLIENT ? "a gbind rule" : "a proxy rule of the server form";
        if (r->leadField[0])
            return check.Fail("%s has no lead field", rule);
        if (r->nameList && r->nameCount > 0)
            return check.Fail("%s has no name list", rule);
    }
    if (shape.servers)
        return check.List(r->serverList, r->serverCount, false, "the server list");
    if (r->serverList && r->serverCount > 0)
        return check.Fail("a noproxy rule has no server list");
    return 0;
}

int CheckFilter(Check &check, const XrCfgFilter *r)
{
    if (r->ruleKind < XR_CFG_RULE_PERMIT || r->ruleKind > XR_CFG_RULE_FILTER)
        return check.Fail("the rule kind is not 1 to 3");
    if (r->ruleKind != XR_CFG_RULE_FILTER && r->leadList && r->leadCount > 0)
        return check.Fail("only a filter rule has a lead list");
    if (r->ruleKind == XR_CFG_RULE_FILTER && check.List(r->leadList, r->leadCount, true, "the lead list") != 0)
        return -1;
    if (check.List(r->mainList, r->mainCount, true, "the main list") != 0 ||
        check.Word(r->selector, "the selector") != 0 || check.Word(r->hostPattern1, "the first host pattern") != 0 ||
        check.Word(r->hostPattern2, "the second host pattern") != 0 ||
        check.Word(r->portPattern1, "the first port pattern") != 0 ||
        check.Word(r->portPattern2, "the second port pattern") != 0)
        return -1;
    return check.List(r->tailList, r->tailCount, true, "the tail list");
}

// An option value as the writer puts it: in double quotes when it holds a blank or a ",". The
// reader ends a quoted value at the next quote, so a quote is allowed only in a value that needs
// none, and never first.
int CheckOptionValue(Check &check, const char *value, size_t size, const char *what)
{
    ptrdiff_t length = check.Length(value, size, what);
    if (length < 0)
        return -1;
    bool quoted = false, quote = false;
    for (ptrdiff_t i = 0; i < length; i++) {
        char c = value[i];
        if (c == kEndOfText)
            return check.Fail("%s holds the end-of-text character", what);
        if (c != ' ' && XrCfgIsSpace(c))
            return check.Fail("%s holds white space other than blanks", what);
        quoted = quoted || c == ' ' || c == ',';
        quote = quote || c == '"';
    }
    if (length > 0 && value[0] == '"')
        return check.Fail("%s begins with a double quote", what);
    if (quote && quoted)
        return check.Fail("%s holds a double quote and a blank or \",\"", what);
    return 0;
}

// The last option of that name, or null.
const XrCfgPluginOption *LastOption(const XrCfgPlugin *r, const char *name)
{
    const XrCfgPluginOption *found = nullptr;
    for (int32_t i = 0; r->options && i < r->optionCount; i++) {
        char held[sizeof r->options[i].name];
        memcpy(held, r->options[i].name, sizeof held);
        held[sizeof held - 1] = '\0';
        if (XrStrSameText(held, name))
            found = &r->options[i];
    }
    return found;
}

// The number an option gives, as the reader reads it.
int32_t OptionNumber(const XrCfgPluginOption *option)
{
    return XrCfgDecimal(option->value, option->value + strlen(option->value));
}

bool EmptyPlugin(const XrCfgPlugin *r)
{
    return !r->pluginPath[0] && !r->pluginText[0] && !(r->options && r->optionCount > 0) && r->pluginType == 0 &&
           r->pluginId == 0;
}

int CheckPlugin(Check &check, const XrCfgPlugin *r)
{
    // A nameless record is a bare "plugin" line; one named "#..." is a switched-off line kept
    // as its text. Neither line holds anything else.
    if (!r->pluginName[0] || r->pluginName[0] == '#') {
        if (r->pluginName[0] && check.Rest(r->pluginName, "a switched-off plug-in line") != 0)
            return -1;
        return EmptyPlugin(r) ? 0 : check.Fail("a plug-in line without a name, or switched off with \"#\", holds nothing else");
    }
    if (check.Word(r->pluginName, "the plug-in name") != 0 || check.Word(r->pluginPath, "the plug-in path") != 0)
        return -1;
    for (int32_t i = 0; r->options && i < r->optionCount; i++) {
        const XrCfgPluginOption &option = r->options[i];
        if (check.Name(option.name, "an option name") != 0 ||
            CheckOptionValue(check, option.value, sizeof option.value, "an option value") != 0)
            return -1;
    }
    // The reader takes the type, id and text from the last options of those names.
    const XrCfgPluginOption *type = LastOption(r, "type"), *id = LastOption(r, "id"), *text = LastOption(r, "text");
    if (type && OptionNumber(type) != r->pluginType)
        return check.Fail("the type option does not give the plug-in type %d", static_cast<int>(r->pluginType));
    if (id && OptionNumber(id) != r->pluginId)
        return check.Fail("the id option does not give the plug-in id %d", static_cast<int>(r->pluginId));
    if (CheckOptionValue(check, r->pluginText, sizeof r->pluginText, "the plug-in text") != 0)
        return -1;
    if (text && strcmp(text->value, r->pluginText) != 0)
        return check.Fail("the text option does not give the plug-in text");
    return 0;
}

int CheckVariable(Check &check, const XrCfgVariable *r)
{
    if (check.Name(r->name, "the variable name") != 0)
        return -1;
    return check.Rest(r->value, "the value");
}

// A list that is empty becomes the one item text.
template <size_t N>
int FillEmpty(char (**items)[N], int32_t *count, const char *text)
{
    if (*items && *count > 0)
        return 0;
    char (*list)[N] = static_cast<char (*)[N]>(calloc(1, N));
    if (!list)
        return -1;
    XrStrCopy(list[0], N, text);
    *items = list;
    *count = 1;
    return 0;
}

// Appends the type, id and text options that the line carries when the options do not.
int CompleteOptions(XrCfgPlugin *r)
{
    XrCfgPluginOption added[3] = {};
    int32_t addedCount = 0;
    auto add = [&](const char *name, const char *value) {
        XrStrCopy(added[addedCount].name, sizeof added[0].name, name);
        XrStrCopy(added[addedCount].value, sizeof added[0].value, value);
        addedCount++;
    };
    char number[16];
    if (!LastOption(r, "type")) {
        snprintf(number, sizeof number, "%d", static_cast<int>(r->pluginType));
        add("type", number);
    }
    if (!LastOption(r, "id") && r->pluginId != 0) {
        snprintf(number, sizeof number, "%d", static_cast<int>(r->pluginId));
        add("id", number);
    }
    if (!LastOption(r, "text"))
        add("text", r->pluginText);
    if (addedCount == 0)
        return 0;
    int32_t held = r->options ? r->optionCount : 0;
    XrCfgPluginOption *options =
        static_cast<XrCfgPluginOption *>(realloc(r->options, (held + addedCount) * sizeof *options));
    if (!options)
        return -1;
    memcpy(options + held, added, addedCount * sizeof *options);
    r->options = options;
    r->optionCount = held + addedCount;
    return 0;
}

}  // namespace

int XrCfgIsSpace(char c)
{
    // Tab, newline, vertical tab, form feed and carriage return are contiguous.
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

int32_t XrCfgDecimal(const char *text, const char *end)
{
    while (text < end && XrCfgIsSpace(*text))
        text++;
    bool negative = text < end && *text == '-';
    if (text < end && (*text == '-' || *text == '+'))
        text++;
    int64_t value = 0;
    for (; text < end && *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1)
            value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

int32_t XrCfgCheckRecord(int32_t form, int32_t kind, const void *record, XrCfgProblem *problem)
{
    Check check(problem);
    if (!record)
        return check.Fail("there is no record");
    switch (kind) {
    case XR_CFG_KIND_SET:
        return CheckVariable(check, static_cast<const XrCfgVariable *>(record));
    case XR_CFG_KIND_AUTH: {
        const XrCfgAuth *r = static_cast<const XrCfgAuth *>(record);
        if (CheckPatterns(check, r) != 0)
            return -1;
        return check.List(r->authList, r->authCount, true, "the method list");
    }
    case XR_CFG_KIND_ROUTE: {
        const XrCfgRoute *r = static_cast<const XrCfgRoute *>(record);
        if (check.Word(r->routeField1, "the first route field") != 0 ||
            check.Word(r->routeField2, "the second route field") != 0)
            return -1;
        return check.Word(r->routeField3, "the third route field");
    }
    case XR_CFG_KIND_PROXY:
        return CheckProxy(check, form, static_cast<const XrCfgProxy *>(record));
    case XR_CFG_KIND_FILTER:
        return CheckFilter(check, static_cast<const XrCfgFilter *>(record));
    case XR_CFG_KIND_LOCALDNS:
    case XR_CFG_KIND_REMOTEDNS: {
        const XrCfgDns *r = static_cast<const XrCfgDns *>(record);
        return check.List(r->domainList, r->domainCount, false, "the domain list");
    }
    case XR_CFG_KIND_YES:
    case XR_CFG_KIND_NO:
    case XR_CFG_KIND_SYS:
        return check.Rest(static_cast<const XrCfgApp *>(record)->name, "the application name");
    case XR_CFG_KIND_PLUGIN:
        return CheckPlugin(check, static_cast<const XrCfgPlugin *>(record));
    case XR_CFG_KIND_INTERFACE: {
        const XrCfgInterface *r = static_cast<const XrCfgInterface *>(record);
        if (check.Word(r->interfaceName, "the interface name") != 0)
            return -1;
        if (r->interfaceFlags & ~0x7)
            return check.Fail("the interface flags hold more than the bits 1, 2 and 4");
        return check.List(r->addressList, r->addressCount, true, "the address list");
    }
    case XR_CFG_KIND_BAN:
        return CheckPatterns(check, static_cast<const XrCfgBan *>(record));
    }
    return check.Fail("there is no record kind %d", static_cast<int>(kind));
}

int32_t XrCfgNormalRecord(int32_t form, int32_t kind, void *record)
{
    switch (kind) {
    case XR_CFG_KIND_AUTH: {
        XrCfgAuth *r = static_cast<XrCfgAuth *>(record);
        return FillEmpty(&r->authList, &r->authCount, kDash);
    }
    case XR_CFG_KIND_PROXY: {
        XrCfgProxy *r = static_cast<XrCfgProxy *>(record);
        return ShapeOf(form, r->ruleKind).lead ? FillEmpty(&r->nameList, &r->nameCount, kDash) : 0;
    }
    case XR_CFG_KIND_FILTER: {
        XrCfgFilter *r = static_cast<XrCfgFilter *>(record);
        if (r->ruleKind == XR_CFG_RULE_FILTER && FillEmpty(&r->leadList, &r->leadCount, kDash) != 0)
            return -1;
        if (FillEmpty(&r->mainList, &r->mainCount, kDash) != 0)
            return -1;
        return FillEmpty(&r->tailList, &r->tailCount, kDash);
    }
    case XR_CFG_KIND_INTERFACE: {
        XrCfgInterface *r = static_cast<XrCfgInterface *>(record);
        return FillEmpty(&r->addressList, &r->addressCount, kNoAddress);
    }
    case XR_CFG_KIND_PLUGIN: {
        XrCfgPlugin *r = static_cast<XrCfgPlugin *>(record);
        return r->pluginName[0] && r->pluginName[0] != '#' ? CompleteOptions(r) : 0;
    }
    }
    return 0;
}
