// The portable core of the LDAP method: option text, the attribute message, the expansions
// with their escaping, the stored credential text and the verdict cache.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "xrldap_attr.h"
#include "xrldap_cache.h"
#include "xrldap_credential.h"
#include "xrldap_expand.h"

namespace {

std::vector<std::string> g_log;

void CaptureLog(int32_t, const char *line)
{
    g_log.push_back(line);
}

class LdapCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        XrLdapSetLogSink(CaptureLog);
    }
    void TearDown() override { XrLdapSetLogSink(nullptr); }

    static bool Logged(const std::string &line)
    {
        for (const std::string &entry : g_log)
            if (entry == line)
                return true;
        return false;
    }
};

XrLdapTemplate Parse(const char *text)
{
    XrLdapTemplate result;
    EXPECT_EQ(XrLdapParseTemplate(text, &result), 0) << text;
    return result;
}

// Received attributes from name/value pairs; values may hold NUL bytes.
XrLdapTemplate Received(const std::vector<std::pair<std::string, std::string>> &pairs)
{
    XrLdapTemplate result = {};
    result.version = 1;
    for (const auto &pair : pairs) {
        XrLdapAttr &entry = result.entries[result.count++];
        entry.nameLength = (uint8_t)pair.first.size();
        memcpy(entry.name, pair.first.data(), pair.first.size());
        entry.valueLength = (uint8_t)pair.second.size();
        memcpy(entry.value, pair.second.data(), pair.second.size());
    }
    return result;
}

std::string Render(const XrLdapTemplate &attrs)
{
    std::string text;
    for (int i = 0; i < attrs.count; i++) {
        text += i ? "|" : "";
        text += std::string(attrs.entries[i].name, attrs.entries[i].nameLength) + "=" +
                std::string(attrs.entries[i].value, attrs.entries[i].valueLength);
    }
    return text;
}

struct ParseCase {
    const char *text;
    int result;
    const char *entries;
};

TEST_F(LdapCoreTest, OptionTextBecomesTemplateEntries)
{
    const ParseCase cases[] = {
        {"dn,password", 0, "dn=|password="},
        {"  dn , password  ", 0, "dn=|password="},
        {"uid,ou=people,dc=example", 0, "uid=|ou=people|dc=example"},
        {"dn=\"cn=ann, o=x\",password = secret ", 0, "dn=cn=ann, o=x|password=secret"},
        {"a=$uid,b", 0, "a=$uid|b="},
        {"dn,,password", 0, "dn=|password="},
        {"a,b,c,d,e,f,g,h,i,j", 0, "a=|b=|c=|d=|e=|f=|g=|h=|i=|j="},
        {"a,b,c,d,e,f,g,h,i,j,k", -1, ""},
        {"", -1, ""},
        {" , ,", -1, ""},
    };
    for (const ParseCase &row : cases) {
        XrLdapTemplate result;
        EXPECT_EQ(XrLdapParseTemplate(row.text, &result), row.result) << row.text;
        if (row.result == 0) {
            EXPECT_EQ(Render(result), row.entries) << row.text;
        }
    }
    EXPECT_TRUE(Logged("LDAP: max num of attrs (10) exceeded"));
    EXPECT_TRUE(Logged("LDAP: no options found in  , ,"));
}

TEST_F(LdapCoreTest, LongNamesAndValuesAreCut)
{
    std::string text = std::string(100, 'n') + "=" + std::string(300, 'v');
    XrLdapTemplate result = Parse(text.c_str());
    EXPECT_EQ(result.entries[0].nameLength, 63);
    EXPECT_EQ(strlen(result.entries[0].name), 63u);
    EXPECT_EQ(result.entries[0].valueLength, 255);
}

// Reads from a byte string, as the socket would deliver it.
struct Feed {
    std::string data;
    size_t at = 0;
};

int ReadFeed(void *context, unsigned char *buffer, int length)
{
    Feed *feed = (Feed *)context;
    int count = (int)std::min<size_t>(length, feed->data.size() - feed->at);
    memcpy(buffer, feed->data.data() + feed->at, count);
    feed->at += count;
    return count;
}

