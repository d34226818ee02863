// Splitting macro strings into items, classifying them, the key-name table and the composition table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "composition.h"
#include "macro_items.h"

using namespace fennick::macro;
using Items = std::vector<std::string>;

TEST(ItemSplitter, DollarRules)
{
    EXPECT_EQ(splitMacro("Hello$"), Items({"Hello"}));
    EXPECT_EQ(splitMacro("Hello"), Items());                 // no terminator: no item
    EXPECT_EQ(splitMacro("a$$b$"), Items({"a$b"}));
    EXPECT_EQ(splitMacro("a$b"), Items({"a"}));              // text after the last "$" is dropped
    EXPECT_EQ(splitMacro("ab$$"), Items());                  // "$$" is no terminator
    EXPECT_EQ(splitMacro("$$$"), Items({"$"}));              // pair first, then the terminator
    EXPECT_EQ(splitMacro("$$$$$x"), Items({"$$"}));
    EXPECT_EQ(splitMacro("$"), Items({""}));                 // the empty item exists
    EXPECT_EQ(splitMacro("$$$$"), Items());
    EXPECT_EQ(splitMacro("a$b$$$$c$"), Items({"a", "b$$c"}));
    EXPECT_EQ(splitMacro(""), Items());
}

TEST(ItemSplitter, ItemsUpToTheBoundComeOutWhole)
{
    std::string item(kMaxItemLength, 'x');
    std::string macro = item + "$";
    ItemSplitter splitter(macro);
    ItemPiece piece;
    ASSERT_TRUE(splitter.next(piece));
    EXPECT_TRUE(piece.first);
    EXPECT_TRUE(piece.last);
    EXPECT_EQ(piece.text, item);
    EXPECT_FALSE(splitter.next(piece));
}

TEST(ItemSplitter, LongerItemsComeInPiecesThatFitTheBuffer)
{
    // 600 characters, with "$$" pairs straddling the piece boundaries, then a short item.
    std::string expected;
    std::string macro;
    for (int i = 0; i < 600; ++i) {
        char c = (i % 129 == 128) ? '$' : static_cast<char>('a' + i % 26);
        expected += c;
        macro += c;
        if (c == '$')
            macro += '$';
    }
    macro += "$short$";

    ItemSplitter splitter(macro);
    ItemPiece piece;
    std::vector<ItemPiece> pieces;
    std::string joined;
    while (splitter.next(piece)) {
        pieces.push_back(piece);
        if (pieces.size() <= 3)
            joined.append(piece.text);
    }
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].text.size(), kMaxItemLength);
    EXPECT_TRUE(pieces[0].first);
    EXPECT_FALSE(pieces[0].last);
    EXPECT_EQ(pieces[1].text.size(), kMaxItemLength);
    EXPECT_FALSE(pieces[1].first);
    EXPECT_FALSE(pieces[1].last);
    EXPECT_EQ(pieces[2].text.size(), 600 - 2 * kMaxItemLength);
    EXPECT_TRUE(pieces[2].last);
    EXPECT_EQ(joined, expected);
    EXPECT_EQ(splitMacro(macro), Items({expected, "short"}));
}

TEST(ItemSplitter, UnterminatedLongTailIsNeverHandedOut)
{
    std::string macro = "a$" + std::string(1000, 'z');
    EXPECT_EQ(splitMacro(macro), Items({"a"}));
}

TEST(ClassifyItem, Pauses)
{
    ItemClass c = classifyItem("{PAUSE 500}");
    EXPECT_EQ(c.kind, ItemKind::Pause);
    EXPECT_EQ(c.pauseMs, 500u);
    EXPECT_EQ(classifyItem("{pause 42}").pauseMs, 42u);
    EXPECT_EQ(classifyItem("{Pause 7}").kind, ItemKind::Pause);
    c = classifyItem("{PAUSE }");  // no digits: 0 ms
    EXPECT_EQ(c.kind, ItemKind::Pause);
    EXPECT_EQ(c.pauseMs, 0u);
    EXPECT_EQ(classifyItem("{PAUSE 0007}").pauseMs, 7u);
}

TEST(ClassifyItem, MalformedPausesAreText)
{
    for (const char* item : {"{PAUSE 12x}", "{PAUSE 12", "{PAUSE", "{PAUSE}", "{PAUSE  5}", "{PAUSE 5 }",
                             "{PAUSE -5}", "{PAUSE 5}}", "{PAUSEX5}", "PAUSE 5}", "{PAUSE 5}x"})
        EXPECT_EQ(classifyItem(item).kind, ItemKind::Text) << item;
}

TEST(ClassifyItem, HugePausesSaturateBeforeTheEndlessWait)
{
    EXPECT_EQ(classifyItem("{PAUSE 4294967294}").pauseMs, 4294967294u);
    EXPECT_EQ(classifyItem("{PAUSE 4294967295}").pauseMs, kMaxPauseMs);  // would be INFINITE
    EXPECT_EQ(classifyItem("{PAUSE 99999999999999999999999}").pauseMs, kMaxPauseMs);
    EXPECT_EQ(classifyItem("{PAUSE 4294967296}").pauseMs, kMaxPauseMs);  // no wrap to 0
}

