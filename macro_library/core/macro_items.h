// Macro strings: splitting into items, the named-key table, and item classification.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fennick::macro {

// The player reads an item into a buffer of this size, so an item holds at most 259
// characters. A longer item is handed out in consecutive pieces that each fit.
inline constexpr std::size_t kItemBufferSize = 260;
inline constexpr std::size_t kMaxItemLength = kItemBufferSize - 1;

enum class KeyRole : std::uint8_t { Plain, Extended, Modifier, MouseLeft, MouseRight, MouseDouble };

struct NamedKey {
    const char* name;
    std::uint8_t vk;
    KeyRole role;
};

inline constexpr std::size_t kNamedKeyCount = 65;
// Looked up by index; the index is the key's identity inside the library.
extern const std::array<NamedKey, kNamedKeyCount> kNamedKeys;

// Index into kNamedKeys of the entry whose "{" + name + "}" equals the item without
// regard to case, or -1.
int findNamedKey(std::string_view item);

// CustomStart and CustomEnd mark where a custom macro inserted by the editor begins and
// ends: "{MACRO name}" and "{/MACRO name}". They do nothing when played, so a macro built
// from custom macros never types their names, while the editor can still show the bounds.
enum class ItemKind : std::uint8_t { Pause, NamedKey, Text, CustomStart, CustomEnd };

struct ItemClass {
    ItemKind kind = ItemKind::Text;
    std::uint32_t pauseMs = 0;    // Pause only
    int keyIndex = -1;            // NamedKey only
    std::string_view customName;  // CustomStart and CustomEnd only; points into the item
};

inline constexpr std::string_view kCustomStartPrefix = "{MACRO ";
inline constexpr std::string_view kCustomEndPrefix = "{/MACRO ";

// The longest pause a macro can ask for. Sleep(0xFFFFFFFF) would never return, so
// a pause with a larger (or overflowing) number of milliseconds is cut to this.
inline constexpr std::uint32_t kMaxPauseMs = 0xFFFFFFFEu;

// Pause "{PAUSE digits}" first, then a named key, then a custom macro bound, else text
// (the empty item included).
ItemClass classifyItem(std::string_view item);

// One piece of an item: the whole item when it fits in the item buffer, otherwise
// consecutive parts of at most kMaxItemLength characters. "$$" has become "$".
struct ItemPiece {
    std::string_view text;  // points into the splitter's buffer; valid until the next call
    bool first = true;      // the item starts with this piece
    bool last = true;       // the item ends with this piece
};

// Walks a macro string item by item. "$" ends an item, "$$" is a "$" inside it, and
// characters after the last terminator are not an item and never come out.
class ItemSplitter {
public:
    explicit ItemSplitter(std::string_view macro) : macro_(macro) {}
    bool next(ItemPiece& piece);

private:
    std::string_view macro_;
    std::size_t pos_ = 0;
    std::size_t itemEnd_ = 0;  // position of the current item's terminator
    bool inItem_ = false;
    char buffer_[kItemBufferSize] = {};
};

// Every complete item, pieces joined, for callers that need whole items (the editor).
std::vector<std::string> splitMacro(std::string_view macro);

// ASCII comparison without regard to case.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace fennick::macro
