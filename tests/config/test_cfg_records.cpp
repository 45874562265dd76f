// The record interface of the configuration model, and models of every kind through save and open.
#include "cfg_test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "cfg_describe.h"

namespace {

CfgPtr EmptyModel(int32_t form = XR_CFG_FORM_CLIENT, uint32_t mask = 0)
{
    XrCfg *cfg = nullptr;
    EXPECT_EQ(XrCfgOpen(nullptr, form, mask, &cfg), 0);
    return CfgPtr(cfg);
}

XrCfgApp App(const char *name, int32_t number = 0)
{
    XrCfgApp app = {number, {}};
    snprintf(app.name, sizeof app.name, "%s", name);
    return app;
}

std::string Names(XrCfg *cfg, int32_t kind)
{
    std::string names;
    for (int32_t number = 1; number <= XrCfgCount(cfg, kind); number++) {
        XrCfgApp app = App("", number);
        EXPECT_EQ(XrCfgGet(cfg, kind, &app), 0);
        EXPECT_EQ(app.number, number);
        names += app.name;
    }
    return names;
}

TEST(CfgRecords, GetNextReturnsOneOneZeroAndStartsAgain)
{
    CfgPtr cfg = OpenText("yes a\nyes b\nyes c\n");
    ASSERT_NE(cfg, nullptr);
    const int32_t expected[][2] = {{1, 1}, {1, 2}, {0, 3}, {1, 1}};
    for (const auto &step : expected) {
        XrCfgApp app = App("");
        EXPECT_EQ(XrCfgGetNext(cfg.get(), XR_CFG_KIND_YES, &app), step[0]);
        EXPECT_EQ(app.number, step[1]);
    }
    XrCfgApp app = App("");
    EXPECT_EQ(XrCfgGetNext(cfg.get(), XR_CFG_KIND_NO, &app), -1);
}

TEST(CfgRecords, AppendCreatesTheArrayAndDeletingTheLastRecordDropsIt)
{
    CfgPtr cfg = EmptyModel();
    EXPECT_EQ(cfg->records[XR_CFG_KIND_SYS], nullptr);
    XrCfgApp app = App("a", 7);
    ASSERT_EQ(XrCfgAppend(cfg.get(), XR_CFG_KIND_SYS, &app), 0);
    EXPECT_EQ(app.number, 0);
    EXPECT_NE(cfg->records[XR_CFG_KIND_SYS], nullptr);
    app.number = 1;
    ASSERT_EQ(XrCfgDelete(cfg.get(), XR_CFG_KIND_SYS, &app), 0);
    EXPECT_EQ(XrCfgCount(cfg.get(), XR_CFG_KIND_SYS), 0);
    EXPECT_EQ(cfg->records[XR_CFG_KIND_SYS], nullptr);
    EXPECT_EQ(XrCfgDelete(cfg.get(), XR_CFG_KIND_SYS, nullptr), -1);
    ASSERT_EQ(XrCfgAppend(cfg.get(), XR_CFG_KIND_SYS, &app), 0);
    EXPECT_EQ(Names(cfg.get(), XR_CFG_KIND_SYS), "a");
}

TEST(CfgRecords, InsertAndDeleteKeepNumbersInOrder)
{
    CfgPtr cfg = EmptyModel();
    const struct {
        const char *name;
        int32_t position;
        int32_t result;
        const char *after;
    } steps[] = {{"b", 0, 0, "b"}, {"d", 1, 0, "bd"}, {"a", 0, 0, "abd"}, {"c", 2, 0, "abcd"},
                 {"x", 5, -1, "abcd"}, {"x", -1, -1, "abcd"}};
    for (const auto &step : steps) {
        XrCfgApp app = App(step.name, step.position);
        EXPECT_EQ(XrCfgInsert(cfg.get(), XR_CFG_KIND_NO, &app), step.result) << step.name;
        EXPECT_EQ(Names(cfg.get(), XR_CFG_KIND_NO), step.after);
    }
    for (int32_t number : {2, 0, 5}) {
        XrCfgApp app = App("", number);
        EXPECT_EQ(XrCfgDelete(cfg.get(), XR_CFG_KIND_NO, &app), number == 2 ? 0 : -1);
    }
    EXPECT_EQ(Names(cfg.get(), XR_CFG_KIND_NO), "acd");
    ASSERT_EQ(XrCfgDelete(cfg.get(), XR_CFG_KIND_NO, nullptr), 0);
    EXPECT_EQ(XrCfgCount(cfg.get(), XR_CFG_KIND_NO), 0);
}

TEST(CfgRecords, ModelKeepsItsOwnCopyOfLists)
{
    CfgPtr cfg = EmptyModel();
    XrCfgText256 servers[2] = {"p1:1080", "p2"};
    XrCfgProxy rule = {};
    rule.ruleKind = XR_CFG_RULE_SOCKS5;
    snprintf(rule.destination, sizeof rule.destination, "d");
    snprintf(rule.destPort, sizeof rule.destPort, "p");
    snprintf(rule.leadField, sizeof rule.leadField, "-");
    rule.serverList = servers;
    rule.serverCount = 2;
    ASSERT_EQ(XrCfgAppend(cfg.get(), XR_CFG_KIND_PROXY, &rule), 0);
    snprintf(servers[0], sizeof servers[0], "changed");
    rule.number = 1;
    rule.serverCount = 1;
    ASSERT_EQ(XrCfgUpdate(cfg.get(), XR_CFG_KIND_PROXY, &rule), 0);
    XrCfgProxy copy = {};
    copy.number = 1;
    ASSERT_EQ(XrCfgGet(cfg.get(), XR_CFG_KIND_PROXY, &copy), 0);
    ASSERT_EQ(copy.serverCount, 1);
    EXPECT_NE(copy.serverList, servers);
    EXPECT_STREQ(copy.serverList[0], "changed");
    ASSERT_EQ(XrCfgFreeRecord(XR_CFG_KIND_PROXY, &copy), 0);
    EXPECT_EQ(copy.serverList, nullptr);
    EXPECT_EQ(XrCfgFreeRecord(0, &copy), -1);
    EXPECT_EQ(XrCfgFreeRecord(XR_CFG_KIND_PROXY, nullptr), -1);
}

TEST(CfgRecords, ModifiedFlagsFollowChanges)
{
    CfgPtr cfg = OpenText("yes a\n");
    ASSERT_NE(cfg, nullptr);
    XrCfgApp app = App("", 1);
    ASSERT_EQ(XrCfgGet(cfg.get(), XR_CFG_KIND_YES, &app), 0);
    EXPECT_EQ(XrCfgModified(cfg.get(), 0), 0);
    ASSERT_EQ(XrCfgUpdate(cfg.get(), XR_CFG_KIND_YES, &app), 0);
    EXPECT_EQ(XrCfgModified(cfg.get(), XR_CFG_KIND_YES), 1);
    EXPECT_EQ(XrCfgModified(cfg.get(), XR_CFG_KIND_NO), 0);
    EXPECT_EQ(XrCfgModified(cfg.get(), 0), 1);
    EXPECT_EQ(XrCfgModified(cfg.get(), XR_CFG_KIND_BAN), -1);
    EXPECT_EQ(XrCfgModified(cfg.get(), 14), -1);
}

TEST(CfgRecords, KindNotEnabledFailsEveryOperation)
{
    CfgPtr cfg = EmptyModel(XR_CFG_FORM_CLIENT, XR_CFG_SECTION_PROXY);
    XrCfgApp app = App("a", 1);
    for (int32_t kind : {0, XR_CFG_KIND_YES, XR_CFG_KIND_ROUTE, XR_CFG_KIND_BAN, 14}) {
        EXPECT_EQ(XrCfgCount(cfg.get(), kind), -1);
        EXPECT_EQ(XrCfgGet(cfg.get(), kind, &app), -1);
        EXPECT_EQ(XrCfgGetNext(cfg.get(), kind, &app), -1);
        EXPECT_EQ(XrCfgUpdate(cfg.get(), kind, &app), -1);
        EXPECT_EQ(XrCfgInsert(cfg.get(), kind, &app), -1);
        EXPECT_EQ(XrCfgAppend(cfg.get(), kind, &app), -1);
        EXPECT_EQ(XrCfgDelete(cfg.get(), kind, nullptr), -1);
    }
    EXPECT_EQ(XrCfgCount(nullptr, XR_CFG_KIND_PROXY), -1);
    EXPECT_EQ(XrCfgGet(cfg.get(), XR_CFG_KIND_PROXY, nullptr), -1);
    EXPECT_EQ(XrCfgClose(nullptr), -1);
}

TEST(CfgRecords, VariablesByName)
{
    CfgPtr cfg = OpenText("set a=1\nset b=2\n");
    ASSERT_NE(cfg, nullptr);
    // An unknown name reads as empty and is not entered: it would be saved as "set new=", a line
    // that does not read back.
    XrCfgVariable variable = {"new", "x"};
    ASSERT_EQ(XrCfgGet(cfg.get(), XR_CFG_KIND_SET, &variable), 0);
    EXPECT_STREQ(variable.value, "");
    EXPECT_EQ(XrCfgCount(cfg.get(), XR_CFG_KIND_SET), 2);
    EXPECT_NE(OpenText(Saved(cfg.get())), nullptr);
    XrCfgVariable a = {"a", "changed"};
    ASSERT_EQ(XrCfgUpdate(cfg.get(), XR_CFG_KIND_SET, &a), 0);
    XrCfgVariable gone = {"missing", ""};
    EXPECT_EQ(XrCfgDelete(cfg.get(), XR_CFG_KIND_SET, &gone), -1);
    EXPECT_EQ(XrCfgDelete(cfg.get(), XR_CFG_KIND_SET, &variable), -1);
    std::string seen;
    int32_t more = 1;
    while (more == 1) {
        XrCfgVariable next = {};
        more = XrCfgGetNext(cfg.get(), XR_CFG_KIND_SET, &next);
        seen += std::string(next.name) + "=" + next.value + ";";
    }
    EXPECT_EQ(more, 0);
    EXPECT_TRUE(seen == "a=changed;b=2;" || seen == "b=2;a=changed;") << seen;
    ASSERT_EQ(XrCfgDelete(cfg.get(), XR_CFG_KIND_SET, nullptr), 0);
    EXPECT_EQ(XrCfgCount(cfg.get(), XR_CFG_KIND_SET), 0);
    EXPECT_EQ(XrCfgGetNext(cfg.get(), XR_CFG_KIND_SET, &variable), -1);
}

// Fields of caller records; Put leaves a text that fills its field unterminated.
template <size_t N>
void Put(char (&field)[N], const std::string &text)
{
    memset(field, 0, N);
    memcpy(field, text.data(), std::min(N, text.size()));
}

template <size_t N>
void PutList(char (**items)[N], int32_t *count, const std::vector<std::string> &texts)
{
    *count = static_cast<int32_t>(texts.size());
    *items = texts.empty() ? nullptr : static_cast<char (*)[N]>(calloc(texts.size(), N));
    for (size_t i = 0; i < texts.size(); i++)
        Put((*items)[i], texts[i]);
}

// A SOCKS5 rule with every field, changed by the case.
void Rule(void *record, int32_t kind, const char *destination, const std::vector<std::string> &users,
          const std::vector<std::string> &servers, const char *lead = "-")
{
    XrCfgProxy *r = static_cast<XrCfgProxy *>(record);
    r->ruleKind = kind;
    Put(r->destination, destination);
    Put(r->destPort, "p");
    Put(r->leadField, lead);
    PutList(&r->nameList, &r->nameCount, users);
    PutList(&r->serverList, &r->serverCount, servers);
}

void Variable(void *record, const char *name, const char *value)
{
    XrCfgVariable *r = static_cast<XrCfgVariable *>(record);
    Put(r->name, name);
    Put(r->value, value);
}

void Plugin(void *record, const char *name, const std::vector<std::pair<std::string, std::string>> &options,
            int32_t type = 0, const char *text = "")
{
    XrCfgPlugin *r = static_cast<XrCfgPlugin *>(record);
    Put(r->pluginName, name);
    Put(r->pluginPath, name[0] && name[0] != '#' ? "p" : "");
    r->pluginType = type;
    Put(r->pluginText, text);
    r->optionCount = static_cast<int32_t>(options.size());
    r->options = options.empty() ? nullptr : static_cast<XrCfgPluginOption *>(calloc(options.size(), sizeof *r->options));
    for (size_t i = 0; i < options.size(); i++) {
        Put(r->options[i].name, options[i].first);
        Put(r->options[i].value, options[i].second);
    }
}

struct RecordCase {
    const char *name;
    int32_t form;
    int32_t kind;
    void (*fill)(void *record);
    const char *refusal; // null: accepted
    const char *line;    // what a save writes for an accepted record
};

const RecordCase kRecordCases[] = {
    {"SocksRuleWithEveryField", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "d", {"u"}, {"s:1"}); }, nullptr,
     "socks5 - d p u s:1"},
    {"DestinationWithBlank", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 1, "10.0.0.0 255.0.0.0", {"-"}, {}); },
     "the destination holds white space", nullptr},
    {"EmptyDestination", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "", {"-"}, {"s"}); },
     "the destination is empty", nullptr},
    {"CarriageReturnInDestination", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "a\rb", {"-"}, {"s"}); },
     "the destination holds white space", nullptr},
    {"CtrlZInDestination", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "a\x1a", {"-"}, {"s"}); },
     "the destination holds the end-of-text character", nullptr},
    {"UnterminatedDestination", 1, XR_CFG_KIND_PROXY,
     [](void *r) { Rule(r, 3, std::string(256, 'd').c_str(), {"-"}, {"s"}); },
     "the destination is longer than 255 characters", nullptr},
    {"LongestDestination", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 2, std::string(255, 'd').c_str(), {"-"}, {"s"}); },
     nullptr, nullptr},
    {"NoServers", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "d", {"-"}, {}); }, "the server list is empty", nullptr},
    {"OneEmptyServer", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "d", {"-"}, {""}); },
     "the server list holds one empty item", nullptr},
    {"ServerWithComma", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "d", {"-"}, {"a,b"}); },
     "the server list holds white space or \",\"", nullptr},
    {"EmptyServerBesideAnother", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "d", {"-"}, {"a", ""}); }, nullptr,
     "socks5 - d p - a,"},
    {"NoUsersAreStoredAsDash", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "d", {}, {"s"}); }, nullptr,
     "socks5 - d p - s"},
    {"UserWithBlank", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "d", {"al ice"}, {"s"}); },
     "the name list holds white space or \",\"", nullptr},
    {"EmptyLeadField", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "d", {"-"}, {"s"}, ""); },
     "the lead field is empty", nullptr},
    {"NoproxyWithServers", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 1, "d", {"-"}, {"s"}); },
     "a noproxy rule has no server list", nullptr},
    {"NoproxyEndsInABlank", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 1, "d", {"u"}, {}); }, nullptr,
     "noproxy - d p u "},
    {"GbindWithLeadField", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 4, "d", {}, {"s"}); },
     "a gbind rule has no lead field", nullptr},
    {"GbindWithUsers", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 4, "d", {"u"}, {"s"}, ""); },
     "a gbind rule has no name list", nullptr},
    {"Gbind", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 4, "d", {}, {"s"}, ""); }, nullptr, "gbind d p s"},
    {"UnknownRuleKind", 1, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 7, "d", {"-"}, {"s"}); },
     "the rule kind is not 1 to 4", nullptr},
    {"GbindInServerForm", 2, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 4, "d", {}, {"s"}, ""); },
     "the rule kind is not 1 to 3", nullptr},
    {"ServerFormRuleWithUsers", 2, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 3, "d", {"u"}, {"s"}, ""); },
     "a proxy rule of the server form has no name list", nullptr},
    {"ServerFormRule", 2, XR_CFG_KIND_PROXY, [](void *r) { Rule(r, 1, "d", {}, {}, ""); }, nullptr, "noproxy d p "},
    {"EmptyValue", 1, XR_CFG_KIND_SET, [](void *r) { Variable(r, "probe", ""); }, "the value is empty", nullptr},
    {"ValueWithLeadingBlank", 1, XR_CFG_KIND_SET, [](void *r) { Variable(r, "v", " x"); },
     "the value begins with white space", nullptr},
    {"ValueWithLineFeed", 1, XR_CFG_KIND_SET, [](void *r) { Variable(r, "v", "a\nb"); },
     "the value holds a line break", nullptr},
    {"NameWithEquals", 1, XR_CFG_KIND_SET, [](void *r) { Variable(r, "a=b", "x"); },
     "the variable name holds white space or \"=\"", nullptr},
    {"ValueWithBlanksAndCarriageReturn", 1, XR_CFG_KIND_SET, [](void *r) { Variable(r, "v", "=x \"y\"\r"); }, nullptr,
     "set v==x \"y\"\r"},
    {"ApplicationOfBlanks", 1, XR_CFG_KIND_YES, [](void *r) { Put(static_cast<XrCfgApp *>(r)->name, "   "); },
     "the application name begins with white space", nullptr},
    {"ApplicationWithLeadingBlank", 1, XR_CFG_KIND_NO, [](void *r) { Put(static_cast<XrCfgApp *>(r)->name, " C:\\a.exe"); },
     "the application name begins with white space", nullptr},
    {"EmptyApplication", 1, XR_CFG_KIND_SYS, [](void *) {}, "the application name is empty", nullptr},
    {"ApplicationWithBlanks", 1, XR_CFG_KIND_YES,
     [](void *r) { Put(static_cast<XrCfgApp *>(r)->name, "C:\\a b\\c, d.exe "); }, nullptr, "yes C:\\a b\\c, d.exe "},
    {"DnsWithoutDomains", 1, XR_CFG_KIND_LOCALDNS, [](void *) {}, "the domain list is empty", nullptr},
    {"AuthWithoutMethods", 1, XR_CFG_KIND_AUTH,
     [](void *r) {
         Put(static_cast<XrCfgAuth *>(r)->hostPattern, "h");
         Put(static_cast<XrCfgAuth *>(r)->portPattern, "p");
     },
     nullptr, "auth h p -"},
    {"BanWithoutPort", 1, XR_CFG_KIND_BAN, [](void *r) { Put(static_cast<XrCfgBan *>(r)->hostPattern, "h"); },
     "the port pattern is empty", nullptr},
    {"PermitWithLeadList", 2, XR_CFG_KIND_FILTER,
     [](void *r) {
         XrCfgFilter *f = static_cast<XrCfgFilter *>(r);
         f->ruleKind = XR_CFG_RULE_PERMIT;
         PutList(&f->leadList, &f->leadCount, {"l"});
     },
     "only a filter rule has a lead list", nullptr},
    {"InterfaceWithFourthBit", 2, XR_CFG_KIND_INTERFACE,
     [](void *r) {
         Put(static_cast<XrCfgInterface *>(r)->interfaceName, "e");
         static_cast<XrCfgInterface *>(r)->interfaceFlags = 9;
     },
     "the interface flags hold more than the bits 1, 2 and 4", nullptr},
    {"InterfaceWithoutAddresses", 2, XR_CFG_KIND_INTERFACE,
     [](void *r) {
         Put(static_cast<XrCfgInterface *>(r)->interfaceName, "e");
         static_cast<XrCfgInterface *>(r)->interfaceFlags = 3;
     },
     nullptr, "interface e 3 0.0.0.0"},
    {"PluginGetsItsTypeIdAndTextAsOptions", 2, XR_CFG_KIND_PLUGIN,
     [](void *r) {
         Plugin(r, "n", {{"type", "5"}, {"a", "b"}}, 5, "a b");
         static_cast<XrCfgPlugin *>(r)->pluginId = 9;
     },
     nullptr, "plugin n p type=5,a=b,id=9,text=\"a b\""},
    {"OptionValueStartingWithQuote", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "n", {{"a", "\"x"}}); },
     "an option value begins with a double quote", nullptr},
    {"OptionValueWithQuoteAndBlank", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "n", {{"a", "x \"y"}}); },
     "an option value holds a double quote and a blank or \",\"", nullptr},
    {"OptionValueWithQuoteInside", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "n", {{"a", "x\"y"}}); }, nullptr,
     "plugin n p a=x\"y,type=0,text="},
    {"OptionNameWithBlank", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "n", {{"a b", "x"}}); },
     "an option name holds white space or \"=\"", nullptr},
    {"TypeOptionAgainstType", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "n", {{"Type", "7"}}, 5); },
     "the type option does not give the plug-in type 5", nullptr},
    {"TextOptionAgainstText", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "n", {{"TEXT", "t"}}, 0, "u"); },
     "the text option does not give the plug-in text", nullptr},
    {"TextWithTab", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "n", {}, 0, "a\tb"); },
     "the plug-in text holds white space other than blanks", nullptr},
    {"SwitchedOffPlugin", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "#n p a=1", {}); }, nullptr,
     "plugin #n p a=1"},
    {"SwitchedOffPluginWithType", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "#n", {}, 3); },
     "a plug-in line without a name, or switched off with \"#\", holds nothing else", nullptr},
    {"NamelessPlugin", 2, XR_CFG_KIND_PLUGIN, [](void *r) { Plugin(r, "", {}); }, nullptr, "plugin "},
};