TEST_F(LdapCoreTest, EncodedMessageIsReceivedUnchanged)
{
    XrLdapTemplate sent = Received({{"dn", std::string("cn=a\0b", 6)}, {"password", ""}});
    unsigned char buffer[XR_LDAP_MESSAGE_MAX];
    int length = XrLdapEncode(&sent, buffer, sizeof buffer);
    ASSERT_EQ(length, 2 + (1 + 2 + 1 + 6) + (1 + 8 + 1));
    Feed feed{std::string((char *)buffer, length)};
    XrLdapTemplate received;
    ASSERT_EQ(XrLdapReceive(ReadFeed, &feed, 0, &received), 0);
    EXPECT_EQ(Render(received), Render(sent));
    EXPECT_TRUE(Logged("LDAP: received dn="));
    EXPECT_TRUE(Logged("LDAP: received password="));
    EXPECT_EQ(XrLdapEncode(&sent, buffer, length - 1), -1);
}

struct ReceiveCase {
    std::string bytes;
    int withHeader;
    int result;
};

TEST_F(LdapCoreTest, MalformedOrShortMessagesAreRejected)
{
    const ReceiveCase cases[] = {
        {std::string("\x01\x00", 2), 0, 0},
        {std::string("\x02\x00", 2), 0, XR_LDAP_MALFORMED},
        {std::string("\x01\x0b", 2), 0, XR_LDAP_MALFORMED},
        {std::string("\x01", 1), 0, XR_LDAP_SHORT_READ},
        {std::string("\x01\x01\x02" "dn\x05" "ab", 8), 0, XR_LDAP_SHORT_READ},
        {std::string("\x05\xc4\x00\x02\x01\x00", 6), 1, 0},
        {std::string("\x05\xc5\x00\x02\x01\x00", 6), 1, XR_LDAP_MALFORMED},
        // The header announces fewer bytes than the message needs, or more than it has.
        {std::string("\x05\xc4\x00\x04\x01\x01\x02" "dn\x00", 10), 1, XR_LDAP_MALFORMED},
        {std::string("\x05\xc4\x00\x03\x01\x00", 6), 1, XR_LDAP_MALFORMED},
    };
    for (const ReceiveCase &row : cases) {
        Feed feed{row.bytes};
        XrLdapTemplate received;
        EXPECT_EQ(XrLdapReceive(ReadFeed, &feed, row.withHeader, &received), row.result)
            << testing::PrintToString(row.bytes);
    }
}

struct ExpandCase {
    const char *dnTemplate;
    std::vector<std::pair<std::string, std::string>> received;
    int result;
    std::string dn;
    std::string key;
};

TEST_F(LdapCoreTest, DnIsBuiltFromTemplateAndReceivedValues)
{
    const ExpandCase cases[] = {
        {"dn", {{"dn", "uid=ann,o=x"}, {"password", "p"}}, 0, "uid=ann,o=x", "uid=ann,o=x,"},
        {"uid=$user,o=example", {{"user", "ann"}}, 0, "uid=ann,o=example", "ann,"},
        {"uid,ou=people", {{"UID", "ann"}}, 0, "uid=ann,ou=people", "ann,"},
        {"uid,ou=people", {{"cn", "ann"}}, 0, "ou=people", ","},
        {"uid", {{"cn", "ann"}}, -1, "", ""},
        {"cn,o=x", {{"cn", "Smith, John"}}, 0, "cn=Smith\\, John,o=x", "Smith, John,"},
        {"uid,o=x", {{"uid", ")(uid=*"}}, 0, "uid=)(uid\\=*,o=x", ")(uid=*,"},
        {"cn,o=x", {{"cn", " #a+b;c<d>e\"f\\ "}}, 0,
         "cn=\\ #a\\+b\\;c\\<d\\>e\\\"f\\\\\\ ,o=x", ""},
        {"cn,o=x", {{"cn", std::string("a\0b", 3)}}, 0, "cn=a\\00b,o=x", ""},
        {"dn", {{"dn", std::string("uid=a\0,o=x", 10)}}, -1, "", ""},
        {"o", {{"o", std::string(255, 'x')}}, -1, "", ""},
    };
    for (const ExpandCase &row : cases) {
        XrLdapTemplate dnTemplate = Parse(row.dnTemplate);
        XrLdapTemplate received = Received(row.received);
        XrLdapKey key = {};
        char dn[XR_LDAP_EXPAND_SIZE] = "";
        ASSERT_EQ(XrLdapExpandDn(&dnTemplate, &received, dn, &key), row.result) << row.dnTemplate;
        if (row.result != 0)
            continue;
        EXPECT_EQ(std::string(dn), row.dn) << row.dnTemplate;
        if (!row.key.empty()) {
            EXPECT_EQ(std::string((char *)key.bytes, key.length), row.key) << row.dnTemplate;
        }
    }
}

