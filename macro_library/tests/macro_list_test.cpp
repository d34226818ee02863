// The editor's command list: rows, insertion point, moves, deleting, drags, serialising, clipboard, limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro_items.h"
#include "macro_list.h"
#include "macro_player.h"

using namespace fennick::macro;

namespace {

MacroList fresh() { return MacroList("Macro start", "Macro end"); }

// Every row as "text" or "text|kind", selected rows with a leading "*".
std::vector<std::string> rows(const MacroList& list)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const MacroRow& row = list.row(i);
        std::string line = (row.selected ? "*" : "") + row.text;
        if (row.kind != RowKind::Text)
            line += "|" + std::to_string(static_cast<int>(row.kind));
        out.push_back(line);
    }
    return out;
}

using Rows = std::vector<std::string>;

MacroList withItems(const char* macro)
{
    MacroList list = fresh();
    list.insertMacro(macro);
    return list;
}

}  // namespace

TEST(MacroList, OpeningWithAMacroShowsItsItemsBetweenTheMarkers)
{
    MacroList empty = fresh();
    EXPECT_EQ(rows(empty), Rows({"-- Macro start --", "-- Macro end --"}));
    EXPECT_EQ(empty.serialise(), "");  // a null initial macro gives back an empty string

    // The text after the last terminator is not an item.
    EXPECT_EQ(rows(withItems("a$b")), Rows({"-- Macro start --", "a", "-- Macro end --"}));

    MacroList kinds = withItems("${ctrl}$x${PAUSE 250}${PAUSE 2x}${MouseClickLeft}${lf}$");
    EXPECT_EQ(rows(kinds), Rows({"-- Macro start --", "", "{ctrl}|2", "x", "{PAUSE 250}|3", "{PAUSE 2x}",
                                 "{MouseClickLeft}|2", "{lf}|2", "-- Macro end --"}));
    EXPECT_EQ(kinds.serialise(), "${ctrl}$x${PAUSE 250}${PAUSE 2x}${MouseClickLeft}${lf}$");
}

TEST(MacroList, DollarSignsSurviveTheRoundTrip)
{
    MacroList list = fresh();
    ASSERT_TRUE(list.addText("costs $5 or $$"));
    EXPECT_EQ(list.row(1).text, "costs $5 or $$");
    std::string saved = list.serialise();
    EXPECT_EQ(saved, "costs $$5 or $$$$$");
    MacroList again = withItems(saved.c_str());
    EXPECT_EQ(rows(again), Rows({"-- Macro start --", "costs $5 or $$", "-- Macro end --"}));
    EXPECT_EQ(again.serialise(), saved);
}

TEST(MacroList, InsertionPointKeepsTheOrderOfSeveralInsertions)
{
    MacroList list = withItems("one$two$three$");
    list.select(2, true);  // the third row: "two"
    list.setFocus(2);
    ASSERT_TRUE(list.addKey(3));  // Space
    ASSERT_TRUE(list.addPause("500"));
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "one", "{SPACE}|2", "{PAUSE 500}|3", "*two", "three",
                                "-- Macro end --"}));
    EXPECT_EQ(list.focus(), 4);  // the focus stays on "two"

    // The start marker selected: right after it. Nothing selected: before the end marker.
    list.clearSelection();
    list.select(0, true);
    list.addText("first");
    list.clearSelection();
    list.addText("last");
    EXPECT_EQ(list.row(1).text, "first");
    EXPECT_EQ(list.row(list.endMarker() - 1).text, "last");
    // A selected end marker counts like any selected row: in front of it.
    list.select(list.endMarker(), true);
    list.addText("very last");
    EXPECT_EQ(list.row(list.endMarker() - 1).text, "very last");
}

TEST(MacroList, AddButtonsRefuseEmptyFieldsAndEnforceTheirLimits)
{
    MacroList list = fresh();
    EXPECT_FALSE(list.addText(""));
    EXPECT_FALSE(list.addPause(""));
    EXPECT_FALSE(list.addPause("12a"));
    EXPECT_FALSE(list.addPause("1234567"));
    EXPECT_FALSE(list.addKey(kKeyListSize));
    EXPECT_FALSE(list.hasItems());

    std::string long_text(300, 'x');
    ASSERT_TRUE(list.addText(long_text));
    EXPECT_EQ(list.row(1).text.size(), 126u);  // the field holds 127, the Add keeps the first 126
    ASSERT_TRUE(list.addPause("123456"));
    EXPECT_EQ(list.row(2).text, "{PAUSE 123456}");
    EXPECT_EQ(list.row(2).kind, RowKind::Pause);
}

