#include <gtest/gtest.h>

#include "RegistryBinding.h"
#include "gui_test_key.h"
#include "named_record.h"

namespace {

RegistryBindingDesc Registry(int kind, const std::string &path, const char *name, int limit = 0)
{
    // The path must outlive Add only for the call: the binding copies it.
    return {limit, kBindRegistry, kind, kControlText, 0, HKEY_CURRENT_USER, path.c_str(), name};
}

}

class RegistryBindingTest : public GuiTestKey {};

TEST_F(RegistryBindingTest, MissingValuesReadAsMinusOneOffAndEmpty)
{
    RegistryBindingList list;
    RegistryBinding *number = list.Add(Registry(kValueNumber, kTestKey, "Number"));
    RegistryBinding *onOff = list.Add(Registry(kValueOnOff, kTestKey, "Flag"));
    RegistryBinding *text = list.Add(Registry(kValueString, kTestKey, "Text"));
    number->number = 5;
    onOff->onOff = 1;
    text->text = "before";

    EXPECT_TRUE(list.Exchange(kExchangeRegistry, nullptr, true));
    EXPECT_EQ(-1, number->number);
    EXPECT_EQ(0, onOff->onOff);
    EXPECT_EQ("", text->text);
}

TEST_F(RegistryBindingTest, EveryValueKindRoundTripsThroughTheRegistry)
{
    std::string path = kTestKey, maps = Path("Map"), arrays = Path("Array"), records = Path("Records");
    Put(maps, "stale", "x");
    MakeKey(arrays);
    MakeKey(records);
    {
        RegistryBindingList list;
        list.Add(Registry(kValueNumber, path, "Number"))->number = -5;
        list.Add(Registry(kValueString, path, "Text"))->text = "text with blanks";
        list.Add(Registry(kValueOnOff, path, "Flag"))->onOff = 7;
        list.Add(Registry(kValueStringMap, maps, "", 2))->map = {{"0", "a"}, {"1", "b"}, {"2", "c"}};
        list.Add(Registry(kValueStringArray, arrays, ""))->array = {"x", "y", "z"};
        RegistryBinding *list5 = list.Add(Registry(kValueRecordList, records, ""));
        list5->records.push_back(std::make_unique<NamedRecord>("first"));
        list5->records.push_back(std::make_unique<NamedRecord>("second"));
        ASSERT_TRUE(list.Exchange(kExchangeRegistry, nullptr, false));
    }
    EXPECT_EQ(static_cast<DWORD>(-5), GetNumber(path, "Number"));
    EXPECT_EQ(1u, GetNumber(path, "Flag"));
    EXPECT_FALSE(Has(maps, "2"));

    RegistryBindingList list;
    RegistryBinding *number = list.Add(Registry(kValueNumber, path, "Number"));
    RegistryBinding *text = list.Add(Registry(kValueString, path, "Text"));
    RegistryBinding *onOff = list.Add(Registry(kValueOnOff, path, "Flag"));
    RegistryBinding *map = list.Add(Registry(kValueStringMap, maps, "", 2));
    RegistryBinding *array = list.Add(Registry(kValueStringArray, arrays, ""));
    RegistryBinding *recordList = list.Add(Registry(kValueRecordList, records, ""));
    recordList->factory = NamedRecord::Make;
    ASSERT_TRUE(list.Exchange(kExchangeRegistry, nullptr, true));
    EXPECT_EQ(-5, number->number);
    EXPECT_EQ("text with blanks", text->text);
    EXPECT_EQ(1, onOff->onOff);
    EXPECT_EQ((StringMap{{"0", "a"}, {"1", "b"}, {"stale", "x"}}), map->map);
    EXPECT_EQ((StringArray{"x", "y", "z"}), array->array);
    EXPECT_EQ("first;second;", Names(recordList->records));
}

TEST_F(RegistryBindingTest, ShorterArrayDeletesTheNumberedValuesBeyondIt)
{
    std::string path = Path("Array");
    for (const char *name : {"0", "1", "2", "3", "4"})
        Put(path, name, "old");
    RegistryBindingList list;
    list.Add(Registry(kValueStringArray, path, ""))->array = {"new0", "new1"};
    ASSERT_TRUE(list.Exchange(kExchangeRegistry, nullptr, false));
    EXPECT_EQ("new0", GetText(path, "0"));
    EXPECT_EQ("new1", GetText(path, "1"));
    for (const char *name : {"2", "3", "4"})
        EXPECT_FALSE(Has(path, name)) << name;
}

TEST_F(RegistryBindingTest, ShorterRecordListDeletesTheNumberedSubkeysBeyondIt)
{
    std::string path = Path("Records");
    for (const char *name : {"0", "1", "2"})
        Put(path + "\\" + name, "Name", name);
    RegistryBindingList list;
    list.Add(Registry(kValueRecordList, path, ""))->records.push_back(std::make_unique<NamedRecord>("only"));
    ASSERT_TRUE(list.Exchange(kExchangeRegistry, nullptr, false));
    EXPECT_EQ("only", GetText(path + "\\0", "Name"));
    EXPECT_FALSE(Has(path + "\\1", "Name"));
    EXPECT_FALSE(Has(path + "\\2", "Name"));
}