void PrintTo(const RecordCase &row, std::ostream *out)
{
    *out << row.name;
}

class CfgRecordCase : public testing::TestWithParam<RecordCase> {};

// A record is stored only in a form that a save writes and an open gives back; anything else is
// refused with the field named, and the model stays as it was.
TEST_P(CfgRecordCase, StoredOnlyWhenItReadsBack)
{
    const RecordCase &row = GetParam();
    CfgPtr cfg = EmptyModel(row.form, 0x3FF);
    std::vector<char> record(XrCfgLayouts[row.kind].size);
    row.fill(record.data());
    XrCfgProblem problem = {};
    int32_t checked = XrCfgCheckRecord(row.form, row.kind, record.data(), &problem);
    int32_t appended = XrCfgAppend(cfg.get(), row.kind, record.data());
    if (row.kind != XR_CFG_KIND_SET)
        XrCfgFreeLists(row.kind, record.data());
    if (row.refusal) {
        EXPECT_EQ(checked, -1);
        EXPECT_STREQ(problem.reason, row.refusal);
        EXPECT_EQ(appended, -1);
        EXPECT_EQ(XrCfgCount(cfg.get(), row.kind), 0);
        EXPECT_EQ(Saved(cfg.get()), "");
        return;
    }
    EXPECT_EQ(checked, 0) << problem.reason;
    ASSERT_EQ(appended, 0);
    std::string saved = Saved(cfg.get());
    if (row.line) {
        EXPECT_EQ(saved, Crlf(std::string(row.line) + "\n"));
    }
    CfgPtr read = OpenText(saved, row.form, 0x3FF);
    ASSERT_NE(read, nullptr) << saved;
    EXPECT_EQ(DescribeModel(read.get()), DescribeModel(cfg.get()));
}

