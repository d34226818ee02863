// Application links and start-up rules: the link file's content, matching, the command line, languages.
#include <gtest/gtest.h>

#include <map>

#include "app_links.h"
#include "startup_rules.h"

using namespace fennick::key;

namespace {

struct FakeIni : IniSource {
    std::map<std::string, std::string> values;  // "section/key" -> text
    int32_t integer(const std::string& s, const std::string& k, int32_t fallback) const override
    {
        auto it = values.find(s + "/" + k);
        return it == values.end() ? fallback : std::stoi(it->second);
    }
    std::string text(const std::string& s, const std::string& k) const override
    {
        auto it = values.find(s + "/" + k);
        return it == values.end() ? "" : it->second;
    }
};

LinkSettings sampleLinks()
{
    LinkSettings s;
    s.apps = {{"Reader", "ProbeReader"}, {"Writer", "ProbeWriter"}};
    s.links = {{kByWindowTitle, "Letter to", "letters"},
               {kByProgramFile, "notepad.exe", "notes"},
               {kByApplication, "Reader", "reading"},
               {kByApplication, "RawClass", "raw"},
               {7, "notepad.exe", "never"}};
    s.DefaultProfile = "default";
    return s;
}

}  // namespace

TEST(LinkFile, ReadsCountedSectionsAndDropsIncompleteEntries)
{
    FakeIni ini;
    ini.values = {{"FKSettings/NrKnownApps", "3"},   {"FKSettings/NrKnownProfiles", "4"},
                  {"FKSettings/DefaultProfile", "Main"}, {"App1/Name", "Reader"},
                  {"App1/Class", "ProbeReader"},     {"App2/Name", "NoClass"},
                  {"App3/Name", "Writer"},           {"App3/Class", "ProbeWriter"},
                  {"App4/Name", "Beyond"},           {"App4/Class", "Count"},
                  {"Prof1/Type", "1"},               {"Prof1/Name", "Reader"},
                  {"Prof1/Profile", "reading"},      {"Prof2/Type", "-1"},
                  {"Prof2/Name", "x"},               {"Prof2/Profile", "y"},
                  {"Prof3/Type", "2"},               {"Prof3/Name", "notepad.exe"},
                  {"Prof4/Type", "3"},               {"Prof4/Name", "Letter"},
                  {"Prof4/Profile", "letters"}};
    LinkSettings s = ReadLinkSettings(ini);
    EXPECT_EQ(s.DefaultProfile, "Main");
    ASSERT_EQ(s.apps.size(), 2u);
    EXPECT_EQ(s.apps[1].Class, "ProbeWriter");
    ASSERT_EQ(s.links.size(), 2u);
    EXPECT_EQ(s.links[0].Profile, "reading");
    EXPECT_EQ(s.links[1].Type, kByWindowTitle);

    FakeIni damaged;
    damaged.values = {{"FKSettings/NrKnownApps", "-5"}, {"FKSettings/NrKnownProfiles", "2000000000"}};
    EXPECT_TRUE(ReadLinkSettings(damaged).links.empty());

    EXPECT_EQ(LinkSectionName(12), "Prof12");
    EXPECT_EQ(LinkSectionText({2, "a.exe", "Main"}), std::string("Type=2\0Name=a.exe\0Profile=Main\0\0", 32));
    // A title link ending in a blank, or a name the reader would unquote, comes back as written.
    EXPECT_EQ(LinkSectionText({3, "Letter ", "'Mail'"}),
              std::string("Type=3\0Name=\"Letter \"\0Profile=\"'Mail'\"\0\0", 40));
}