TEST(ClassifyItem, NamedKeysWithoutRegardToCase)
{
    EXPECT_EQ(classifyItem("{ctrl}").keyIndex, 3);
    EXPECT_EQ(classifyItem("{Ctrl}").keyIndex, 3);
    EXPECT_EQ(classifyItem("{mouseclickleft}").keyIndex, 62);
    EXPECT_EQ(classifyItem("{MOUSEDOUBLECLICK}").keyIndex, 64);
    EXPECT_EQ(classifyItem("{NumPadOffDecimal}").keyIndex, 54);
    EXPECT_EQ(classifyItem("{lf}").keyIndex, 13);
    EXPECT_EQ(classifyItem("{ctrl}").kind, ItemKind::NamedKey);
    for (const char* item : {"{FOO}", "{}", "{ CTRL}", "{CTRL", "CTRL}", "CTRL", "{CTRL}{ALT}", "{F13}", ""})
        EXPECT_EQ(classifyItem(item).kind, ItemKind::Text) << item;
}

TEST(NamedKeyTable, EveryNameIsFoundAtItsOwnIndex)
{
    ASSERT_EQ(kNamedKeys.size(), 65u);
    for (std::size_t i = 0; i < kNamedKeys.size(); ++i)
        EXPECT_EQ(findNamedKey(std::string("{") + kNamedKeys[i].name + "}"), static_cast<int>(i)) << i;
}

TEST(NamedKeyTable, KeypadEntriesDifferFromTheNavigationKeysOnlyByTheExtendedFlag)
{
    // NUMPADOFF7 is Home without the extended flag, as the keypad sends it with Num Lock off.
    const NamedKey& home = kNamedKeys[static_cast<std::size_t>(findNamedKey("{HOME}"))];
    const NamedKey& pad7 = kNamedKeys[static_cast<std::size_t>(findNamedKey("{NUMPADOFF7}"))];
    EXPECT_EQ(home.vk, pad7.vk);
    EXPECT_EQ(home.role, KeyRole::Extended);
    EXPECT_EQ(pad7.role, KeyRole::Plain);
    const NamedKey& enter = kNamedKeys[static_cast<std::size_t>(findNamedKey("{ENTER}"))];
    const NamedKey& padEnter = kNamedKeys[static_cast<std::size_t>(findNamedKey("{NUMPADENTER}"))];
    EXPECT_EQ(enter.vk, padEnter.vk);
    EXPECT_EQ(padEnter.role, KeyRole::Extended);
    EXPECT_EQ(kNamedKeys[static_cast<std::size_t>(findNamedKey("{DIVIDE}"))].role, KeyRole::Plain);
}

namespace {

std::string composed(unsigned char c)
{
    Composition parts = composeCharacter(c);
    return std::string(parts.chars, parts.count);
}

}  // namespace

TEST(Composition, AccentThenBaseLetterForEveryRow)
{
    // Written the way the rows are read: characters, accent, base letters in the same order.
    struct Row {
        const char* characters;
        char accent;
        const char* bases;
    };
    const Row rows[] = {
        {"\xC0\xC8\xCC\xD2\xD9\xE0\xE8\xEC\xF2\xF9", '\x60', "AEIOUaeiou"},
        {"\xC1\xC9\xCD\xD3\xDA\xDD\xE1\xE9\xED\xF3\xFA\xFD", '\xB4', "AEIOUYaeiouy"},
        {"\xC2\xCA\xCE\xD4\xDB\xE2\xEA\xEE\xF4\xFB", '\x5E', "AEIOUaeiou"},
        {"\xC3\xD1\xD5\xE3\xF1\xF5", '\x7E', "ANOano"},
        {"\xC4\xCB\xCF\xD6\xDC\xE4\xEB\xEF\xF6\xFC\xFF", '\xA8', "AEIOUaeiouy"},
        {"\xC5\xC7\xD0\xD8\xE5\xE7\xF0\xF8", 0, "ACDOacdo"},
    };
    int covered = 0;
    for (const Row& row : rows) {
        for (std::size_t i = 0; row.characters[i]; ++i) {
            unsigned char c = static_cast<unsigned char>(row.characters[i]);
            std::string expected = row.accent ? std::string{row.accent, row.bases[i]} : std::string{row.bases[i]};
            EXPECT_EQ(composed(c), expected) << std::hex << int(c);
            ++covered;
        }
    }
    EXPECT_EQ(composed(0xC6), "AE");
    EXPECT_EQ(composed(0xE6), "ae");
    EXPECT_EQ(composed(0xDF), "ss");
    for (unsigned char c : {0xD7, 0xDE, 0xF7, 0xFE})  // multiplication, thorns, division: nothing
        EXPECT_EQ(composed(c), "") << std::hex << int(c);
    EXPECT_EQ(covered + 3 + 4, 64);  // every character of 0xC0..0xFF has its row
}

TEST(Composition, NothingBelowTheLetterRange)
{
    for (int c = 0; c < 0xC0; ++c)
        EXPECT_EQ(composeCharacter(static_cast<unsigned char>(c)).count, 0) << c;
}

TEST(ClassifyItem, CustomMacroBoundsCarryTheirName)
{
    ItemClass start = classifyItem("{MACRO Greeting}");
    EXPECT_EQ(start.kind, ItemKind::CustomStart);
    EXPECT_EQ(start.customName, "Greeting");
    ItemClass end = classifyItem("{/macro Greet}ing}");
    EXPECT_EQ(end.kind, ItemKind::CustomEnd);
    EXPECT_EQ(end.customName, "Greet}ing");
    EXPECT_EQ(classifyItem("{MACRO }").kind, ItemKind::CustomStart);  // the naming dialog accepts an empty name
    EXPECT_EQ(classifyItem("{MACRO }").customName, "");
    for (const char* item : {"{MACRO}", "{MACRO x", "{MACROx}", "MACRO x}", "{/MACRO}", "{MACRO x}y", "-- Macro start x --"})
        EXPECT_EQ(classifyItem(item).kind, ItemKind::Text) << item;
}