INSTANTIATE_TEST_SUITE_P(Fields, CfgRecordCase, testing::ValuesIn(kRecordCases),
                         [](const testing::TestParamInfo<RecordCase> &info) { return std::string(info.param.name); });

TEST(CfgRecords, RefusedUpdateLeavesTheRecord)
{
    CfgPtr cfg = OpenText("yes C:\\a.exe\nset v=1\n");
    ASSERT_NE(cfg, nullptr);
    std::string before = DescribeModel(cfg.get());
    XrCfgApp app = App(" C:\\b.exe", 1);
    EXPECT_EQ(XrCfgUpdate(cfg.get(), XR_CFG_KIND_YES, &app), -1);
    app.number = 0;
    EXPECT_EQ(XrCfgInsert(cfg.get(), XR_CFG_KIND_YES, &app), -1);
    XrCfgVariable variable = {"v", ""};
    EXPECT_EQ(XrCfgUpdate(cfg.get(), XR_CFG_KIND_SET, &variable), -1);
    EXPECT_EQ(DescribeModel(cfg.get()), before);
    EXPECT_EQ(XrCfgModified(cfg.get(), 0), 0);
}

// Random records of every kind. Plain: only what a line can carry, so that every record must
// be taken. Hostile: now and then what a caller may hand over wrongly as well: blanks, quotes,
// commas, line breaks, a NUL with bytes after it, Ctrl-Z, empty texts, texts that fill their
// field without a terminator, fields that the line does not hold, kinds out of range.
class Generator {
public:
    Generator(uint32_t seed, bool hostile) : random_(seed), hostile_(hostile) {}

