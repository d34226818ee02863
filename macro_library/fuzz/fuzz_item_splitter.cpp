// Fuzzes the item splitter against a plain reading of the "$" rules, and plays every
// input: no piece may outgrow the item buffer and no key or button may stay down. Every
// input also goes through the editor's list and back: each item must come back as itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "macro_items.h"
#include "macro_list.h"
#include "macro_player.h"

using namespace fennick::macro;

namespace {

// The "$" rules read one character at a time, with unbounded items.
std::vector<std::string> referenceSplit(std::string_view macro)
{
    std::vector<std::string> items;
    std::string current;
    for (std::size_t i = 0; i < macro.size(); ++i) {
        if (macro[i] != '$') {
            current += macro[i];
        } else if (i + 1 < macro.size() && macro[i + 1] == '$') {
            current += '$';
            ++i;
        } else {
            items.push_back(current);
            current.clear();
        }
    }
    return items;
}

// A layout with keys for printable ASCII only (capitals and some symbols need Shift,
// '@' needs Ctrl+Alt) that tracks which keys and buttons are down.
class KeyStateEffects : public MacroEffects {
public:
    bool down[256] = {};
    bool left = false, right = false;
    void key(std::uint8_t vk, std::uint8_t, std::uint32_t flags) override { down[vk] = !(flags & kKeyUp); }
    void mouse(std::uint32_t flags) override
    {
        if (flags & kMouseLeftDown) left = true;
        if (flags & kMouseLeftUp) left = false;
        if (flags & kMouseRightDown) right = true;
        if (flags & kMouseRightUp) right = false;
    }
    void sleep(std::uint32_t) override {}
    std::int16_t keyForCharacter(char c) override
    {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 'a' && u <= 'z') return static_cast<std::int16_t>(u - 0x20);
        if (u >= 'A' && u <= 'Z') return static_cast<std::int16_t>(0x100 | u);
        if (u == '@') return 0x632;
        if (u >= 0x20 && u < 0x7F) return static_cast<std::int16_t>(0x100 | (0x30 + u % 10));
        if (u == 0xB4) return 0xDD;  // a dead acute
        return -1;
    }
    std::uint32_t scanCodeForKey(std::uint32_t vk) override { return vk * 3; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view macro(reinterpret_cast<const char*>(data), size);

    ItemSplitter splitter(macro);
    ItemPiece piece;
    bool expectFirst = true;
    while (splitter.next(piece)) {
        if (piece.text.size() > kMaxItemLength || piece.first != expectFirst)
            std::abort();
        if (!piece.last && piece.text.size() != kMaxItemLength)
            std::abort();  // only the last piece of an item may be short
        expectFirst = piece.last;
        classifyItem(piece.text);
    }
    if (splitMacro(macro) != referenceSplit(macro))
        std::abort();

    // Through the editor: the same items, except that a custom macro bound may come back with
    // its keyword in capitals.
    MacroList list("start", "end");
    list.insertMacro(macro);
    std::vector<std::string> before = splitMacro(macro);
    std::vector<std::string> after = splitMacro(list.serialise());
    // (A text item followed by a lone "}" that together read as a key or a bound is one typed
    // row in the editor, written back as the same two items.)
    if (before.size() != after.size() || list.size() > before.size() + 2)
        std::abort();
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i])
            continue;
        ItemClass was = classifyItem(before[i]);
        ItemClass is = classifyItem(after[i]);
        bool bound = was.kind == ItemKind::CustomStart || was.kind == ItemKind::CustomEnd;
        if (!bound || was.kind != is.kind || was.customName != is.customName)
            std::abort();
    }

    KeyStateEffects system;
    HeldInputLedger ledger;
    LedgerEffects tracked(system, ledger);
    playMacro(macro, 1, tracked);
    for (bool isDown : system.down) {
        if (isDown)
            std::abort();
    }
    if (system.left || system.right || !ledger.empty())
        std::abort();
    return 0;
}