struct FilterCase {
    const char *filter;
    std::vector<std::pair<std::string, std::string>> received;
    int result;
    std::string expanded;
};

TEST_F(LdapCoreTest, FilterTextTakesEscapedReceivedValues)
{
    const FilterCase cases[] = {
        {"(uid=$uid)", {{"uid", "ann"}}, 0, "(uid=ann)"},
        {"(uid=$uid)", {{"uid", "*"}}, 0, "(uid=\\2a)"},
        {"(uid=$uid)", {{"uid", ")(uid=*"}}, 0, "(uid=\\29\\28uid=\\2a)"},
        {"(uid=$uid)", {{"uid", std::string("a\\\0", 3)}}, 0, "(uid=a\\5c\\00)"},
        {"(uid=$uid)", {{"cn", "ann"}}, -1, ""},
        {"(uid=$uid)", {{"uid", std::string(246, 'a')}}, 0, "(uid=" + std::string(246, 'a') + ")"},
        {"(uid=$uid)", {{"uid", std::string(250, 'a')}}, -1, ""},
    };
    for (const FilterCase &row : cases) {
        XrLdapTemplate received = Received(row.received);
        char filter[XR_LDAP_EXPAND_SIZE] = "";
        ASSERT_EQ(XrLdapExpandFilterText(row.filter, &received, filter, nullptr), row.result)
            << row.filter;
        if (row.result == 0) {
            EXPECT_EQ(std::string(filter), row.expanded) << row.filter;
        }
    }
    EXPECT_TRUE(Logged("filter can't be expanded at $uid)"));
    EXPECT_TRUE(Logged("filter too long"));
}

TEST_F(LdapCoreTest, FilterTemplateJoinsItsEntries)
{
    const FilterCase cases[] = {
        {"objectClass=person,uid", {{"uid", "ann"}}, 0, "(&(objectClass=person)(uid=ann))"},
        {"uid=$user", {{"user", "a*"}}, 0, "(&(uid=a\\2a))"},
        {"uid", {{"cn", "ann"}}, -1, ""},
    };
    for (const FilterCase &row : cases) {
        XrLdapTemplate filterTemplate = Parse(row.filter);
        XrLdapTemplate received = Received(row.received);
        char filter[XR_LDAP_EXPAND_SIZE] = "";
        ASSERT_EQ(XrLdapExpandFilterTemplate(&filterTemplate, &received, filter, nullptr),
                  row.result)
            << row.filter;
        if (row.result == 0) {
            EXPECT_EQ(std::string(filter), row.expanded) << row.filter;
        }
    }
}

struct AnswerCase {
    const char *request;
    const char *stored;
    int result;
    const char *answer;
};

TEST_F(LdapCoreTest, AnswerTakesStoredItemsInRequestOrder)
{
    const AnswerCase cases[] = {
        {"dn,password", "password=\"p\",dn=\"uid=ann,o=x\"", 0, "dn=uid=ann,o=x|password=p"},
        {"DN,Password", "dn=\"a\",password=\"p\"", 0, "DN=a|Password=p"},
        {"dn,password", "dn=\"a\"", -1, ""},
        {"dn,password", "", -1, ""},
    };
    for (const AnswerCase &row : cases) {
        XrLdapTemplate request = Parse(row.request);
        XrLdapTemplate answer;
        ASSERT_EQ(XrLdapAnswer(&request, row.stored, &answer), row.result) << row.stored;
        if (row.result == 0) {
            EXPECT_EQ(Render(answer), row.answer);
        }
    }
}

struct ComposeCase {
    const char *asked;
    const char *user;
    const char *password;
    int result;
    const char *text;
    const char *shownUser; // the user field shown again from the stored text
};

