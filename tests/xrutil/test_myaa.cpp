#include "myaa.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

struct AaDeleter {
    void operator()(XrAa *aa) const { XrAaDestroy(aa); }
};
using AaPtr = std::unique_ptr<XrAa, AaDeleter>;

AaPtr TextTable(int32_t initialSize, int32_t valueSize = 256)
{
    AaPtr aa(XrAaCreate(XR_AA_TEXT_KEYS, 0, valueSize, initialSize));
    EXPECT_NE(aa, nullptr);
    return aa;
}

char *Value(XrAa *aa, const std::string &key, int reuse = 0)
{
    return static_cast<char *>(XrAaLookup(aa, key.c_str(), reuse));
}

std::string Key(int i)
{
    return "key" + std::to_string(i);
}

std::set<std::string> KeySet(XrAa *aa)
{
    const void **keys;
    int32_t count;
    XrAaKeys(aa, &keys, &count);
    std::set<std::string> result;
    for (int32_t i = 0; i < count; i++)
        result.insert(static_cast<const char *>(keys[i]));
    free(keys);
    return result;
}

bool HasSlot(const XrAa *aa, const void *content)
{
    for (int32_t i = 0; i < aa->capacity; i++) {
        if (aa->keys[i] == content)
            return true;
    }
    return false;
}

TEST(Aa, CapacityIsSmallestOddPrimeForRequestedSize)
{
    const struct {
        int32_t requested;
        int32_t capacity;
    } cases[] = {{0, 5}, {-3, 5}, {1, 5}, {5, 5}, {6, 7}, {9, 11}, {10, 11},
                 {14, 17}, {16, 17}, {24, 29}, {120, 127}, {1000, 1009}};
    for (const auto &c : cases)
        EXPECT_EQ(TextTable(c.requested)->capacity, c.capacity) << "requested " << c.requested;
}

TEST(Aa, TableOfElevenHoldsNineKeysAndGrowsOnTheTenth)
{
    AaPtr aa = TextTable(10);
    for (int i = 0; i < 9; i++)
        ASSERT_NE(Value(aa.get(), Key(i)), nullptr);
    EXPECT_EQ(aa->capacity, 11);
    ASSERT_NE(Value(aa.get(), Key(9)), nullptr);
    EXPECT_EQ(aa->capacity, 17);
    EXPECT_EQ(aa->count, 10);
    for (int i = 0; i < 10; i++)
        EXPECT_TRUE(XrAaExists(aa.get(), Key(i).c_str()));
}

TEST(Aa, GrowingDropsDeletedMarkers)
{
    AaPtr aa = TextTable(10);
    for (int i = 0; i < 9; i++)
        Value(aa.get(), Key(i));
    for (int i = 0; i < 3; i++)
        XrAaDelete(aa.get(), Key(i).c_str());
    for (int i = 9; i < 13; i++)
        Value(aa.get(), Key(i));
    EXPECT_EQ(aa->capacity, 17);
    EXPECT_FALSE(HasSlot(aa.get(), XR_AA_DELETED));
    std::set<std::string> live;
    for (int i = 3; i < 13; i++)
        live.insert(Key(i));
    EXPECT_EQ(KeySet(aa.get()), live);
}

TEST(Aa, AbsentKeyIsAddedWithZeroedValue)
{
    AaPtr aa = TextTable(0, 300);
    EXPECT_FALSE(XrAaExists(aa.get(), "name"));
    char *value = Value(aa.get(), "name");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(std::string(value, 300), std::string(300, '\0'));
    EXPECT_EQ(aa->count, 1);
    snprintf(value, 300, "socks.example");
    EXPECT_EQ(Value(aa.get(), "name"), value);
    EXPECT_STREQ(value, "socks.example");
    EXPECT_EQ(aa->count, 1);
}

// "a" (97) and "l" (108) share home slot 9 in a table of 11; their second probe slots, hash
// mod 7, are 6 and 3.
TEST(Aa, DeletedKeyLookedUpAgainTakesMarkerOnlyWithReuse)
{
    const struct {
        int reuse;
        int32_t slot;
    } cases[] = {{1, 9}, {0, 6}};
    for (const auto &c : cases) {
        AaPtr aa = TextTable(10);
        Value(aa.get(), "a");
        XrAaDelete(aa.get(), "a");
        ASSERT_EQ(aa->keys[9], XR_AA_DELETED);
        char *value = Value(aa.get(), "a", c.reuse);
        ASSERT_EQ(aa->values[c.slot], value) << "reuse " << c.reuse;
        EXPECT_STREQ(static_cast<const char *>(aa->keys[c.slot]), "a");
        EXPECT_EQ(aa->count, 1);
    }
}

TEST(Aa, ReusingLookupFindsKeyBehindDeletedSlot)
{
    AaPtr aa = TextTable(10);
    Value(aa.get(), "a");
    char *value = Value(aa.get(), "l");
    ASSERT_EQ(aa->values[3], value);
    XrAaDelete(aa.get(), "a");
    EXPECT_EQ(Value(aa.get(), "l", 1), value);
    EXPECT_EQ(KeySet(aa.get()), std::set<std::string>{"l"});
}

