// The record interface of the configuration model, and models of every kind through save and open.
#include "cfg_test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

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
    XrCfgVariable variable = {"new", "x"};
    ASSERT_EQ(XrCfgGet(cfg.get(), XR_CFG_KIND_SET, &variable), 0);
    EXPECT_STREQ(variable.value, "");
    EXPECT_EQ(XrCfgCount(cfg.get(), XR_CFG_KIND_SET), 3);
    XrCfgVariable a = {"a", "changed"};
    ASSERT_EQ(XrCfgUpdate(cfg.get(), XR_CFG_KIND_SET, &a), 0);
    XrCfgVariable gone = {"missing", ""};
    EXPECT_EQ(XrCfgDelete(cfg.get(), XR_CFG_KIND_SET, &gone), -1);
    ASSERT_EQ(XrCfgDelete(cfg.get(), XR_CFG_KIND_SET, &variable), 0);
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

TEST(CfgRecords, RecordsWrittenFromTheInterface)
{
    CfgPtr client = EmptyModel(XR_CFG_FORM_CLIENT, 0x3FF);
    XrCfgProxy gbind = {0, XR_CFG_RULE_GBIND, "d", "p", "-", nullptr, 0, nullptr, 0};
    XrCfgProxy socks = {0, XR_CFG_RULE_SOCKS5, "d", "p", "-", nullptr, 0, nullptr, 0};
    XrCfgDns dns = {};
    ASSERT_EQ(XrCfgAppend(client.get(), XR_CFG_KIND_PROXY, &gbind), 0);
    ASSERT_EQ(XrCfgAppend(client.get(), XR_CFG_KIND_PROXY, &socks), 0);
    ASSERT_EQ(XrCfgAppend(client.get(), XR_CFG_KIND_LOCALDNS, &dns), 0);
    EXPECT_EQ(Saved(client.get()), Crlf("gbind d p \nsocks5 - d p - \n"));

    CfgPtr server = EmptyModel(XR_CFG_FORM_SERVER, 0x3FF);
    XrCfgPluginOption options[] = {{"type", "5"}, {"a", "b"}};
    XrCfgPlugin plugin = {0, 5, 9, "n", "p", "a b", options, 2};
    XrCfgInterface iface = {0, "e", 3, nullptr, 0};
    ASSERT_EQ(XrCfgAppend(server.get(), XR_CFG_KIND_PLUGIN, &plugin), 0);
    ASSERT_EQ(XrCfgAppend(server.get(), XR_CFG_KIND_INTERFACE, &iface), 0);
    ASSERT_EQ(XrCfgAppend(server.get(), XR_CFG_KIND_PROXY, &gbind), 0);
    EXPECT_EQ(Saved(server.get()),
              Crlf("noproxy d p \ninterface e 3 0.0.0.0\nplugin n p type=5,a=b,id=9,text=\"a b\"\n"));
}

// Random models of every kind, within what a file can carry, saved and opened again.
class Generator {
public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    // Characters of a word: no white space, and no "," when the word is a list item.
    template <size_t N>
    void Word(char (&dest)[N], bool item = false, size_t minimum = 1)
    {
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
        *count = Number(1, 4);
        *items = static_cast<char (*)[N]>(calloc(*count, N));
        for (int32_t i = 0; i < *count; i++)
            Word((*items)[i], true, *count == 1 ? 1 : 0);
    }

    // Text with blanks, not starting with white space.
    void Text(char *dest, size_t size, const char *alphabet)
    {
        size_t length = Number(0, 3) ? Number(1, 12) : size - 1;
        for (size_t i = 0; i < length; i++)
            dest[i] = alphabet[Number(0, static_cast<int>(strlen(alphabet)) - 1)];
        if (dest[0] == ' ' || dest[0] == '\t')
            dest[0] = 'x';
    }

    void Fill(int32_t kind, int32_t form, void *record);

private:
    std::mt19937 random_;
};

const char kTextAlphabet[] = "ab C:\\.-_= \t,#x\x9a";
const char kValueAlphabet[] = "ab C:\\.-_= ,#x\x9a";

void Generator::Fill(int32_t kind, int32_t form, void *record)
{
    switch (kind) {
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
        r->ruleKind = Number(1, form == XR_CFG_FORM_CLIENT ? 4 : 3);
        Word(r->destination), Word(r->destPort);
        if (form == XR_CFG_FORM_CLIENT && r->ruleKind != XR_CFG_RULE_GBIND)
            Word(r->leadField), List(&r->nameList, &r->nameCount);
        if (r->ruleKind != XR_CFG_RULE_NOPROXY)
            List(&r->serverList, &r->serverCount);
        break;
    }
    case XR_CFG_KIND_FILTER: {
        XrCfgFilter *r = static_cast<XrCfgFilter *>(record);
        r->ruleKind = Number(1, 3);
        if (r->ruleKind == XR_CFG_RULE_FILTER)
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
        Text(static_cast<XrCfgApp *>(record)->name, sizeof(XrCfgApp::name), kTextAlphabet);
        break;
    case XR_CFG_KIND_PLUGIN: {
        // The reader takes type, id and text from the options, so the options carry them.
        XrCfgPlugin *r = static_cast<XrCfgPlugin *>(record);
        do
            Word(r->pluginName);
        while (r->pluginName[0] == '#');
        Word(r->pluginPath);
        r->optionCount = Number(3, 6);
        r->options = static_cast<XrCfgPluginOption *>(calloc(r->optionCount, sizeof *r->options));
        r->pluginType = Number(-5, 99);
        r->pluginId = Number(0, 2) ? Number(1, 99) : 0;
        Text(r->pluginText, sizeof r->pluginText, kValueAlphabet);
        for (int32_t i = 0; i < r->optionCount; i++) {
            snprintf(r->options[i].name, sizeof r->options[i].name, "o%d", static_cast<int>(i));
            Text(r->options[i].value, sizeof r->options[i].value, kValueAlphabet);
        }
        auto set = [r](int32_t i, const char *name, const std::string &value) {
            r->options[i] = XrCfgPluginOption{};
            snprintf(r->options[i].name, sizeof r->options[i].name, "%s", name);
            snprintf(r->options[i].value, sizeof r->options[i].value, "%s", value.c_str());
        };
        set(0, "Type", std::to_string(r->pluginType));
        set(1, "text", r->pluginText);
        if (r->pluginId)
            set(2, "ID", std::to_string(r->pluginId));
        break;
    }
    case XR_CFG_KIND_INTERFACE: {
        XrCfgInterface *r = static_cast<XrCfgInterface *>(record);
        Word(r->interfaceName), List(&r->addressList, &r->addressCount);
        r->interfaceFlags = Number(0, 7);
        break;
    }
    case XR_CFG_KIND_BAN: {
        XrCfgBan *r = static_cast<XrCfgBan *>(record);
        Word(r->hostPattern), Word(r->portPattern);
        break;
    }
    }
}