TEST_F(LdapCoreTest, PromptFieldsBecomeStoredText)
{
    const ComposeCase cases[] = {
        {"dn,password", "uid=ann,o=x", "p", 0, "dn=\"uid=ann,o=x\",password=\"p\"", "uid=ann,o=x"},
        {"uid,userPassword", "ann", "p", 0, "uid=\"ann\",userPassword=\"p\"", "ann"},
        {"uid,ou,password", "uid=ann,ou=sales", "p", 0,
         "uid=\"ann\",ou=\"sales\",password=\"p\"", "uid=\"ann\",ou=\"sales\""},
        {"uid,ou,password", "ann", "p", -1, "", ""},
        {"dn,password", "a\"b", "p", -1, "", ""},
    };
    for (const ComposeCase &row : cases) {
        XrLdapTemplate asked = Parse(row.asked);
        char text[1024] = "";
        ASSERT_EQ(XrLdapComposeCredential(&asked, row.user, row.password, text, sizeof text),
                  row.result)
            << row.user;
        if (row.result != 0)
            continue;
        EXPECT_STREQ(text, row.text);
        char user[128], password[256];
        XrLdapSplitCredential(text, user, sizeof user, password, sizeof password);
        EXPECT_STREQ(user, row.shownUser);
        EXPECT_STREQ(password, row.password);
    }
    XrLdapTemplate hostile = Received({{"dn\",x", ""}});
    char text[1024];
    EXPECT_EQ(XrLdapComposeCredential(&hostile, "a", "p", text, sizeof text), -1);
}

TEST_F(LdapCoreTest, CacheBucketIsLengthPlusSignedOddBytes)
{
    const unsigned char plain[] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(XrLdapCacheHash(plain, 4), (4 + 'b' + 'd') % 10);
    const unsigned char high[] = {0, 0xFF, 0, 0xF0};
    EXPECT_EQ(XrLdapCacheHash(high, 4), ((4 - 1 - 16) % 10 + 10) % 10);
    EXPECT_EQ(XrLdapCacheHash(nullptr, 0), 0);
}

TEST_F(LdapCoreTest, CachedVerdictLivesForItsLifetime)
{
    XrLdapCache *cache = XrLdapCacheCreate(600);
    const unsigned char ok[] = "ann,annpass,";
    const unsigned char bad[] = "ann,wrong,";
    XrLdapCacheAdd(cache, ok, sizeof ok - 1, 0, 1000);
    XrLdapCacheAdd(cache, bad, sizeof bad - 1, 1, 1000);
    EXPECT_TRUE(Logged("LDAP: Add to Cache"));
    int verdict = -1;
    ASSERT_EQ(XrLdapCacheLookup(cache, ok, sizeof ok - 1, 1600, &verdict), 0);
    EXPECT_EQ(verdict, 0);
    EXPECT_TRUE(Logged("LDAP: Cached AUTH_OK"));
    ASSERT_EQ(XrLdapCacheLookup(cache, bad, sizeof bad - 1, 1000, &verdict), 0);
    EXPECT_EQ(verdict, 1);
    EXPECT_TRUE(Logged("LDAP: Cached AUTH_FAIL"));
    EXPECT_EQ(XrLdapCacheLookup(cache, ok, sizeof ok - 2, 1000, &verdict), -1);
    // Past its lifetime the entry is gone on lookup.
    EXPECT_EQ(XrLdapCacheLookup(cache, ok, sizeof ok - 1, 1601, &verdict), -1);
    EXPECT_EQ(XrLdapCacheCount(cache), 1);
    XrLdapCacheDestroy(cache);
}

// Keys of one length whose odd bytes are equal land in one bucket.
std::string SameBucketKey(int n)
{
    std::string key = "x0x0";
    key[0] = (char)('A' + n);
    key[2] = (char)('a' + n);
    return key;
}

TEST_F(LdapCoreTest, AddPurgesAtMostThreeExpiredEntriesFromTheCursor)
{
    XrLdapCache *cache = XrLdapCacheCreate(10);
    for (int i = 0; i < 8; i++) {
        std::string key = SameBucketKey(i);
        XrLdapCacheAdd(cache, (const unsigned char *)key.data(), 4, 0, 100);
    }
    ASSERT_EQ(XrLdapCacheCount(cache), 8);
    std::string fresh = SameBucketKey(20);
    auto addFresh = [&] { XrLdapCacheAdd(cache, (const unsigned char *)fresh.data(), 4, 0, 200); };
    addFresh();  // from the head: three expired entries go
    EXPECT_EQ(XrLdapCacheCount(cache), 8 - 3 + 1);
    addFresh();  // from the head again: the fresh entry stays, two expired go
    EXPECT_EQ(XrLdapCacheCount(cache), 6 - 2 + 1);
    addFresh();  // on behind the fresh entries: the last three expired go, the end is reached
    EXPECT_EQ(XrLdapCacheCount(cache), 5 - 3 + 1);
    addFresh();  // back at the head: only fresh entries, none goes
    EXPECT_EQ(XrLdapCacheCount(cache), 3 + 1);
    XrLdapCacheDestroy(cache);
}

}  // namespace
