// The settings dialogs' decisions: current profile in the list, collecting a row, names, links.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings_rules.h"

using namespace fennick::key;

TEST(SettingsRules, CurrentProfileIsFoundExactlyWhateverFormItTakes)
{
    const std::vector<std::string> names = {"Rea", "Reading", "reading2", "x.bpf"};
    EXPECT_EQ(FindCurrentProfile(names, "C:\\Fennick\\Reading.bpf"), 1);
    EXPECT_EQ(FindCurrentProfile(names, "READING.BPF"), 1);
    // A bare name set by a link or a switch: never a profile that only begins the same way.
    EXPECT_EQ(FindCurrentProfile(names, "Reading"), 1);
    EXPECT_EQ(FindCurrentProfile(names, "Rea"), 0);
    EXPECT_EQ(FindCurrentProfile(names, "Readin"), -1);
    EXPECT_EQ(FindCurrentProfile(names, "Readings"), -1);
    EXPECT_EQ(FindCurrentProfile(names, ""), -1);
    EXPECT_EQ(FindCurrentProfile({}, "Reading"), -1);
    EXPECT_EQ(FindProfileName(names, "READING2"), 2);
}

TEST(SettingsRules, WithNothingStoredTheStarterProfileComesBeforeTheFirstByName)
{
    EXPECT_EQ(StartProfileIndex({"Arrows", "Media", "Reading", "Space and Enter"}), 3);
    EXPECT_EQ(StartProfileIndex({"Arrows", "space and enter"}), 1);
    // A folder without it (the user deleted it, or a folder of their own) starts as it always did.
    EXPECT_EQ(StartProfileIndex({"Arrows", "Space and Enter 2"}), 0);
    EXPECT_EQ(StartProfileIndex({"Space"}), 0);
    EXPECT_EQ(StartProfileIndex({}), -1);
}

TEST(SettingsRules, OfferedTypesSkipEightAndEndWithSwitchProfile)
{
    const auto& items = OfferedCommandTypes();
    ASSERT_EQ(items.size(), 9u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(items[i].stringId, 4 + i);
        EXPECT_EQ(items[i].btCmd, i);
    }
    EXPECT_EQ(items[8].stringId, 12);
    EXPECT_EQ(items[8].btCmd, 9);
    EXPECT_TRUE(CommandTakesText(0));
    EXPECT_TRUE(CommandTakesText(2));
    EXPECT_TRUE(CommandTakesText(3));
    for (int32_t t : {1, 4, 5, 6, 7, 8, 9, -1})
        EXPECT_FALSE(CommandTakesText(t)) << t;
}

TEST(SettingsRules, CollectedRowKeepsWhatItsTypeUses)
{
    ButtonControls macro{true, 0, "Hello$", "ignored", 12};
    ButtonDef b = CollectButton(macro);
    EXPECT_EQ(b.BtCmd, 0);
    EXPECT_EQ(b.BtCmdVal, -1);
    EXPECT_STREQ(b.BtCmdText, "Hello$");

    ButtonControls key{true, 1, "left over", "F5", 0x74};
    b = CollectButton(key);
    EXPECT_EQ(b.BtCmd, 1);
    EXPECT_EQ(b.BtCmdVal, 0x74);
    EXPECT_STREQ(b.BtCmdText, "");

    ButtonControls profile{true, 9, "left over", "Reading", 3};
    b = CollectButton(profile);
    EXPECT_EQ(b.BtCmd, 9);
    EXPECT_EQ(b.BtCmdVal, -1);
    EXPECT_STREQ(b.BtCmdText, "Reading");

    ButtonControls none{true, -1, "x", "", -1};
    b = CollectButton(none);
    EXPECT_EQ(b.BtCmd, -1);
    EXPECT_STREQ(b.BtCmdText, "");

    ButtonControls missing;
    missing.present = false;
    missing.typeData = 4;
    missing.text = "x";
    b = CollectButton(missing);
    EXPECT_EQ(b.BtCmd, 0);
    EXPECT_EQ(b.BtCmdVal, -1);
    EXPECT_STREQ(b.BtCmdText, "");

    // A stored number or profile that the list does not hold is kept while the type stays.
    ButtonDef stored;
    stored.BtCmd = 1;
    stored.BtCmdVal = 0xE9;
    ButtonControls unlisted{true, 1, "", "", -1, false};
    EXPECT_EQ(CollectButton(unlisted, &stored).BtCmdVal, 0xE9);
    ButtonControls chosen{true, 1, "", "Enter", 13, true};
    EXPECT_EQ(CollectButton(chosen, &stored).BtCmdVal, 13);
    ButtonControls otherType{true, 4, "", "", -1, false};
    EXPECT_EQ(CollectButton(otherType, &stored).BtCmd, 4);
    EXPECT_EQ(CollectButton(otherType, &stored).BtCmdVal, -1);
    ButtonDef gone;
    gone.BtCmd = 9;
    gone.BtCmdVal = -1;
    SetButtonText(gone, "Writing");
    ButtonControls noProfile{true, 9, "", "", -1, false};
    EXPECT_STREQ(CollectButton(noProfile, &gone).BtCmdText, "Writing");
    EXPECT_STREQ(CollectButton(noProfile).BtCmdText, "");
    // A stored type the list does not offer shows no type: the row keeps its whole command.
    ButtonDef tastra;
    tastra.BtCmd = 8;
    tastra.BtCmdVal = 3;
    SetButtonText(tastra, "kept");
    ButtonControls noType{true, -1, "", "", -1, false};
    ButtonDef kept = CollectButton(noType, &tastra);
    EXPECT_EQ(kept.BtCmd, 8);
    EXPECT_EQ(kept.BtCmdVal, 3);
    EXPECT_STREQ(kept.BtCmdText, "kept");

    ButtonControls longText{true, 3, std::string(2000, 'a'), "", -1};
    b = CollectButton(longText);
    EXPECT_EQ(std::strlen(b.BtCmdText), kMaxButtonText);
}

