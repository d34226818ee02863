// Macro strings: the item splitter, the named-key table and item classification.
#include "macro_items.h"

namespace fennick::macro {

namespace {
constexpr KeyRole P = KeyRole::Plain;
constexpr KeyRole X = KeyRole::Extended;
constexpr KeyRole M = KeyRole::Modifier;
}  // namespace

const std::array<NamedKey, kNamedKeyCount> kNamedKeys = {{
    {"SPACE", 0x20, P},       {"ESC", 0x1B, P},          {"ALT", 0x12, M},
    {"CTRL", 0x11, M},        {"SHIFT", 0x10, M},        {"INSERT", 0x2D, X},
    {"HOME", 0x24, X},        {"PAGEUP", 0x21, X},       {"DELETE", 0x2E, X},
    {"END", 0x23, X},         {"PAGEDOWN", 0x22, X},     {"TAB", 0x09, P},
    {"ENTER", 0x0D, P},       {"LF", 0x0D, P},           {"BACKSPACE", 0x08, P},
    {"UP", 0x26, X},          {"LEFT", 0x25, X},         {"DOWN", 0x28, X},
    {"RIGHT", 0x27, X},       {"WINDOWS", 0x5B, P},      {"APPS", 0x5D, P},
    {"F1", 0x70, P},          {"F2", 0x71, P},           {"F3", 0x72, P},
    {"F4", 0x73, P},          {"F5", 0x74, P},           {"F6", 0x75, P},
    {"F7", 0x76, P},          {"F8", 0x77, P},           {"F9", 0x78, P},
    {"F10", 0x79, P},         {"F11", 0x7A, P},          {"F12", 0x7B, P},
    {"NUMPAD0", 0x60, P},     {"NUMPADOFF0", 0x2D, P},   {"NUMPAD1", 0x61, P},
    {"NUMPADOFF1", 0x23, P},  {"NUMPAD2", 0x62, P},      {"NUMPADOFF2", 0x28, P},
    {"NUMPAD3", 0x63, P},     {"NUMPADOFF3", 0x22, P},   {"NUMPAD4", 0x64, P},
    {"NUMPADOFF4", 0x25, P},  {"NUMPAD5", 0x65, P},      {"NUMPADOFF5", 0x0C, P},
    {"NUMPAD6", 0x66, P},     {"NUMPADOFF6", 0x27, P},   {"NUMPAD7", 0x67, P},
    {"NUMPADOFF7", 0x24, P},  {"NUMPAD8", 0x68, P},      {"NUMPADOFF8", 0x26, P},
    {"NUMPAD9", 0x69, P},     {"NUMPADOFF9", 0x21, P},   {"DECIMAL", 0x6E, P},
    {"NUMPADOFFDECIMAL", 0x2E, P}, {"NUMPADENTER", 0x0D, X}, {"MULTIPLY", 0x6A, P},
    {"ADD", 0x6B, P},         {"SUBTRACT", 0x6D, P},     {"DIVIDE", 0x6F, P},
    {"SCROLLOCK", 0x91, P},   {"PRINTSCREEN", 0x2C, P},
    {"MouseClickLeft", 0, KeyRole::MouseLeft},
    {"MouseClickRight", 0, KeyRole::MouseRight},
    {"MouseDoubleClick", 0, KeyRole::MouseDouble},
}};

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

int findNamedKey(std::string_view item)
{
    if (item.size() < 3 || item.front() != '{' || item.back() != '}')
        return -1;
    std::string_view name = item.substr(1, item.size() - 2);
    for (std::size_t i = 0; i < kNamedKeys.size(); ++i) {
        if (equalsIgnoreCase(name, kNamedKeys[i].name))
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

constexpr std::string_view kPausePrefix = "{PAUSE ";

// "{PAUSE " + zero or more digits + "}"; the value saturates instead of wrapping.
bool parsePause(std::string_view item, std::uint32_t& ms)
{
    if (item.size() < kPausePrefix.size() + 1 || item.back() != '}')
        return false;
    if (!equalsIgnoreCase(item.substr(0, kPausePrefix.size()), kPausePrefix))
        return false;
    std::string_view digits = item.substr(kPausePrefix.size(), item.size() - kPausePrefix.size() - 1);
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > kMaxPauseMs)
            value = kMaxPauseMs;
    }
    ms = static_cast<std::uint32_t>(value);
    return true;
}

// "{MACRO name}" or "{/MACRO name}", the prefix without regard to case; the name may be empty.
bool parseCustomBound(std::string_view item, std::string_view prefix, std::string_view& name)
{
    if (item.size() < prefix.size() + 1 || item.back() != '}')
        return false;
    if (!equalsIgnoreCase(item.substr(0, prefix.size()), prefix))
        return false;
    name = item.substr(prefix.size(), item.size() - prefix.size() - 1);
    return true;
}

}  // namespace

ItemClass classifyItem(std::string_view item)
{
    ItemClass result;
    if (parsePause(item, result.pauseMs)) {
        result.kind = ItemKind::Pause;
        return result;
    }
    result.pauseMs = 0;
    result.keyIndex = findNamedKey(item);
    if (result.keyIndex >= 0) {
        result.kind = ItemKind::NamedKey;
        return result;
    }
    if (parseCustomBound(item, kCustomStartPrefix, result.customName))
        result.kind = ItemKind::CustomStart;
    else if (parseCustomBound(item, kCustomEndPrefix, result.customName))
        result.kind = ItemKind::CustomEnd;
    return result;
}

namespace {

// Position of the "$" that ends the item starting at `from`, or npos when the rest of
// the string holds no terminator. "$$" pairs are skipped as a whole, left to right.
std::size_t findTerminator(std::string_view macro, std::size_t from)
{
    for (std::size_t i = from; i < macro.size(); ++i) {
        if (macro[i] != '$')
            continue;
        if (i + 1 < macro.size() && macro[i + 1] == '$') {
            ++i;
            continue;
        }
        return i;
    }
    return std::string_view::npos;
}

}  // namespace

bool ItemSplitter::next(ItemPiece& piece)
{
    if (!inItem_) {
        if (pos_ >= macro_.size())
            return false;
        std::size_t end = findTerminator(macro_, pos_);
        if (end == std::string_view::npos) {
            pos_ = macro_.size();  // trailing text without a terminator is not an item
            return false;
        }
        itemEnd_ = end;
        inItem_ = true;
        piece.first = true;
    } else {
        piece.first = false;
    }

    std::size_t length = 0;
    while (pos_ < itemEnd_ && length < kMaxItemLength) {
        // Inside the item every "$" is the first of a "$$" pair.
        buffer_[length++] = macro_[pos_];
        pos_ += macro_[pos_] == '$' ? 2 : 1;
    }
    piece.text = std::string_view(buffer_, length);
    piece.last = pos_ >= itemEnd_;
    if (piece.last) {
        pos_ = itemEnd_ + 1;
        inItem_ = false;
    }
    return true;
}

std::vector<std::string> splitMacro(std::string_view macro)
{
    std::vector<std::string> items;
    ItemSplitter splitter(macro);
    ItemPiece piece;
    while (splitter.next(piece)) {
        if (piece.first)
            items.emplace_back();
        items.back().append(piece.text);
    }
    return items;
}

}  // namespace fennick::macro
