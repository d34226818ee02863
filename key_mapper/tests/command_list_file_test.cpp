// Command-list files against the real private-profile functions, and the files we ship.
#include "fennick_key/command_list_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "fennick/win32_common.h"

using namespace fennick::key;

namespace {

std::string describe(const std::vector<CommandEntry>& entries)
{
    std::string out;
    for (const CommandEntry& e : entries)
        out += e.name + "=" + std::to_string(e.value) + ";";
    return out;
}

class CommandListFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        path_ = std::string(temp) + "fennick_commands_" + std::to_string(GetCurrentProcessId()) + ".ini";
    }
    void TearDown() override { DeleteFileA(path_.c_str()); }

    void write(const std::string& content)
    {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
    }

    std::string path_;
};

TEST_F(CommandListFileTest, IncompleteEntriesAreLeftOutAndDuplicatesKept)
{
    write("[VirtualKeys]\r\n"
          "NumOfFunctions=6\r\n"
          "CmdVal1=40\r\nCmdName1=Down\r\n"
          "CmdName2=No number\r\n"
          "CmdVal3=27\r\nCmdName3=\r\n"
          "CmdVal4=300\r\nCmdName4=Out of order\r\n"
          "CmdVal5=40\r\nCmdName5=Down again\r\n"
          "CmdVal6=9\r\n");
    auto entries = ReadCommandListFile(path_.c_str(), "VirtualKeys");
    EXPECT_EQ(describe(entries), "Down=40;Out of order=300;Down again=40;");
    EXPECT_EQ(FindCommandByValue(entries, 40), 0);
}

TEST_F(CommandListFileTest, MissingFileOrSectionGivesAnEmptyList)
{
    write("[VirtualKeys]\r\nNumOfFunctions=1\r\nCmdVal1=13\r\nCmdName1=Enter\r\n");
    EXPECT_TRUE(ReadCommandListFile(path_.c_str(), "Hopla").empty());
    EXPECT_TRUE(ReadCommandListFile((path_ + ".missing").c_str(), "VirtualKeys").empty());
    EXPECT_EQ(describe(ReadCommandListFile(path_.c_str(), "virtualkeys")), "Enter=13;");  // sections ignore case
}

TEST_F(CommandListFileTest, NamesAreCutTo126Characters)
{
    write("[Hopla]\r\nNumOfFunctions=1\r\nCmdVal1=7\r\nCmdName1=" + std::string(200, 'n') + "\r\n");
    auto entries = ReadCommandListFile(path_.c_str(), "Hopla");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, std::string(126, 'n'));
}

// ---- the files delivered beside the program ----

std::string binFolder()
{
    char folder[MAX_PATH];
    fennick::ModuleFolder(nullptr, folder, sizeof(folder));
    return std::string(folder) + "..\\bin\\";
}

const char* const kCodes[] = {"ENG", "FRF", "DUB", "GED", "SWS", "NON", "ITI"};
const int kNumberedTypes[] = {1, 4, 5, 6, 7, 8};

TEST(ShippedCommandLists, EveryLanguageOffersTheSevenWindowsFunctions)
{
    for (const char* code : kCodes) {
        auto functions = ReadCommandsFor(binFolder().c_str(), code, 4);
        std::set<int32_t> values;
        for (const CommandEntry& entry : functions)
            values.insert(entry.value);
        EXPECT_EQ(values, (std::set<int32_t>{0, 1, 2, 3, 4, 5, 6})) << code;
        EXPECT_EQ(functions.size(), 7u) << code;
    }
}

TEST(ShippedCommandLists, NoEntryIsDroppedAndKeysAreRealVirtualKeys)
{
    for (const char* code : kCodes) {
        std::string path = binFolder() + CommandListFileName(code);
        for (int type : kNumberedTypes) {
            const char* section = CommandListSection(type);
            auto entries = ReadCommandsFor(binFolder().c_str(), code, type);
            int counted = static_cast<int>(GetPrivateProfileIntA(section, "NumOfFunctions", 0, path.c_str()));
            EXPECT_GT(counted, 0) << code << " " << section;
            EXPECT_EQ(static_cast<int>(entries.size()), counted) << code << " " << section;
        }
        std::set<std::string> names;
        for (const CommandEntry& key : ReadCommandsFor(binFolder().c_str(), code, 1)) {
            EXPECT_GE(key.value, 1) << code << " " << key.name;
            EXPECT_LE(key.value, 254) << code << " " << key.name;
            EXPECT_TRUE(names.insert(key.name).second) << code << " lists " << key.name << " twice";
        }
        EXPECT_GE(names.size(), 80u) << code;
    }
}

TEST(ShippedCommandLists, AccentedNamesArriveInTheAnsiCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "ANSI code page " << GetACP();
    auto keys = ReadCommandsFor(binFolder().c_str(), "FRF", 1);
    EXPECT_NE(FindCommandByValue(keys, 13), -1);
    EXPECT_EQ(keys[FindCommandByValue(keys, 13)].name, "Entr\xe9" "e");
    auto functions = ReadCommandsFor(binFolder().c_str(), "GED", 4);
    EXPECT_EQ(functions[0].name, "Lautst\xe4rke erh\xf6hen");
}

}  // namespace
