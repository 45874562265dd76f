// The file side of the configuration model: what a file reads as and what a save writes back.
#include "cfg_test_files.h"

#include <gtest/gtest.h>

#include "cfg_describe.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

using namespace std::string_literals;

const uint32_t kAll = 0x3FF;

struct RoundTrip {
    const char *name;
    int32_t form;
    uint32_t mask;
    std::string in;
    const char *out; // null: the open fails
};

const RoundTrip kRoundTrips[] = {
    {"SocksRuleKeepsEveryField", 1, 0, "socks5 - 10.0.0.0/8 1-1024 u1,u2 p1:1080,p2\n",
     "socks5 - 10.0.0.0/8 1-1024 u1,u2 p1:1080,p2\n"},
    {"CapitalKeywordReadsAsKeyword", 1, 0, "SOCKS5 - d p - s\nSocks4 - d p - s\n", "socks5 - d p - s\nsocks4 - d p - s\n"},
    {"KeywordAloneOrRunOnIsIgnored", 1, 0, "socks5\nsocks5x - d p - s\nsocks - d p - s\n", ""},
    {"ShortKeywordsReadAsLongOnes", 1, kAll,
     "s4 - d p n s\ns5 - d p n s\nn - d p\ngb d p s\na h p m\nld x\nrd y\nya a\nna b\nsa c\nb h p\ns v=1\n",
     "set v=1\nban h p\nauth h p m\nsocks4 - d p n s\nsocks5 - d p n s\nnoproxy - d p - \ngbind d p s\n"
     "localdns x\nremotedns y\nyes a\nno b\nsys c\n"},
    {"ServerShortKeywordsReadAsLongOnes", 2, kAll, "r a b c\np m s h k x y\nd m s h k x y\nf l m s h k x y t\ni e 1 a\npin n p\n",
     "route a b c\npermit m s h k x y -\ndeny m s h k x y -\nfilter l m s h k x y t\ninterface e 1 a\n"
     "plugin n p type=0,text=\n"},
    {"NoproxyWithoutNamesGetsDashAndEmptyServers", 1, 0, "noproxy - d p\n", "noproxy - d p - \n"},
    {"NoproxyServersAreNotRead", 1, 0, "noproxy - d p n s1,s2\n", "noproxy - d p n \n"},
    {"SocksWithoutServersFails", 1, 0, "socks5 - d p n\n", nullptr},
    {"SocksWithoutNamesFails", 1, 0, "socks4 - d p\n", nullptr},
    {"GbindHasNoLeadField", 1, 0, "GB d p s1,s2\n", "gbind d p s1,s2\n"},
    {"GbindWithoutServersFails", 1, 0, "gbind d p\n", nullptr},
    {"DashListReadsBackAsDash", 1, 0, "auth h p -\n", "auth h p -\n"},
    {"EmptyItemsAreKept", 1, 0, "localdns a,,b\nremotedns ,\n", "localdns a,,b\nremotedns ,\n"},
    {"FieldsAfterTheLastAreIgnored", 1, 0, "socks4 - d p n s extra\nban h p q\n", "socks4 - d p n s\n"},
    {"SetWithEquals", 1, 0, "set a=b c \n", "set a=b c \n"},
    {"SetWithBlank", 1, 0, "set a b\n", "set a=b\n"},
    {"SetWithBlanksAroundEqualsKeepsEquals", 1, 0, "set a = b\n", "set a== b\n"},
    {"SetWithEqualsAndNothingFails", 1, 0, "set a=\n", nullptr},
    {"SetWithoutValueFails", 1, 0, "set a\n", nullptr},
    {"LaterSetWins", 1, 0, "set a=1\nset a=2\n", "set a=2\n"},
    {"DefaultMaskDropsBansAndComments", 1, 0, "# note\nban h p\nauth h p m\n", "auth h p m\n"},
    {"BanBitKeepsBans", 1, 0x200, "ban h p\nauth h p m\n", "ban h p\n"},
    {"MaskLeavesOutOtherSections", 1, 0x8, "set a=1\nsocks4 - d p n s\nyes x\n", "socks4 - d p n s\n"},
    {"ClientFormIgnoresServerKeywords", 1, kAll, "route a b c\npermit m s h k x y\nplugin n p\ninterface e 1 a\n", ""},
    {"ServerFormIgnoresClientKeywords", 2, kAll, "gbind d p s\nlocaldns x\nyes a\nno b\nsys c\n", ""},
    {"ClientFormSectionOrder", 1, kAll,
     "sys c\nno b\nyes a\nremotedns r\nlocaldns l\nsocks5 - d p n s\nauth h p m\nban h p\nset v=1\n",
     "set v=1\nban h p\nauth h p m\nsocks5 - d p n s\nlocaldns l\nremotedns r\nyes a\nno b\nsys c\n"},
    {"ServerFormSectionOrder", 2, kAll,
     "plugin n p type=1,text=t\ninterface e 2 a\ndeny m s h k x y t\nsocks5 d p s\nroute a b c\nauth h p m\nban h p\n",
     "ban h p\nauth h p m\nroute a b c\nsocks5 d p s\ndeny m s h k x y t\ninterface e 2 a\nplugin n p type=1,text=t\n"},
    {"ServerProxyLines", 2, 0, "socks5 d p s1,s2\nnoproxy d p\nsocks4 d p s\n",
     "socks5 d p s1,s2\nnoproxy d p \nsocks4 d p s\n"},
    {"ServerSocksWithoutServersFails", 2, 0, "socks5 d p\n", nullptr},
    {"FilterWithoutTailGetsDash", 2, 0, "permit m s h k x y\n", "permit m s h k x y -\n"},
    {"FilterLeadListIsRequired", 2, 0, "filter l m s h k x\n", nullptr},
    {"InterfaceFlagsKeepThreeBits", 2, 0, "interface eth0 15 10.0.0.1,10.0.0.2\n", "interface eth0 7 10.0.0.1,10.0.0.2\n"},
    {"InterfaceWithoutAddressesFails", 2, 0, "interface eth0 1\n", nullptr},
    {"PluginGetsTypeAndText", 2, 0, "plugin n p\n", "plugin n p type=0,text=\n"},
    {"PluginKeepsItsOptions", 2, 0, "plugin n p Type=3,ID=7,a=\"x y\",TEXT=\"hi there\"\n",
     "plugin n p Type=3,ID=7,a=\"x y\",TEXT=\"hi there\"\n"},
    {"PluginEmptyValueAndTrailingWords", 2, 0, "plugin n p a=,b=2 rest\n", "plugin n p a=,b=2,type=0,text=\n"},
    {"PluginValueWithCommaStaysQuoted", 2, 0, "plugin n p a=\"x,y\"\n", "plugin n p a=\"x,y\",type=0,text=\n"},
    {"PluginSwitchedOffIsKeptAsItsText", 2, 0, "plugin #n p a=1\nplugin\t#x \nplugin \n",
     "plugin #n p a=1\nplugin #x \nplugin \n"},
    {"PluginNameWithHashFails", 2, 0, "plugin  #n p\n", nullptr},
    {"PluginOptionWithoutEqualsFails", 2, 0, "plugin n p a\n", nullptr},
    {"PluginOptionWithBlankBeforeEqualsFails", 2, 0, "plugin n p a=1, b=2\n", nullptr},
    {"PluginUnclosedQuoteFails", 2, 0, "plugin n p a=\"x y\n", nullptr},
    {"PluginTabInQuotesFails", 2, 0, "plugin n p a=\"x\ty\"\n", nullptr},
    {"ApplicationNameKeepsBlanks", 1, 0, "yes   C:\\Program Files\\a b.exe  \n", "yes C:\\Program Files\\a b.exe  \n"},
    {"CommentsAndBlankLinesOnly", 1, 0, "# a\n\n  # b\n\t\n", ""},
    {"CrLfLinesAndLeadingBlanks", 1, 0, "  \tyes a b\r\nset x=y \r\n", "set x=y \nyes a b\n"},
    {"CtrlZEndsTheText", 1, 0, "yes a\n\x1ayes b\n", "yes a\n"},
    {"NulByteFails", 1, 0, "yes a\nyes b\0c\nyes d\n"s, nullptr},
    {"Utf16Fails", 1, 0, "\xff\xfey\0e\0s\0 \0a\0\r\0\n\0"s, nullptr},
    {"Utf16WithoutNulFails", 1, 0, "\xff\xfe\x1a\x04", nullptr},
};