TEST(MacroList, KeyListHoldsEveryKeyOfThePlayerButLineFeedAndTheMouse)
{
    std::vector<std::string> offered;
    for (const KeyListEntry& entry : kKeyList) {
        int index = findNamedKey(std::string("{") + entry.name + "}");
        ASSERT_GE(index, 0) << entry.name;
        offered.push_back(entry.name);
    }
    for (const NamedKey& key : kNamedKeys) {
        bool isOffered = std::find(offered.begin(), offered.end(), key.name) != offered.end();
        bool skipped = std::string(key.name) == "LF" || key.role == KeyRole::MouseLeft ||
                       key.role == KeyRole::MouseRight || key.role == KeyRole::MouseDouble;
        EXPECT_NE(isOffered, skipped) << key.name;
    }
    EXPECT_EQ(std::string(kKeyList[0].name) + kKeyList[2].name + kKeyList[60].name, "ALTSHIFTPRINTSCREEN");
    EXPECT_EQ(kKeyList[0].stringId, 40072);
    EXPECT_EQ(kKeyList[3].stringId, 40053);
    EXPECT_EQ(kKeyList[20].stringId, 40075);
    EXPECT_EQ(kKeyList[60].stringId, 40115);
}

TEST(MacroList, CustomMacroIsFramedByBoundsThatPlayNothingAndComeBack)
{
    MacroList list = withItems("a$");
    list.insertCustomMacro("Sign", "Kind regards${ENTER}$");
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "a", "-- Macro start Sign --|4", "Kind regards", "{ENTER}|2",
                                "-- Macro end Sign --|5", "-- Macro end --"}));
    std::string saved = list.serialise();
    EXPECT_EQ(saved, "a${MACRO Sign}$Kind regards${ENTER}${/MACRO Sign}$");
    // Reopened in another language, the bounds are shown in that language.
    MacroList german("Makrobeginn", "Makroende");
    german.insertMacro(saved);
    EXPECT_EQ(german.row(2).text, "-- Makrobeginn Sign --");
    EXPECT_EQ(german.row(5).text, "-- Makroende Sign --");
    EXPECT_EQ(german.serialise(), saved);
    EXPECT_TRUE(german.isGrey(2));
    EXPECT_FALSE(german.canEdit(2));
}

TEST(MacroList, MovesNeedOneSelectedItemAndStopAtTheMarkers)
{
    MacroList list = withItems("a$b$c$");
    EXPECT_FALSE(list.moveUp());  // nothing selected
    list.selectOnly(1);
    EXPECT_FALSE(list.moveUp());  // the start marker is above
    EXPECT_TRUE(list.moveDown());
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "b", "*a", "c", "-- Macro end --"}));
    EXPECT_EQ(list.focus(), 2);
    EXPECT_TRUE(list.moveDown());
    EXPECT_FALSE(list.moveDown());  // the end marker is below
    EXPECT_TRUE(list.moveUp());
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "b", "*a", "c", "-- Macro end --"}));

    list.select(3, true);  // two selected
    EXPECT_FALSE(list.moveUp());
    EXPECT_FALSE(list.moveDown());
    list.selectOnly(0);  // a marker
    EXPECT_FALSE(list.moveDown());
    list.selectOnly(list.endMarker());
    EXPECT_FALSE(list.moveUp());
}

TEST(MacroList, DeletingSelectsTheRowThatTookTheFocusedPlace)
{
    MacroList list = withItems("a$b$c$d$");
    list.select(2, true);
    list.select(3, true);
    list.setFocus(2);
    EXPECT_TRUE(list.deleteSelected());
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "a", "*d", "-- Macro end --"}));
    EXPECT_EQ(list.focus(), 2);

    // The focused place becomes the end marker: the last item is selected instead.
    list.selectOnly(2);
    EXPECT_TRUE(list.deleteSelected());
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "*a", "-- Macro end --"}));

    // Markers are never deleted; deleting the last item leaves nothing selected.
    list.select(0, true);
    list.select(2, true);
    list.setFocus(0);
    EXPECT_TRUE(list.deleteSelected());
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "-- Macro end --"}));
    EXPECT_EQ(list.focus(), -1);
    list.select(0, true);
    EXPECT_FALSE(list.deleteSelected());
    EXPECT_EQ(list.size(), 2u);
}

TEST(MacroList, ClearLeavesOnlyTheMarkers)
{
    MacroList list = withItems("a$b$");
    list.selectOnly(1);
    list.clear();
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "-- Macro end --"}));
    EXPECT_FALSE(list.hasItems());
}