    int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool OneIn(int n) { return Number(1, n) == 1; }
    // Now and then, when hostile.
    bool Stray() { return hostile_ && OneIn(4); }

    // Characters of a word: no white space, and no "," when the word is a list item.
    template <size_t N>
    void Word(char (&dest)[N], bool item = false, size_t minimum = 1)
    {
        if (hostile_ && OneIn(5))
            return Hostile(dest, N);
        size_t length = Number(0, 3) ? Number(static_cast<int>(minimum), 8) : N - 1;
        for (size_t i = 0; i < length; i++) {
            char c;
            do
                c = static_cast<char>(Number(0, 9) ? Number(0x21, 0x7E) : Number(0x80, 0xFF));
            while (item && c == ',');
            dest[i] = c;
        }
    }

    template <size_t N>
    void List(char (**items)[N], int32_t *count)
    {
        *count = Stray() ? 0 : Number(1, 4);
        *items = *count ? static_cast<char (*)[N]>(calloc(*count, N)) : nullptr;
        for (int32_t i = 0; i < *count; i++)
            Word((*items)[i], true, *count == 1 ? 1 : 0);
    }

    // Text with blanks, not starting with white space.
    template <size_t N>
    void Text(char (&dest)[N], const char *alphabet)
    {
        if (hostile_ && OneIn(5))
            return Hostile(dest, N);
        size_t length = Number(0, 3) ? Number(1, 12) : N - 1;
        for (size_t i = 0; i < length; i++)
            dest[i] = alphabet[Number(0, static_cast<int>(strlen(alphabet)) - 1)];
        if (dest[0] == ' ' || dest[0] == '\t')
            dest[0] = 'x';
    }