TEST(SettingsRules, NewProfileNamesAreCheckedInOrder)
{
    EXPECT_EQ(CheckNewProfileName("", true), kNameEmpty);
    for (const char* bad : {"a:b", "a\\b", "a/b", "a*", "a?", "<a", "a>", "a|b", "a\"b"})
        EXPECT_EQ(CheckNewProfileName(bad, false), kNameForbiddenCharacter) << bad;
    EXPECT_EQ(CheckNewProfileName("a:b", true), kNameForbiddenCharacter);
    EXPECT_EQ(CheckNewProfileName("Reading", true), kNameExists);
    EXPECT_EQ(CheckNewProfileName("Reading 2.0", false), kNameAccepted);
    // Folder, name and ".bpf" in 259 characters, or the profile could never be written.
    std::string folder = "C:\\Fennick\\";  // 11 characters
    EXPECT_EQ(CheckNewProfileName(std::string(244, 'n'), false, folder), kNameAccepted);
    EXPECT_EQ(CheckNewProfileName(std::string(245, 'n'), false, folder), kNameTooLong);
    EXPECT_EQ(CheckNewProfileName(std::string(245, 'n') + ":", false, folder), kNameForbiddenCharacter);
}

TEST(SettingsRules, LinksNeedATypeANameAndAProfile)
{
    EXPECT_EQ(CheckLink(0, "", ""), kLinkNoType);
    EXPECT_EQ(CheckLink(4, "x", "y"), kLinkNoType);
    EXPECT_EQ(CheckLink(kByProgramFile, "", "y"), kLinkEmptyName);
    EXPECT_EQ(CheckLink(kByWindowTitle, "Letter", ""), kLinkNoProfile);
    EXPECT_EQ(CheckLink(kByApplication, "Reader", "Reading"), kLinkAccepted);
}

TEST(SettingsRules, LinkRowsNameTheirApplicationProgramOrTitle)
{
    std::vector<KnownApp> apps = {{"Reader", "ReaderMain"}, {"Other reader", "ReaderMain"}};
    EXPECT_EQ(LinkRowText({kByApplication, "ReaderMain", "p"}, apps, "P: %s", "T: %s"), "Reader");
    EXPECT_EQ(LinkRowText({kByApplication, "RawClass", "p"}, apps, "P: %s", "T: %s"), "RawClass");
    EXPECT_EQ(LinkRowText({kByProgramFile, "notepad.exe", "p"}, apps, "P: %s", "T: %s"), "P: notepad.exe");
    EXPECT_EQ(LinkRowText({kByWindowTitle, "100% %d", "p"}, apps, "P: %s", "Title %s (start)"),
              "Title 100% %d (start)");
    EXPECT_EQ(LinkRowText({kByWindowTitle, "x", "p"}, apps, "P: %s", "%d no name"), "%d no name");
    EXPECT_EQ(LinkRowText({7, "x", "p"}, apps, "P: %s", "T: %s"), "Unknown");
    EXPECT_EQ(LinkApplicationName({kByApplication, "ReaderMain", "p"}, apps), "Reader");
}
