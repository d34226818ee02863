// Command lists from a section, selection by number, and the choice of files by language code.
#include "command_list.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace fennick::key;

namespace {

// A section as the private-profile reader would see it: numbers parsed, texts as written.
class FakeSection : public CommandListSource {
public:
    std::map<std::string, int32_t> numbers;
    std::map<std::string, std::string> texts;
    mutable int lookups = 0;

    int32_t integer(const std::string& key, int32_t fallback) const override
    {
        ++lookups;
        auto found = numbers.find(key);
        return found == numbers.end() ? fallback : found->second;
    }
    std::string text(const std::string& key) const override
    {
        ++lookups;
        auto found = texts.find(key);
        return found == texts.end() ? std::string() : found->second;
    }

    void entry(int index, int32_t value, std::string name)
    {
        numbers["CmdVal" + std::to_string(index)] = value;
        texts["CmdName" + std::to_string(index)] = std::move(name);
    }
};

std::string describe(const std::vector<CommandEntry>& entries)
{
    std::string out;
    for (const CommandEntry& e : entries)
        out += e.name + "=" + std::to_string(e.value) + ";";
    return out;
}

TEST(ReadCommandList, SkipsEntriesWithoutANumberOrANameAndKeepsFileOrder)
{
    FakeSection section;
    section.numbers["NumOfFunctions"] = 6;
    section.entry(1, 13, "Enter");
    section.texts["CmdName2"] = "No number";        // CmdVal2 missing
    section.entry(3, 27, "");                       // number without a name
    section.entry(4, 9, "Tab");
    section.entry(5, -1, "Explicit minus one");     // -1 is what a missing number reads as
    section.entry(6, 0, "Zero is a number");
    EXPECT_EQ(describe(ReadCommandList(section)), "Enter=13;Tab=9;Zero is a number=0;");
}

TEST(ReadCommandList, NumbersMayRepeatAndSelectionPicksTheFirst)
{
    FakeSection section;
    section.numbers["NumOfFunctions"] = 3;
    section.entry(1, 40, "Down");
    section.entry(2, 5, "Five");
    section.entry(3, 40, "Down again");
    auto entries = ReadCommandList(section);
    ASSERT_EQ(describe(entries), "Down=40;Five=5;Down again=40;");
    EXPECT_EQ(FindCommandByValue(entries, 40), 0);
    EXPECT_EQ(FindCommandByValue(entries, 5), 1);
    EXPECT_EQ(FindCommandByValue(entries, 41), -1);  // stored number not listed: no selection
}

TEST(ReadCommandList, OnlyTheCountedEntriesAreRead)
{
    FakeSection section;
    section.numbers["NumOfFunctions"] = 1;
    section.entry(1, 1, "One");
    section.entry(2, 2, "Beyond the count");
    EXPECT_EQ(describe(ReadCommandList(section)), "One=1;");
}

TEST(ReadCommandList, AMissingOrNegativeCountGivesNothing)
{
    FakeSection missing;
    missing.entry(1, 1, "One");
    EXPECT_TRUE(ReadCommandList(missing).empty());

    FakeSection negative;
    negative.numbers["NumOfFunctions"] = -5;
    negative.entry(1, 1, "One");
    EXPECT_TRUE(ReadCommandList(negative).empty());
}

TEST(ReadCommandList, AnAbsurdCountDoesNotHangTheDialog)
{
    FakeSection section;
    section.numbers["NumOfFunctions"] = 2000000000;
    section.entry(1, 1, "One");
    section.entry(kMaxCommandEntries, 2, "Last read");
    section.entry(kMaxCommandEntries + 1, 3, "Not read");
    EXPECT_EQ(describe(ReadCommandList(section)), "One=1;Last read=2;");
    EXPECT_LE(section.lookups, 1 + 2 * kMaxCommandEntries);
}

TEST(CommandListSection, OneSectionPerNumberedCommandType)
{
    EXPECT_STREQ(CommandListSection(1), "VirtualKeys");
    EXPECT_STREQ(CommandListSection(4), "WindowsFunctions");
    EXPECT_STREQ(CommandListSection(5), "Cogniva");
    EXPECT_STREQ(CommandListSection(6), "Parlora");
    EXPECT_STREQ(CommandListSection(7), "Hopla");
    EXPECT_STREQ(CommandListSection(8), "Tastra");
    for (int textType : {0, 2, 3, 9, -1, 10})
        EXPECT_EQ(CommandListSection(textType), nullptr) << textType;
}

TEST(LanguageFiles, ThreeCodesHaveTheirOwnModuleAndEveryOtherUsesEnglish)
{
    EXPECT_STREQ(LanguageModuleFileName("FRF"), "french.dll");
    EXPECT_STREQ(LanguageModuleFileName("frf"), "french.dll");
    EXPECT_STREQ(LanguageModuleFileName("Dub"), "dutch.dll");
    EXPECT_STREQ(LanguageModuleFileName("ITI"), "italiano.dll");
    for (const char* code : {"ENG", "GED", "SWS", "NON", "", "FRFX", "FR"})
        EXPECT_STREQ(LanguageModuleFileName(code), "english.dll") << code;
    EXPECT_EQ(CommandListFileName("GED"), "FennickKey_GED.ini");
}

}  // namespace
