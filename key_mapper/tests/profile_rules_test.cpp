// Profile paths, display names and section texts, without Windows.
#include "profile_rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace fennick::key;
using namespace std::string_literals;

namespace {

const std::string kFolder = "C:\\Fennick\\";

// A program folder holding exactly these files.
FileExists filesAre(std::set<std::string> files)
{
    return [files](const std::string& path) { return files.count(path) > 0; };
}

std::string resolve(const std::string& text, std::set<std::string> files = {})
{
    return ResolveProfilePath(text, kFolder, filesAre(std::move(files)));
}

TEST(ResolveProfilePath, NamesAndPathsFindTheSameFileForLoadingAndSaving)
{
    EXPECT_EQ(resolve("Reading"), kFolder + "Reading.bpf");
    EXPECT_EQ(resolve("C:\\Other\\Reading.bpf"), "C:\\Other\\Reading.bpf");
    EXPECT_EQ(resolve("\\\\server\\share\\Reading.bpf"), "\\\\server\\share\\Reading.bpf");
    EXPECT_EQ(resolve("D:/profiles/Reading.bpf"), "D:/profiles/Reading.bpf");
    EXPECT_EQ(resolve(""), "");
}

TEST(ResolveProfilePath, ABareNameWithADotIsAProfileOfTheProgramFolder)
{
    // Taken as a path it would be read from the current directory (defaults) and then
    // saved over the program folder's a.b.bpf.
    EXPECT_EQ(resolve("a.b"), kFolder + "a.b.bpf");
    EXPECT_EQ(resolve("v1.2 final"), kFolder + "v1.2 final.bpf");
}

TEST(ResolveProfilePath, ABareFileNameWithTheExtensionIsThatFileUnlessAProfileHasThatName)
{
    EXPECT_EQ(resolve("Reading.bpf"), kFolder + "Reading.bpf");
    EXPECT_EQ(resolve("Reading.BPF"), kFolder + "Reading.BPF");
    EXPECT_EQ(resolve("x.bpf", {kFolder + "x.bpf.bpf"}), kFolder + "x.bpf.bpf");
}

TEST(ResolveProfilePath, ARelativePathWithAFolderIsTakenInTheProgramFolder)
{
    EXPECT_EQ(resolve("sub\\Reading.bpf"), kFolder + "sub\\Reading.bpf");
    EXPECT_EQ(resolve("..\\Reading.bpf"), kFolder + "..\\Reading.bpf");
}

TEST(ProfileDisplayName, CutsTheFolderAndOnlyARealExtension)
{
    EXPECT_EQ(ProfileDisplayName("C:\\Fennick\\Reading.bpf"), "Reading");
    EXPECT_EQ(ProfileDisplayName("C:/Fennick/Reading.bpf"), "Reading");
    EXPECT_EQ(ProfileDisplayName("a.b.bpf"), "a.b");
    EXPECT_EQ(ProfileDisplayName("Loud.BPF"), "Loud");
    // A bare name set by a link or a switch keeps all its letters ("Reading" is not "Rea").
    EXPECT_EQ(ProfileDisplayName("Reading"), "Reading");
    EXPECT_EQ(ProfileDisplayName("a.b"), "a.b");
    EXPECT_EQ(ProfileDisplayName(".bpf"), ".bpf");
}

TEST(IsProfileFileName, NeedsANameAndTheWholeExtension)
{
    EXPECT_TRUE(IsProfileFileName("a.bpf"));
    EXPECT_TRUE(IsProfileFileName("a.b.BPF"));
    EXPECT_FALSE(IsProfileFileName(".bpf"));
    EXPECT_FALSE(IsProfileFileName("a.bpfold"));  // found by "*.bpf" through its short name
    EXPECT_FALSE(IsProfileFileName("a.bp"));
}

TEST(HasForbiddenProfileCharacter, EachCharacterThatCannotStandInAFileName)
{
    for (char c : "\\/:*?<>|\""s)
        EXPECT_TRUE(HasForbiddenProfileCharacter("a"s + c + "b")) << c;
    EXPECT_FALSE(HasForbiddenProfileCharacter("Reading (big keys) v1.2 +-_'&"));
}

TEST(ButtonSectionText, ThreeLinesSeparatedByNulAndEndingInTwo)
{
    ButtonDef button;
    button.BtCmd = 1;
    button.BtCmdVal = -1;
    SetButtonText(button, "Hello$");
    EXPECT_EQ(ButtonSectionText(button), "BtCmd=1\0BtCmdVal=-1\0BtCmdText=Hello$\0\0"s);

    ButtonDef empty;
    EXPECT_EQ(ButtonSectionText(empty), "BtCmd=0\0BtCmdVal=0\0BtCmdText=\0\0"s);
}

TEST(StoredButtonText, KeepsWhatTheReaderWouldTrimOrUnquote)
{
    EXPECT_EQ(StoredButtonText("Hello$"), "Hello$");
    EXPECT_EQ(StoredButtonText(""), "");
    EXPECT_EQ(StoredButtonText(" $"), "\" $\"");  // a macro that types a space
    EXPECT_EQ(StoredButtonText("x\t"), "\"x\t\"");
    EXPECT_EQ(StoredButtonText("\"C:\\My Files\\a.exe\""), "\"\"C:\\My Files\\a.exe\"\"");
    EXPECT_EQ(StoredButtonText("'quoted'"), "\"'quoted'\"");
    EXPECT_EQ(StoredButtonText("say \"hi\" now$"), "say \"hi\" now$");
    EXPECT_EQ(StoredButtonText("\""), "\"");
    EXPECT_EQ(StoredButtonText("\"open"), "\"open");
}

TEST(StoredButtonText, LineBreaksCannotStartNewKeysOrSections)
{
    EXPECT_EQ(StoredButtonText("a\r\n[Button3]\nBtCmd=3"), "a  [Button3] BtCmd=3");
}

TEST(SetButtonText, KeepsAtMost1023Characters)
{
    ButtonDef button;
    EXPECT_TRUE(SetButtonText(button, std::string(1023, 'x')));
    EXPECT_EQ(std::string(button.BtCmdText), std::string(1023, 'x'));
    EXPECT_FALSE(SetButtonText(button, std::string(1024, 'y')));
    EXPECT_EQ(std::string(button.BtCmdText), std::string(1023, 'y'));
    EXPECT_TRUE(SetButtonText(button, "short"));
    EXPECT_STREQ(button.BtCmdText, "short");
}

TEST(ClearButtonTable, EveryEntryBackToZeroAndEmpty)
{
    ButtonTable table;
    for (ButtonDef& button : table) {
        button.BtCmd = 9;
        button.BtCmdVal = -1;
        SetButtonText(button, "Other");
    }
    ClearButtonTable(table);
    for (const ButtonDef& button : table) {
        EXPECT_EQ(button.BtCmd, 0);
        EXPECT_EQ(button.BtCmdVal, 0);
        EXPECT_STREQ(button.BtCmdText, "");
    }
}

}  // namespace