void PrintTo(const RoundTrip &row, std::ostream *out)
{
    *out << row.name;
}

class CfgRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(CfgRoundTrip, SavesWhatItRead)
{
    const RoundTrip &row = GetParam();
    CfgPtr cfg = OpenText(row.in, row.form, row.mask);
    if (!row.out) {
        EXPECT_EQ(cfg, nullptr);
        return;
    }
    ASSERT_NE(cfg, nullptr);
    std::string saved = Saved(cfg.get());
    EXPECT_EQ(saved, Crlf(row.out));
    // What was saved opens again to the same model.
    CfgPtr again = OpenText(saved, row.form, row.mask);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(DescribeModel(again.get()), DescribeModel(cfg.get()));
}

INSTANTIATE_TEST_SUITE_P(Lines, CfgRoundTrip, testing::ValuesIn(kRoundTrips),
                         [](const testing::TestParamInfo<RoundTrip> &info) { return std::string(info.param.name); });

TEST(CfgOpen, FieldLongerThanItsRecordFieldFails)
{
    const std::string port63(63, '9'), item127(127, 'n'), value255(255, 'v');
    EXPECT_NE(OpenText("socks5 - d " + port63 + " " + item127 + " s\n"), nullptr);
    EXPECT_EQ(OpenText("socks5 - d " + port63 + "9 n s\n"), nullptr);
    EXPECT_EQ(OpenText("socks5 - d p " + item127 + "n s\n"), nullptr);
    EXPECT_NE(OpenText("set a=" + value255 + "\n"), nullptr);
    EXPECT_EQ(OpenText("set a=" + value255 + "v\n"), nullptr);
    EXPECT_NE(OpenText("set " + std::string(127, 'a') + "=1\n"), nullptr);
    EXPECT_EQ(OpenText("set " + std::string(128, 'a') + "=1\n"), nullptr);
    EXPECT_EQ(OpenText("yes " + std::string(256, 'y') + "\n"), nullptr);
}