    void Fill(int32_t kind, int32_t form, void *record);

private:
    void Hostile(char *dest, size_t size)
    {
        static const char kPlain[] = "abcXYZ019-:._\\/*";
        static const char kHostile[] = " \t\r\n\v\f,\"'=#\x1a\x80\xff";
        memset(dest, 0, size);
        int shape = Number(0, 5);
        size_t length = shape == 0 ? 0 : shape == 1 ? size : static_cast<size_t>(Number(1, 10));
        for (size_t i = 0; i < length; i++)
            dest[i] = OneIn(3) ? kHostile[Number(0, sizeof kHostile - 2)] : kPlain[Number(0, sizeof kPlain - 2)];
        // A NUL inside, with bytes after it that are not part of the text.
        if (length > 2 && OneIn(4))
            dest[Number(0, static_cast<int>(length) - 2)] = '\0';
    }

    std::mt19937 random_;
    bool hostile_;
};

const char kTextAlphabet[] = "ab C:\\.-_= \t,#x\x9a\"";
const char kValueAlphabet[] = "ab C:\\.-_= ,#x\x9a";

void Generator::Fill(int32_t kind, int32_t form, void *record)
{
    switch (kind) {
    case XR_CFG_KIND_SET: {
        XrCfgVariable *r = static_cast<XrCfgVariable *>(record);
        Word(r->name, false, 0);
        for (char &c : r->name)
            c = c == '=' && !Stray() ? '-' : c;
        Text(r->value, kTextAlphabet);
        break;
    }
    case XR_CFG_KIND_AUTH: {
        XrCfgAuth *r = static_cast<XrCfgAuth *>(record);
        Word(r->hostPattern), Word(r->portPattern), List(&r->authList, &r->authCount);
        break;
    }
    case XR_CFG_KIND_ROUTE: {
        XrCfgRoute *r = static_cast<XrCfgRoute *>(record);
        Word(r->routeField1), Word(r->routeField2), Word(r->routeField3);
        break;
    }
    case XR_CFG_KIND_PROXY: {
        XrCfgProxy *r = static_cast<XrCfgProxy *>(record);
        r->ruleKind = hostile_ && OneIn(8) ? Number(-1, 6) : Number(1, form == XR_CFG_FORM_CLIENT ? 4 : 3);
        Word(r->destination), Word(r->destPort);
        if ((form == XR_CFG_FORM_CLIENT && r->ruleKind != XR_CFG_RULE_GBIND) || Stray())
            Word(r->leadField), List(&r->nameList, &r->nameCount);
        if (r->ruleKind != XR_CFG_RULE_NOPROXY || Stray())
            List(&r->serverList, &r->serverCount);
        break;
    }
    case XR_CFG_KIND_FILTER: {
        XrCfgFilter *r = static_cast<XrCfgFilter *>(record);
        r->ruleKind = hostile_ && OneIn(8) ? Number(-1, 5) : Number(1, 3);
        if (r->ruleKind == XR_CFG_RULE_FILTER || Stray())
            List(&r->leadList, &r->leadCount);
        List(&r->mainList, &r->mainCount), List(&r->tailList, &r->tailCount), Word(r->selector);
        Word(r->hostPattern1), Word(r->hostPattern2), Word(r->portPattern1), Word(r->portPattern2);
        break;
    }
    case XR_CFG_KIND_LOCALDNS:
    case XR_CFG_KIND_REMOTEDNS: {
        XrCfgDns *r = static_cast<XrCfgDns *>(record);
        List(&r->domainList, &r->domainCount);
        break;
    }
    case XR_CFG_KIND_YES:
    case XR_CFG_KIND_NO:
    case XR_CFG_KIND_SYS:
        Text(static_cast<XrCfgApp *>(record)->name, kTextAlphabet);
        break;
    case XR_CFG_KIND_PLUGIN: {
        XrCfgPlugin *r = static_cast<XrCfgPlugin *>(record);
        // A switched-off line: its text alone, or now and then with more.
        if (Stray()) {
            Text(r->pluginName, kTextAlphabet);
            r->pluginName[0] = OneIn(3) ? '\0' : '#';
            if (!Stray())
                break;
        }
        do
            Word(r->pluginName);
        while (r->pluginName[0] == '#' && !hostile_);
        Word(r->pluginPath);
        r->optionCount = Number(0, 5);
        r->options = r->optionCount ? static_cast<XrCfgPluginOption *>(calloc(r->optionCount, sizeof *r->options)) : nullptr;
        r->pluginType = Number(-5, 99);
        r->pluginId = Number(0, 2) ? Number(1, 99) : 0;
        Text(r->pluginText, kValueAlphabet);
        for (int32_t i = 0; i < r->optionCount; i++) {
            snprintf(r->options[i].name, sizeof r->options[i].name, "o%d", static_cast<int>(i));
            if (Stray())
                Word(r->options[i].name);
            Text(r->options[i].value, kValueAlphabet);
        }
        // The reader takes the type, id and text from these options (mostly in agreement).
        auto set = [r](int32_t i, const char *name, const std::string &value) {
            if (i >= r->optionCount)
                return;
            r->options[i] = XrCfgPluginOption{};
            snprintf(r->options[i].name, sizeof r->options[i].name, "%s", name);
            snprintf(r->options[i].value, sizeof r->options[i].value, "%s", value.c_str());
        };
        set(0, "Type", std::to_string(r->pluginType + (Stray() ? 1 : 0)));
        set(1, "text", Stray() ? "" : r->pluginText);
        if (r->pluginId)
            set(2, "ID", std::to_string(r->pluginId));
        break;
    }
    case XR_CFG_KIND_INTERFACE: {
        XrCfgInterface *r = static_cast<XrCfgInterface *>(record);
        Word(r->interfaceName), List(&r->addressList, &r->addressCount);
        r->interfaceFlags = hostile_ && OneIn(8) ? Number(-1, 9) : Number(0, 7);
        break;
    }
    case XR_CFG_KIND_BAN: {
        XrCfgBan *r = static_cast<XrCfgBan *>(record);
        Word(r->hostPattern), Word(r->portPattern);
        break;
    }
    }
}