// Records of a kind side by side: the lists by content, everything else byte for byte.
void ExpectSameRecords(XrCfg *a, XrCfg *b, int32_t kind)
{
    const XrCfgLayout &layout = XrCfgLayouts[kind];
    ASSERT_EQ(XrCfgCount(a, kind), XrCfgCount(b, kind)) << kind;
    for (int32_t number = 1; number <= XrCfgCount(a, kind); number++) {
        std::vector<char> x(layout.size), y(layout.size);
        memcpy(x.data(), &number, sizeof number);
        memcpy(y.data(), &number, sizeof number);
        ASSERT_EQ(XrCfgGet(a, kind, x.data()), 0);
        ASSERT_EQ(XrCfgGet(b, kind, y.data()), 0);
        for (int32_t i = 0; i < layout.lists; i++) {
            const XrCfgListLayout &list = layout.list[i];
            int32_t countX, countY;
            char *itemsX, *itemsY;
            memcpy(&countX, x.data() + list.count, sizeof countX);
            memcpy(&countY, y.data() + list.count, sizeof countY);
            memcpy(&itemsX, x.data() + list.items, sizeof itemsX);
            memcpy(&itemsY, y.data() + list.items, sizeof itemsY);
            ASSERT_EQ(countX, countY) << "kind " << kind << " record " << number;
            if (countX > 0) {
                EXPECT_EQ(std::string(itemsX, countX * list.itemSize), std::string(itemsY, countY * list.itemSize));
            }
        }
        XrCfgFreeLists(kind, x.data());
        XrCfgFreeLists(kind, y.data());
        EXPECT_EQ(x, y) << "kind " << kind << " record " << number;
    }
}

TEST(CfgRecords, GeneratedModelsSurviveSaveAndOpen)
{
    Generator generator(20240601);
    TempDir dir;
    std::string path = dir.Path("generated.cfg");
    for (int iteration = 0; iteration < 300; iteration++) {
        int32_t form = iteration % 2 ? XR_CFG_FORM_SERVER : XR_CFG_FORM_CLIENT;
        CfgPtr model = EmptyModel(form, 0x3FF);
        for (int32_t i = generator.Number(0, 6); i > 0; i--) {
            XrCfgVariable variable = {};
            generator.Word(variable.name, false, 0);
            for (char &c : variable.name)
                c = c == '=' ? '-' : c;
            generator.Text(variable.value, sizeof variable.value, kTextAlphabet);
            ASSERT_EQ(XrCfgInsert(model.get(), XR_CFG_KIND_SET, &variable), 0);
        }
        for (int32_t kind = XR_CFG_KIND_AUTH; kind <= XR_CFG_KINDS; kind++) {
            for (int32_t i = XrCfgCount(model.get(), kind) < 0 ? 0 : generator.Number(0, 4); i > 0; i--) {
                std::vector<char> record(XrCfgLayouts[kind].size);
                generator.Fill(kind, form, record.data());
                ASSERT_EQ(XrCfgAppend(model.get(), kind, record.data()), 0);
                XrCfgFreeLists(kind, record.data());
            }
        }
        ASSERT_EQ(XrCfgSave(path.c_str(), 0, model.get()), 0);
        XrCfg *read = nullptr;
        ASSERT_EQ(XrCfgOpen(path.c_str(), form, 0x3FF, &read), 0) << ReadBytes(path);
        CfgPtr again(read);
        for (int32_t kind = XR_CFG_KIND_AUTH; kind <= XR_CFG_KINDS; kind++)
            ExpectSameRecords(model.get(), read, kind);
        ASSERT_EQ(XrCfgCount(read, XR_CFG_KIND_SET), XrCfgCount(model.get(), XR_CFG_KIND_SET));
        XrCfgVariable variable = {};
        for (int32_t more = XrCfgCount(read, XR_CFG_KIND_SET) ? 1 : 0; more == 1;) {
            more = XrCfgGetNext(read, XR_CFG_KIND_SET, &variable);
            XrCfgVariable expected = variable;
            ASSERT_EQ(XrCfgGet(model.get(), XR_CFG_KIND_SET, &expected), 0);
            EXPECT_STREQ(variable.value, expected.value);
        }
        if (HasFailure())
            FAIL() << "iteration " << iteration << ":\n" << ReadBytes(path);
    }
}

}  // namespace