TEST(CfgOpen, ApplicationNameAndDashListReadAsStored)
{
    CfgPtr cfg = OpenText("yes C:\\a b\\c.exe\nsocks5 - d p - s\n");
    ASSERT_NE(cfg, nullptr);
    XrCfgApp app = {1, {}};
    ASSERT_EQ(XrCfgGet(cfg.get(), XR_CFG_KIND_YES, &app), 0);
    EXPECT_STREQ(app.name, "C:\\a b\\c.exe");
    XrCfgProxy rule = {};
    rule.number = 1;
    ASSERT_EQ(XrCfgGet(cfg.get(), XR_CFG_KIND_PROXY, &rule), 0);
    ASSERT_EQ(rule.nameCount, 1);
    EXPECT_STREQ(rule.nameList[0], "-");
    XrCfgFreeRecord(XR_CFG_KIND_PROXY, &rule);
}

TEST(CfgOpen, EmptyFileOpensLikeNoFile)
{
    CfgPtr empty = OpenText("");
    ASSERT_NE(empty, nullptr);
    XrCfg *none = nullptr;
    ASSERT_EQ(XrCfgOpen(nullptr, 1, 0, &none), 0);
    CfgPtr noFile(none);
    for (int32_t kind = 1; kind <= XR_CFG_KINDS; kind++)
        EXPECT_EQ(XrCfgCount(empty.get(), kind), XrCfgCount(none, kind)) << kind;
    EXPECT_EQ(XrCfgCount(none, XR_CFG_KIND_SET), 0);
    EXPECT_EQ(XrCfgSave(nullptr, 0, none), -1);
}

TEST(CfgOpen, MissingFileOrBadArgumentsFail)
{
    TempDir dir;
    XrCfg *cfg = reinterpret_cast<XrCfg *>(&dir);
    EXPECT_EQ(XrCfgOpen(dir.Path("missing.cfg").c_str(), 1, 0, &cfg), -1);
    EXPECT_EQ(cfg, reinterpret_cast<XrCfg *>(&dir));
    EXPECT_EQ(XrCfgOpen(nullptr, 1, 0, nullptr), -1);
    EXPECT_EQ(XrCfgOpen(nullptr, 3, 0, &cfg), -1);
}