// Models built from generated records through append, insert and update (and reads of names
// that are not there), saved and opened again; returns how many records were kept and refused.
// Every refusal must leave the model as it was; a kept record must pass the check; the file must
// open to the model.
void SaveAndOpenGeneratedModels(Generator &generator, int models, int *kept, int *refused)
{
    TempDir dir;
    std::string path = dir.Path("generated.cfg");
    *kept = *refused = 0;
    for (int iteration = 0; iteration < models; iteration++) {
        int32_t form = iteration % 2 ? XR_CFG_FORM_SERVER : XR_CFG_FORM_CLIENT;
        CfgPtr model = EmptyModel(form, 0x3FF);
        for (int step = generator.Number(1, 20); step > 0; step--) {
            int32_t kind = generator.Number(1, XR_CFG_KINDS);
            int32_t count = XrCfgCount(model.get(), kind);
            if (count < 0)
                continue;
            std::vector<char> record(XrCfgLayouts[kind].size);
            generator.Fill(kind, form, record.data());
            std::string before = DescribeModel(model.get());
            int operation = count > 0 ? generator.Number(0, 2) : generator.Number(0, 1);
            // Now and then a position out of range.
            int32_t position = generator.Stray() ? generator.Number(-1, count + 1)
                               : operation == 2  ? generator.Number(1, count)
                                                 : generator.Number(0, count);
            if (kind != XR_CFG_KIND_SET)
                memcpy(record.data(), &position, sizeof position);
            int32_t result = operation == 0   ? XrCfgAppend(model.get(), kind, record.data())
                             : operation == 1 ? XrCfgInsert(model.get(), kind, record.data())
                                              : XrCfgUpdate(model.get(), kind, record.data());
            XrCfgProblem problem = {};
            bool valid = XrCfgCheckRecord(form, kind, record.data(), &problem) == 0;
            if (kind != XR_CFG_KIND_SET)
                XrCfgFreeLists(kind, record.data());
            if (result == 0) {
                ++*kept;
                EXPECT_TRUE(valid) << "iteration " << iteration << ": kept what the check refuses: " << problem.reason;
            } else {
                ++*refused;
                EXPECT_EQ(DescribeModel(model.get()), before) << "iteration " << iteration;
            }
            int32_t variables = XrCfgCount(model.get(), XR_CFG_KIND_SET);
            XrCfgVariable unknown = {};
            generator.Word(unknown.name);
            EXPECT_EQ(XrCfgGet(model.get(), XR_CFG_KIND_SET, &unknown), 0);
            EXPECT_EQ(XrCfgCount(model.get(), XR_CFG_KIND_SET), variables);
        }
        ASSERT_EQ(XrCfgSave(path.c_str(), 0, model.get()), 0) << "iteration " << iteration;
        XrCfg *read = nullptr;
        ASSERT_EQ(XrCfgOpen(path.c_str(), form, 0x3FF, &read), 0) << "iteration " << iteration << ":\n"
                                                                     << ReadBytes(path);
        CfgPtr again(read);
        ASSERT_EQ(DescribeModel(read), DescribeModel(model.get())) << "iteration " << iteration << ":\n"
                                                                    << ReadBytes(path);
    }
}

TEST(CfgRecords, GeneratedModelsSurviveSaveAndOpen)
{
    Generator generator(20240601, false);
    int kept, refused;
    SaveAndOpenGeneratedModels(generator, 300, &kept, &refused);
    // Plain records at positions in range: every one is kept.
    EXPECT_EQ(refused, 0);
}

// The promise of the record interface: whatever a caller puts in, the model either takes it
// and a save gives a file that opens to the same model, or refuses it and stays as it was.
TEST(CfgRecords, EveryModelReadsBackOrTheRecordIsRefused)
{
    Generator generator(20250117, true);
    int kept, refused;
    SaveAndOpenGeneratedModels(generator, 600, &kept, &refused);
    // The generator must give both outcomes plenty of times for the test to mean anything.
    EXPECT_GT(kept, 1000);
    EXPECT_GT(refused, 1000);
}

}  // namespace