TEST(Aa, KeysComeInSlotOrderAndEmptyTableGivesNone)
{
    AaPtr aa = TextTable(10);
    for (const char *key : {"a", "l", "b", "zz"})
        Value(aa.get(), key);
    const void **keys;
    int32_t count;
    XrAaKeys(aa.get(), &keys, &count);
    std::vector<const void *> live;
    for (int32_t i = 0; i < aa->capacity; i++) {
        if (aa->keys[i])
            live.push_back(aa->keys[i]);
    }
    EXPECT_EQ(std::vector<const void *>(keys, keys + count), live);
    free(keys);

    for (const char *key : {"a", "l", "b", "zz"})
        XrAaDelete(aa.get(), key);
    XrAaKeys(aa.get(), &keys, &count);
    EXPECT_EQ(keys, nullptr);
    EXPECT_EQ(count, 0);
}

TEST(Aa, FixedLengthKeysCompareEveryByteIncludingZeros)
{
    AaPtr aa(XrAaCreate(1, 6, 4, 0));
    ASSERT_NE(aa, nullptr);
    const unsigned char keys[3][6] = {{1, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 2}, {}};
    for (int i = 0; i < 3; i++)
        *static_cast<int32_t *>(XrAaLookup(aa.get(), keys[i], 0)) = i + 1;
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(*static_cast<int32_t *>(XrAaLookup(aa.get(), keys[i], 0)), i + 1);
    XrAaDelete(aa.get(), keys[0]);
    EXPECT_FALSE(XrAaExists(aa.get(), keys[0]));
    EXPECT_TRUE(XrAaExists(aa.get(), keys[1]));
    EXPECT_EQ(aa->count, 2);
}

// The hash computed independently: every byte, unsigned, shifted by the 11-value pattern,
// which keys beyond 1,024 bytes keep repeating.
uint32_t ExpectedHash(const std::string &key)
{
    static const int pattern[11] = {0, 24, 3, 21, 5, 19, 7, 17, 9, 15, 11};
    uint32_t hash = 0;
    for (size_t i = 0; i < key.size(); i++)
        hash ^= static_cast<uint32_t>(static_cast<unsigned char>(key[i])) << pattern[i % 11];
    return hash;
}

TEST(Aa, KeyLandsInTheHomeSlotOfItsHash)
{
    std::string longKey;
    for (int i = 0; i < 3000; i++)
        longKey += static_cast<char>('!' + i * 7 % 90);
    const std::string keys[] = {"x", "\xfe", "Server", "\xff high \xfe", std::string(1030, 'q'),
                                longKey};
    for (const std::string &key : keys) {
        AaPtr aa = TextTable(1000);
        char *value = Value(aa.get(), key);
        uint32_t home = ExpectedHash(key) % static_cast<uint32_t>(aa->capacity);
        EXPECT_EQ(aa->values[home], value) << key.substr(0, 20);
    }
}

TEST(Aa, TableWithoutEmptySlotStillAnswers)
{
    // Markers do not count towards the load, so adding and deleting keys never grows the table
    // and eventually leaves no empty slot.
    AaPtr aa = TextTable(0);
    for (int i = 0; i < 200 && HasSlot(aa.get(), nullptr); i++) {
        ASSERT_NE(Value(aa.get(), Key(i)), nullptr);
        XrAaDelete(aa.get(), Key(i).c_str());
    }
    ASSERT_FALSE(HasSlot(aa.get(), nullptr));
    ASSERT_EQ(aa->capacity, 5);

    EXPECT_FALSE(XrAaExists(aa.get(), "absent"));
    XrAaDelete(aa.get(), "absent");
    for (int reuse = 0; reuse <= 1; reuse++) {
        char *value = Value(aa.get(), Key(1000 + reuse), reuse);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(Value(aa.get(), Key(1000 + reuse), reuse), value);
    }
    XrAaDelete(aa.get(), Key(1000).c_str());
    EXPECT_EQ(KeySet(aa.get()), std::set<std::string>{Key(1001)});
}

TEST(Aa, ValueBuffersKeepTheirAddressWhenTheTableGrows)
{
    AaPtr aa = TextTable(0);
    std::vector<char *> values;
    for (int i = 0; i < 4; i++) {
        values.push_back(Value(aa.get(), Key(i)));
        snprintf(values.back(), 256, "value %d", i);
    }
    for (int i = 4; i < 1000; i++)
        Value(aa.get(), Key(i));
    EXPECT_GT(aa->capacity, 1000);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(Value(aa.get(), Key(i)), values[i]);
        EXPECT_EQ(std::string(values[i]), "value " + std::to_string(i));
    }
}

TEST(Aa, BehavesLikeAnOrderedMapUnderRandomOperations)
{
    AaPtr aa = TextTable(3, 16);
    std::map<std::string, std::string> model;
    std::mt19937 random(12345);
    for (int op = 0; op < 30000; op++) {
        // A small name pool makes hits, deletions and reuse of marked slots frequent.
        std::string key = Key(static_cast<int>(random() % 400));
        switch (random() % 4) {
        case 0:
        case 1: {
            char *value = Value(aa.get(), key, static_cast<int>(random() % 2));
            ASSERT_NE(value, nullptr);
            ASSERT_EQ(std::string(value), model[key]) << key;
            model[key] = std::to_string(op);
            snprintf(value, 16, "%s", model[key].c_str());
            break;
        }
        case 2:
            XrAaDelete(aa.get(), key.c_str());
            model.erase(key);
            break;
        default:
            ASSERT_EQ(XrAaExists(aa.get(), key.c_str()), model.count(key) ? 1 : 0) << key;
        }
        ASSERT_EQ(aa->count, static_cast<int32_t>(model.size()));
        if (op % 1000 == 0) {
            std::set<std::string> expected;
            for (const auto &entry : model)
                expected.insert(entry.first);
            ASSERT_EQ(KeySet(aa.get()), expected);
        }
    }
}

} // namespace