TEST(CfgOpen, CheckedOpenNamesTheFailingLine)
{
    XrCfg *cfg = nullptr;
    XrCfgProblem problem = {};
    const char text[] = "# head\nsocks5 - d p n s\n\nsocks4 - d p n\n";
    EXPECT_EQ(XrCfgOpenBytes(nullptr, 1, 0, text, sizeof text - 1, &cfg, &problem), -1);
    EXPECT_EQ(problem.line, 4);
    EXPECT_STREQ(problem.reason, "the server list is missing");
}

TEST(CfgSave, WritesCrLfLineEnds)
{
    CfgPtr cfg = OpenText("yes a\nno b\n");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(Saved(cfg.get()), "yes a\r\nno b\r\n");
}

TEST(CfgSave, MaskBeyondTheModelsOrNoPathFails)
{
    CfgPtr cfg = OpenText("yes a\n", 1, 0x40);
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(Saved(cfg.get(), 0x48), "<save failed>");
    EXPECT_EQ(Saved(cfg.get(), 0x40), "yes a\r\n");
    EXPECT_EQ(XrCfgSave("x", 0, nullptr), -1);
}

TEST(CfgSave, SaveToOwnPathReplacesTheFileAndLeavesNothingElse)
{
    TempDir dir;
    std::string path = dir.Write("a.cfg", "# old\nyes a\nban h p\n");
    XrCfg *cfg = nullptr;
    ASSERT_EQ(XrCfgOpen(path.c_str(), 1, 0, &cfg), 0);
    CfgPtr owner(cfg);
    ASSERT_EQ(XrCfgSave(nullptr, 0, cfg), 0);
    EXPECT_EQ(ReadBytes(path), "yes a\r\n");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.cfg"});
}

// A save that cannot complete must leave the old file byte for byte.
TEST(CfgSave, ReadOnlyFileKeepsItsBytes)
{
    TempDir dir;
    const std::string old = "yes old\r\n";
    std::string path = dir.Write("a.cfg", old);
    CfgPtr cfg = OpenText("yes new\n");
    ASSERT_NE(cfg, nullptr);
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
#else
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
#endif
    EXPECT_EQ(XrCfgSave(path.c_str(), 0, cfg.get()), -1);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.cfg"});
#ifdef _WIN32
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

#ifdef _WIN32
TEST(CfgSave, FileLockedByAnotherHandleKeepsItsBytes)
{
    TempDir dir;
    const std::string old = "yes old\r\n";
    std::string path = dir.Write("a.cfg", old);
    CfgPtr cfg = OpenText("yes new\n");
    ASSERT_NE(cfg, nullptr);
    HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(XrCfgSave(path.c_str(), 0, cfg.get()), -1);
    CloseHandle(exclusive);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.cfg"});
}

TEST(CfgSave, ReaderSharingTheFileDoesNotStopTheSave)
{
    TempDir dir;
    std::string path = dir.Write("a.cfg", "yes old\r\n");
    CfgPtr cfg = OpenText("yes new\n");
    ASSERT_NE(cfg, nullptr);
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(XrCfgSave(path.c_str(), 0, cfg.get()), 0);
    CloseHandle(reader);
    EXPECT_EQ(ReadBytes(path), "yes new\r\n");
}
#else
TEST(CfgSave, DiskFullKeepsTheOldBytes)
{
    TempDir dir;
    const std::string old = "yes old\r\n";
    std::string path = dir.Write("a.cfg", old);
    std::string domains(255, 'x');
    for (int i = 0; i < 40; i++)
        domains += "," + std::string(255, 'x');
    CfgPtr cfg = OpenText("localdns " + domains + "\n");
    ASSERT_NE(cfg, nullptr);
    // A file size limit makes the writes fail as a full disk would.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int32_t result = XrCfgSave(path.c_str(), 0, cfg.get());
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.cfg"});
}

TEST(CfgSave, NoRoomForASiblingWritesInPlace)
{
    TempDir dir;
    std::string name(250, 'c');
    std::string path = dir.Write(name, "yes old\r\n");
    CfgPtr cfg = OpenText("yes new\n");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(XrCfgSave(path.c_str(), 0, cfg.get()), 0);
    EXPECT_EQ(ReadBytes(path), "yes new\r\n");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{name});
}
#endif

}  // namespace
