#include <gtest/gtest.h>

#include "RegistryKey.h"
#include "gui_test_key.h"

TEST_F(GuiTestKey, StringIsReadBackAsWritten)
{
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kTestKey.c_str()));
    ASSERT_TRUE(key.WriteString("Name", "Ferrowin"));
    ASSERT_TRUE(key.WriteString("Empty", ""));
    std::string text, empty = "x";
    ASSERT_TRUE(key.ReadString("Name", text));
    EXPECT_EQ("Ferrowin", text);
    ASSERT_TRUE(key.ReadString("Empty", empty));
    EXPECT_EQ("", empty);
}

TEST_F(GuiTestKey, StringStoredWithoutTerminatorReadsWhole)
{
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kTestKey.c_str()));
    // The byte after the data is not NUL, so the system stores exactly the three characters.
    ASSERT_TRUE(key.WriteRaw("Raw", REG_SZ, "abcX", 3));
    EXPECT_EQ(3, key.ValueSize("Raw"));
    std::string text;
    ASSERT_TRUE(key.ReadString("Raw", text));
    EXPECT_EQ("abc", text);
}

TEST_F(GuiTestKey, SecondOpenFailsWhileAKeyIsOpen)
{
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kTestKey.c_str()));
    EXPECT_EQ(nullptr, key.Open(HKEY_CURRENT_USER, kTestKey.c_str()));
    key.Close();
    EXPECT_NE(nullptr, key.Open(HKEY_CURRENT_USER, kTestKey.c_str()));
}

TEST_F(GuiTestKey, FailedReadKeepsTheErrorCode)
{
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kTestKey.c_str()));
    DWORD number = 7;
    EXPECT_FALSE(key.ReadNumber("Missing", number));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.LastError());
    EXPECT_EQ(-1, key.ValueSize("Missing"));
}

TEST_F(GuiTestKey, EveryCallFailsWithoutAnOpenKey)
{
    RegistryKey key;
    DWORD number = 0;
    std::string text;
    StringArray names;
    EXPECT_FALSE(key.ReadNumber("A", number));
    EXPECT_FALSE(key.ReadString("A", text));
    EXPECT_FALSE(key.WriteNumber("A", 1));
    EXPECT_FALSE(key.WriteString("A", "x"));
    EXPECT_FALSE(key.ListSubKeys(names));
    EXPECT_FALSE(key.DeleteValue("A"));
    EXPECT_EQ(0, key.ValueSize("A"));
}

TEST_F(GuiTestKey, MapsAndArraysAreWrittenAsStringValuesAndListed)
{
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kTestKey.c_str()));
    ASSERT_TRUE(key.WriteMap({{"alpha", "1"}, {"beta", "two"}}));
    ASSERT_TRUE(key.WriteArrays({"gamma"}, {"three"}));
    StringMap map;
    ASSERT_TRUE(key.ListValuesToMap(map));
    EXPECT_EQ((StringMap{{"alpha", "1"}, {"beta", "two"}, {"gamma", "three"}}), map);
    StringArray names;
    ASSERT_TRUE(key.ListValues(&names, nullptr));
    EXPECT_EQ(3u, names.size());
}