TEST(MacroList, DraggingMovesOneRowToTheTargetsPlaceOrNothing)
{
    MacroList list = withItems("a$b$c$d$");
    list.selectOnly(1);  // "a" down onto "c": ends just below it
    EXPECT_TRUE(list.drop(3));
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "b", "c", "*a", "d", "-- Macro end --"}));
    EXPECT_EQ(list.focus(), 3);
    list.selectOnly(4);  // "d" up onto "b": ends just above it
    EXPECT_TRUE(list.drop(1));
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "*d", "b", "c", "a", "-- Macro end --"}));

    const Rows before = rows(list);
    for (int target : {0, 5, 1, -1, 99})  // start marker, end marker, itself, empty space, past the end
        EXPECT_FALSE(list.drop(target)) << target;
    EXPECT_EQ(rows(list), before);

    list.select(2, true);  // two selected: no drag
    EXPECT_FALSE(list.canDrag());
    EXPECT_FALSE(list.drop(4));
    list.selectOnly(0);  // a marker cannot be dragged
    EXPECT_FALSE(list.canDrag());
}

TEST(MacroList, CopyAndPasteThroughTheInternalClipboard)
{
    MacroList list = withItems("a$b$$${TAB}$c$");
    list.select(0, true);  // the marker is not copied
    list.select(2, true);
    list.select(3, true);
    list.copy();
    EXPECT_EQ(list.clipboard(), "b$$${TAB}$");
    list.clearSelection();
    list.select(1, true);
    EXPECT_TRUE(list.paste());  // deselects first: the rows go in front of the end marker
    EXPECT_EQ(rows(list), Rows({"-- Macro start --", "a", "b$", "{TAB}|2", "c", "b$", "{TAB}|2", "-- Macro end --"}));
    EXPECT_EQ(list.selectedCount(), 0u);
    EXPECT_EQ(list.focus(), -1);

    list.copy();  // nothing selected: the clipboard empties and paste does nothing
    EXPECT_EQ(list.clipboard(), "");
    EXPECT_FALSE(list.paste());
    EXPECT_EQ(list.size(), 8u);
}

TEST(MacroList, InPlaceEditingOfTextAndPausesOnly)
{
    MacroList list = withItems("hello${PAUSE 250}${HOME}${MACRO x}$");
    EXPECT_FALSE(list.canEdit(0));
    EXPECT_FALSE(list.canEdit(3));  // a named key
    EXPECT_FALSE(list.canEdit(4));  // a custom macro bound
    EXPECT_EQ(list.editText(1), "hello");
    EXPECT_EQ(list.editText(2), "250");

    EXPECT_FALSE(list.acceptEdit(2, "12a"));
    EXPECT_FALSE(list.acceptEdit(2, "1234567"));
    EXPECT_FALSE(list.acceptEdit(2, ""));
    EXPECT_EQ(list.row(2).text, "{PAUSE 250}");
    EXPECT_TRUE(list.acceptEdit(2, "999999"));
    EXPECT_EQ(list.row(2).text, "{PAUSE 999999}");

    EXPECT_FALSE(list.acceptEdit(1, ""));
    EXPECT_FALSE(list.acceptEdit(1, std::string(kMaxRowTextLength + 1, 'y')));
    EXPECT_EQ(list.row(1).text, "hello");
    EXPECT_TRUE(list.acceptEdit(1, "a$b"));
    EXPECT_EQ(list.serialise(), "a$$b${PAUSE 999999}${HOME}${MACRO x}$");
    EXPECT_FALSE(list.acceptEdit(3, "{END}"));
}

TEST(MacroList, LongItemsFromAMacroAreKeptWhole)
{
    // Typed as one item by the player: cutting or splitting it would change the macro.
    std::string longItem(400, 'q');
    MacroList list = withItems((longItem + "$").c_str());
    EXPECT_EQ(list.row(1).text, longItem);
    EXPECT_EQ(list.serialise(), longItem + "$");
    EXPECT_TRUE(list.acceptEdit(1, longItem.substr(0, 399)));  // may be shortened
    EXPECT_FALSE(list.acceptEdit(1, longItem + "q"));          // never lengthened
}

TEST(MacroList, ButtonStatesFollowTheSelection)
{
    auto state = [](const EditorButtons& b) {
        return std::string(b.edit ? "E" : "-") + (b.remove ? "D" : "-") + (b.up ? "U" : "-") + (b.down ? "W" : "-");
    };
    MacroList list = withItems("text${ENTER}${PAUSE 5}$");
    EXPECT_EQ(state(list.buttons()), "----");
    list.selectOnly(1);
    EXPECT_EQ(state(list.buttons()), "EDUW");
    list.selectOnly(2);
    EXPECT_EQ(state(list.buttons()), "-DUW");
    list.selectOnly(3);
    EXPECT_EQ(state(list.buttons()), "EDUW");
    list.selectOnly(0);
    EXPECT_EQ(state(list.buttons()), "----");
    list.select(1, true);
    EXPECT_EQ(state(list.buttons()), "-D--");
}