TEST(LinkMatching, EachLinkTypeInListOrder)
{
    LinkSettings s = sampleLinks();
    auto target = [&](ForegroundWindow w, const char* current = "C:\\F\\x.bpf") {
        return ProfileForWindow(s, w, current).value_or("-");
    };
    // The title link comes first, so it decides over the program file link.
    EXPECT_EQ(target({"Notepad", "notepad.exe", "Letter to Sam - Notepad"}), "letters");
    EXPECT_EQ(target({"Notepad", "notepad.exe", "Untitled - Notepad"}), "notes");
    // Title: the beginning, exactly and case-sensitively.
    EXPECT_EQ(target({"Edit", "a.exe", "Letter to"}), "letters");
    EXPECT_EQ(target({"Edit", "a.exe", "A Letter to"}), "default");
    EXPECT_EQ(target({"Edit", "a.exe", "letter to"}), "default");
    // Application: by a known application's name for every window of its class, or by a raw class.
    EXPECT_EQ(target({"ProbeReader", "probe.exe", "anything"}), "reading");
    EXPECT_EQ(target({"RawClass", "probe.exe", ""}), "raw");
    EXPECT_EQ(target({"ProbeWriter", "probe.exe", ""}), "default");
    EXPECT_EQ(target({"Reader", "probe.exe", ""}), "reading");  // the Name is also a class name
    EXPECT_EQ(target({"Other", "NOTEPAD.EXE", ""}), "default");
    // Already current, ignored windows, nothing to switch to.
    EXPECT_EQ(target({"ProbeReader", "", ""}, "reading"), "-");
    EXPECT_EQ(target({"Other", "", ""}, "default"), "-");
    EXPECT_EQ(target({"FennickKey", "notepad.exe", "Letter to"}), "-");
    EXPECT_EQ(target({"Shell_TrayWnd", "explorer.exe", ""}), "-");
    s.DefaultProfile.clear();
    EXPECT_EQ(target({"Other", "", ""}), "-");
    // A default profile with no links at all never switches.
    LinkSettings onlyDefault;
    onlyDefault.DefaultProfile = "default";
    EXPECT_FALSE(ProfileForWindow(onlyDefault, {"Other", "", ""}, "x"));
}

TEST(ActivationFilter, TheSameTopLevelWindowTwiceIsOneCheck)
{
    ActivationFilter filter;
    EXPECT_TRUE(filter.changed(0x100));
    EXPECT_FALSE(filter.changed(0x100));
    EXPECT_FALSE(filter.changed(0));
    EXPECT_TRUE(filter.changed(0x200));
    EXPECT_TRUE(filter.changed(0x100));
}

TEST(CommandLine, SilentPathsQuotesAndBounds)
{
    const char folder[] = "C:\\Fennick\\";
    CommandLine silent = ParseCommandLine("-silent \"C:\\p\\a.bpf\"", folder);
    EXPECT_TRUE(silent.silent);
    EXPECT_EQ(silent.profilePath, "");
    EXPECT_EQ(ParseCommandLine("\"C:\\My Profiles\\a.bpf\"", folder).profilePath, "C:\\My Profiles\\a.bpf");
    EXPECT_EQ(ParseCommandLine("  \"\\\\srv\\p\\b.bpf\" ", folder).profilePath, "\\\\srv\\p\\b.bpf");
    EXPECT_EQ(ParseCommandLine("sub\\c.bpf", folder).profilePath, "C:\\Fennick\\sub\\c.bpf");
    EXPECT_EQ(ParseCommandLine("reading.txt", folder).profilePath, "");
    EXPECT_EQ(ParseCommandLine("", folder).profilePath, "");
    EXPECT_FALSE(ParseCommandLine("", folder).silent);
    EXPECT_EQ(ParseCommandLine("C:\\" + std::string(300, 'x') + ".bpf", folder).profilePath, "");
}

TEST(HandedOverProfilePath, MustEndWithinTheBytesGiven)
{
    const char text[] = "C:\\F\\a.bpf";
    EXPECT_EQ(HandedOverProfilePath(text, sizeof(text)), std::string(text));
    EXPECT_FALSE(HandedOverProfilePath(text, sizeof(text) - 1));
    EXPECT_FALSE(HandedOverProfilePath(nullptr, 4));
    EXPECT_FALSE(HandedOverProfilePath(text, 0));
    std::string longPath(400, 'x');
    EXPECT_FALSE(HandedOverProfilePath(longPath.c_str(), longPath.size() + 1));
}

TEST(Languages, MenuItemsCodesCheckMarkAndMacroLibrary)
{
    EXPECT_STREQ(LanguageForMenuId(146)->code, "FRF");
    EXPECT_STREQ(LanguageForMenuId(146)->menuText, "Fran\xE7" "ais");
    EXPECT_STREQ(LanguageForMenuId(149)->code, "GED");
    EXPECT_EQ(LanguageForMenuId(148), nullptr);
    EXPECT_EQ(LanguageForMenuId(127), nullptr);
    EXPECT_EQ(CheckedLanguageMenuId("iti"), 152);
    EXPECT_EQ(CheckedLanguageMenuId("NON"), 151);
    EXPECT_EQ(CheckedLanguageMenuId("XYZ"), 145);
    EXPECT_EQ(CheckedLanguageMenuId(""), 145);
    EXPECT_EQ(MacroLibraryName("GED"), "mcx_GED.dll");
    for (int i = 0; i < kLanguageCount; ++i)
        EXPECT_EQ(LanguageForMenuId(LanguageAt(i).menuId), &LanguageAt(i));
}