struct SubkeyOrderCase {
    std::vector<std::string> created;
    std::string loaded;
};

void PrintTo(const SubkeyOrderCase &c, std::ostream *out)
{
    *out << c.created.size() << " subkeys";
}

class SubkeyOrderTest : public GuiTestKey, public ::testing::WithParamInterface<SubkeyOrderCase> {};

TEST_P(SubkeyOrderTest, SubRecordsLoadInTheOrderTheirNumbersGive)
{
    std::string path = Path("Records");
    for (const std::string &name : GetParam().created)
        Put(path + "\\" + name, "Name", ("r" + name).c_str());
    RegistryBindingList list;
    RegistryBinding *records = list.Add(Registry(kValueRecordList, path, ""));
    records->factory = NamedRecord::Make;
    ASSERT_TRUE(list.Exchange(kExchangeRegistry, nullptr, true));
    EXPECT_EQ(GetParam().loaded, Names(records->records));
}

INSTANTIATE_TEST_SUITE_P(
    Orders, SubkeyOrderTest,
    ::testing::Values(SubkeyOrderCase{{"2", "0", "1"}, "r0;r1;r2;"},
                      // Enumeration gives "10" before "2": the numbers decide, not the names.
                      SubkeyOrderCase{{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"},
                                      "r0;r1;r2;r3;r4;r5;r6;r7;r8;r9;r10;r11;"}));

TEST_F(RegistryBindingTest, BindingsAreWalkedFromLastAndStopAtAKeyThatCannotBeOpened)
{
    std::string path = kTestKey;
    Put(path, "First", 1);
    Put(path, "Third", 3);
    RegistryBindingList list;
    RegistryBinding *first = list.Add(Registry(kValueNumber, path, "First"));
    list.Add(Registry(kValueNumber, Path("Missing"), "Second"));
    RegistryBinding *third = list.Add(Registry(kValueNumber, path, "Third"));
    first->number = 100;

    EXPECT_FALSE(list.Exchange(kExchangeRegistry, nullptr, true));
    EXPECT_EQ(3, third->number);
    EXPECT_EQ(100, first->number);
}

// While its list loads, puts a new key in place of the one the list reads from, holding the
// number 2.
class KeyReplacingRecord : public RegistryRecord {
public:
    static std::string path;

    bool Load(HKEY, const char *) override
    {
        XrRegDeleteTree(HKEY_CURRENT_USER, path.c_str(), nullptr);
        HKEY key = nullptr;
        DWORD two = 2;
        bool made = RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key) == ERROR_SUCCESS;
        if (made) {
            RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&two), sizeof two);
            RegCloseKey(key);
        }
        return made;
    }
    bool Save(HKEY, const char *) override { return true; }
    std::string DisplayText() const override { return ""; }
};

std::string KeyReplacingRecord::path;

TEST_F(RegistryBindingTest, BindingsOfOneKeyPathShareOneOpenKey)
{
    std::string shared = Path("Shared");
    Put(shared, "Number", 1);
    Put(shared + "\\0", "Name", "record");
    KeyReplacingRecord::path = shared;
    RegistryBindingList list;
    RegistryBinding *number = list.Add(Registry(kValueNumber, shared, "Number"));
    RegistryBinding *records = list.Add(Registry(kValueRecordList, shared, ""));
    records->factory = [] { return std::unique_ptr<RegistryRecord>(new KeyReplacingRecord); };

    // The last binding goes first: the record list opens the key and its record replaces it.
    list.Exchange(kExchangeRegistry, nullptr, true);
    ASSERT_EQ(2u, GetNumber(shared, "Number"));
    // The number binding read through the key the list had open, which is gone: it did not open
    // the path again, which would have found the new key's 2.
    EXPECT_EQ(-1, number->number);
}

TEST_F(RegistryBindingTest, OnlyBindingsFlaggedForTheTargetMove)
{
    std::string path = kTestKey;
    RegistryBindingList list;
    list.Add({0, kBindControl, kValueNumber, kControlText, 1, HKEY_CURRENT_USER, path.c_str(), "Control"})
        ->number = 1;
    list.Add(Registry(kValueNumber, path, "Stored"))->number = 2;
    ASSERT_TRUE(list.Exchange(kExchangeRegistry, nullptr, false));
    EXPECT_FALSE(Has(path, "Control"));
    EXPECT_EQ(2u, GetNumber(path, "Stored"));
    EXPECT_TRUE(list.Exchange(kExchangeNone, nullptr, false));
}

TEST_F(RegistryBindingTest, UnknownValueKindFailsTheTransfer)
{
    RegistryBindingList list;
    list.Add(Registry(9, kTestKey, "Odd"));
    EXPECT_FALSE(list.Exchange(kExchangeRegistry, nullptr, true));
    EXPECT_FALSE(list.Exchange(kExchangeRegistry, nullptr, false));
}