TEST(MacroList, GreyRowsAreMarkersBoundsAndDashedTexts)
{
    MacroList list = withItems("-- note --$----$--x$plain${MACRO m}$");
    EXPECT_TRUE(list.isGrey(0));
    EXPECT_TRUE(list.isGrey(1));
    EXPECT_FALSE(list.isGrey(2));  // only four characters
    EXPECT_FALSE(list.isGrey(3));
    EXPECT_FALSE(list.isGrey(4));
    EXPECT_TRUE(list.isGrey(5));
    EXPECT_TRUE(list.isGrey(list.endMarker()));
}

namespace {

// The characters a macro types, each key down of the player written as the character it stands
// for; keys are taken as they are on the layout, without modifiers.
class TypedText : public MacroEffects {
public:
    std::string typed;
    void key(std::uint8_t vk, std::uint8_t, std::uint32_t flags) override
    {
        if (!(flags & kKeyUp))
            typed += static_cast<char>(vk);
    }
    void mouse(std::uint32_t) override {}
    void sleep(std::uint32_t) override {}
    std::int16_t keyForCharacter(char c) override { return static_cast<unsigned char>(c); }
    std::uint32_t scanCodeForKey(std::uint32_t) override { return 1; }
};

}  // namespace

TEST(MacroList, TextThatLooksLikeABoundAKeyOrAPauseTypesWhatTheRowShows)
{
    const Rows texts = {"{MACRO Sign}", "{/MACRO Sign}", "{ENTER}", "{PAUSE 100}", "{MACRO $}"};
    MacroList list = fresh();
    for (const std::string& text : texts)
        ASSERT_TRUE(list.addText(text));
    std::string saved = list.serialise();
    EXPECT_EQ(list.serialisedSize(false), saved.size() + 2);

    // Reopened, every text is one text row again, and saved again the same way.
    MacroList reopened = withItems(saved.c_str());
    Rows expected = {"-- Macro start --"};
    expected.insert(expected.end(), texts.begin(), texts.end());
    expected.push_back("-- Macro end --");
    EXPECT_EQ(rows(reopened), expected);
    EXPECT_EQ(reopened.serialise(), saved);

    // Played, it types every row's text.
    TypedText system;
    playMacro(saved, 0, system);
    EXPECT_EQ(system.typed, "{MACRO Sign}{/MACRO Sign}{ENTER}{PAUSE 100}{MACRO $}");

    // A macro saved before still opens with its custom macro's bounds and its key.
    EXPECT_EQ(rows(withItems("{MACRO Sign}$Hi${/MACRO Sign}${ENTER}$")),
              Rows({"-- Macro start --", "-- Macro start Sign --|4", "Hi", "-- Macro end Sign --|5", "{ENTER}|2",
                    "-- Macro end --"}));
    // A bound followed by a text "}" stays a bound and a text.
    EXPECT_EQ(rows(withItems("{MACRO x}$}$")), Rows({"-- Macro start --", "-- Macro start x --|4", "}",
                                                      "-- Macro end --"}));
}

TEST(MacroList, SerialisedSizeIsCountedBeforeWriting)
{
    MacroList list = fresh();
    for (int i = 0; i < 2000; ++i)
        list.addText("$a$$");
    list.insertMacro("{MACRO $$}$");
    std::string all = list.serialise();
    EXPECT_EQ(all.size(), 2000u * 8 + 11);
    EXPECT_EQ(list.serialisedSize(false), all.size() + 2);  // the terminator and one spare byte
    list.selectOnly(5);
    EXPECT_EQ(list.serialiseSelected(), "$$a$$$$$");
    EXPECT_EQ(list.serialisedSize(true), 8u + 2);
}

TEST(EditorLanguage, UsersLanguageOrEnglish)
{
    struct Case {
        std::uint16_t user, shown;
    } cases[] = {{0x0407, 0x0407}, {0x0807, 0x0407}, {0x0C07, 0x0407}, {0x040C, 0x040C}, {0x080C, 0x040C},
                 {0x0C0C, 0x040C}, {0x0410, 0x0410}, {0x0810, 0x0410}, {0x0413, 0x0413}, {0x0813, 0x0813},
                 {0x0414, 0x0414}, {0x0814, 0x0414}, {0x041D, 0x041D}, {0x081D, 0x041D}, {0x0809, 0x0809},
                 {0x0409, 0x0809}, {0x0C09, 0x0809}, {0x0419, 0x0809}, {0x0411, 0x0809}, {0x0000, 0x0809},
                 {0x0406, 0x0809}, {0x040B, 0x0809}};
    for (const Case& c : cases)
        EXPECT_EQ(editorLanguageFor(c.user), c.shown) << std::hex << c.user;
}
