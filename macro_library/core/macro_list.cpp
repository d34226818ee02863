// The macro editor's command list model.
#include "macro_list.h"

#include <algorithm>

#include "macro_items.h"

namespace fennick::macro {

const std::array<KeyListEntry, kKeyListSize> kKeyList = {{
    {"ALT", 40072},        {"CTRL", 40073},       {"SHIFT", 40070},      {"SPACE", 40053},
    {"ESC", 40054},        {"ENTER", 40055},      {"BACKSPACE", 40056},  {"UP", 40057},
    {"DOWN", 40058},       {"RIGHT", 40059},      {"LEFT", 40060},       {"INSERT", 40061},
    {"DELETE", 40062},     {"HOME", 40063},       {"END", 40064},        {"PAGEUP", 40065},
    {"PAGEDOWN", 40066},   {"TAB", 40067},        {"WINDOWS", 40068},    {"APPS", 40069},
    {"F1", 40075},         {"F2", 40076},         {"F3", 40077},         {"F4", 40078},
    {"F5", 40079},         {"F6", 40080},         {"F7", 40081},         {"F8", 40082},
    {"F9", 40083},         {"F10", 40084},        {"F11", 40085},        {"F12", 40086},
    {"NUMPAD0", 40087},    {"NUMPAD1", 40088},    {"NUMPAD2", 40089},    {"NUMPAD3", 40090},
    {"NUMPAD4", 40091},    {"NUMPAD5", 40092},    {"NUMPAD6", 40093},    {"NUMPAD7", 40094},
    {"NUMPAD8", 40095},    {"NUMPAD9", 40096},    {"DIVIDE", 40097},     {"MULTIPLY", 40098},
    {"ADD", 40099},        {"SUBTRACT", 40100},   {"NUMPADENTER", 40101}, {"DECIMAL", 40102},
    {"NUMPADOFF0", 40103}, {"NUMPADOFF1", 40104}, {"NUMPADOFF2", 40105}, {"NUMPADOFF3", 40106},
    {"NUMPADOFF4", 40107}, {"NUMPADOFF5", 40108}, {"NUMPADOFF6", 40109}, {"NUMPADOFF7", 40110},
    {"NUMPADOFF8", 40111}, {"NUMPADOFF9", 40112}, {"NUMPADOFFDECIMAL", 40113}, {"SCROLLOCK", 40114},
    {"PRINTSCREEN", 40115},
}};

namespace {

constexpr std::string_view kPauseOpen = "{PAUSE ";

bool allDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

RowKind rowKindOf(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Pause: return RowKind::Pause;
    case ItemKind::NamedKey: return RowKind::Key;
    case ItemKind::CustomStart: return RowKind::CustomStart;
    case ItemKind::CustomEnd: return RowKind::CustomEnd;
    case ItemKind::Text: break;
    }
    return RowKind::Text;
}

// A text row whose text the player would take for a pause, a key or a custom macro's bound
// ("{MACRO Sign}" typed in the text field) is written as two text items, its closing "}"
// apart: played one after the other they type exactly the row's text, in this player and in
// any earlier one, and the editor joins them into one row again.
bool needsSplitting(const MacroRow& row)
{
    return row.kind == RowKind::Text && classifyItem(row.text).kind != ItemKind::Text;
}

// The items a row stands for in a macro string, before "$" is doubled.
std::vector<std::string> itemsOf(const MacroRow& row)
{
    switch (row.kind) {
    case RowKind::CustomStart: return {std::string(kCustomStartPrefix) + row.name + "}"};
    case RowKind::CustomEnd: return {std::string(kCustomEndPrefix) + row.name + "}"};
    default: break;
    }
    if (needsSplitting(row))
        return {row.text.substr(0, row.text.size() - 1), row.text.substr(row.text.size() - 1)};
    return {row.text};
}

std::size_t serialisedLength(const MacroRow& row)
{
    std::size_t length = 0;
    for (const std::string& item : itemsOf(row))
        length += item.size() + static_cast<std::size_t>(std::count(item.begin(), item.end(), '$')) + 1;
    return length;
}

void appendSerialised(std::string& out, const MacroRow& row)
{
    for (const std::string& item : itemsOf(row)) {
        for (char c : item) {
            out += c;
            if (c == '$')
                out += '$';
        }
        out += '$';
    }
}

// A text item and a "}" item that together would not read as text are one typed row.
bool splitTextRow(const std::string& item, const std::string* next)
{
    return next && *next == "}" && classifyItem(item).kind == ItemKind::Text &&
           classifyItem(item + "}").kind != ItemKind::Text;
}

}  // namespace

MacroList::MacroList(std::string startWord, std::string endWord)
    : startWord_(std::move(startWord)), endWord_(std::move(endWord))
{
    clear();
}

std::string MacroList::startText(std::string_view name) const
{
    return "-- " + startWord_ + " " + std::string(name) + " --";
}

std::string MacroList::endText(std::string_view name) const
{
    return "-- " + endWord_ + " " + std::string(name) + " --";
}

void MacroList::clear()
{
    rows_.clear();
    rows_.push_back(MacroRow{"-- " + startWord_ + " --", RowKind::Text, {}, false});
    rows_.push_back(MacroRow{"-- " + endWord_ + " --", RowKind::Text, {}, false});
    focus_ = -1;
}

std::size_t MacroList::selectedCount() const
{
    return static_cast<std::size_t>(std::count_if(rows_.begin(), rows_.end(), [](const MacroRow& r) { return r.selected; }));
}

void MacroList::select(std::size_t i, bool selected)
{
    if (i < rows_.size())
        rows_[i].selected = selected;
}

void MacroList::selectOnly(std::size_t i)
{
    clearSelection();
    select(i, true);
    setFocus(static_cast<int>(i));
}

void MacroList::clearSelection()
{
    for (MacroRow& row : rows_)
        row.selected = false;
}

int MacroList::singleSelected() const
{
    int found = -1;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].selected)
            continue;
        if (found >= 0)
            return -1;
        found = static_cast<int>(i);
    }
    return found;
}

std::size_t MacroList::insertionPoint() const
{
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].selected)
            return i == 0 ? 1 : i;
    }
    return endMarker();
}

std::size_t MacroList::insertRow(std::string text, RowKind kind, std::string name)
{
    std::size_t at = insertionPoint();
    if (static_cast<std::uint8_t>(kind) == 0)
        kind = RowKind::Text;
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), MacroRow{std::move(text), kind, std::move(name), false});
    if (focus_ >= static_cast<int>(at))
        ++focus_;
    return at;
}

bool MacroList::addText(std::string_view field)
{
    if (field.empty())
        return false;
    insertRow(std::string(field.substr(0, kMaxAddedTextLength)), RowKind::Text);
    return true;
}

bool MacroList::addPause(std::string_view digits)
{
    if (digits.empty() || digits.size() > kMaxPauseDigits || !allDigits(digits))
        return false;
    insertRow(std::string(kPauseOpen) + std::string(digits) + "}", RowKind::Pause);
    return true;
}

bool MacroList::addKey(std::size_t keyListRow)
{
    if (keyListRow >= kKeyList.size())
        return false;
    insertRow(std::string("{") + kKeyList[keyListRow].name + "}", RowKind::Key);
    return true;
}

std::size_t MacroList::insertMacro(std::string_view macro)
{
    std::vector<std::string> items = splitMacro(macro);
    std::size_t inserted = 0;
    for (std::size_t i = 0; i < items.size(); ++i, ++inserted) {
        std::string& item = items[i];
        if (splitTextRow(item, i + 1 < items.size() ? &items[i + 1] : nullptr)) {
            insertRow(item + "}", RowKind::Text);
            ++i;
            continue;
        }
        ItemClass kind = classifyItem(item);
        RowKind rowKind = rowKindOf(kind.kind);
        if (rowKind == RowKind::CustomStart)
            insertRow(startText(kind.customName), rowKind, std::string(kind.customName));
        else if (rowKind == RowKind::CustomEnd)
            insertRow(endText(kind.customName), rowKind, std::string(kind.customName));
        else
            insertRow(std::move(item), rowKind);
    }
    return inserted;
}

std::size_t MacroList::insertCustomMacro(std::string_view name, std::string_view macro)
{
    insertRow(startText(name), RowKind::CustomStart, std::string(name));
    std::size_t count = insertMacro(macro);
    insertRow(endText(name), RowKind::CustomEnd, std::string(name));
    return count + 2;
}

bool MacroList::canMoveUp() const
{
    int i = singleSelected();
    return i > 1 && !isMarker(static_cast<std::size_t>(i));
}

bool MacroList::canMoveDown() const
{
    int i = singleSelected();
    return i > 0 && static_cast<std::size_t>(i) + 1 < endMarker();
}

bool MacroList::moveUp()
{
    if (!canMoveUp())
        return false;
    std::size_t i = static_cast<std::size_t>(singleSelected());
    std::swap(rows_[i], rows_[i - 1]);
    selectOnly(i - 1);
    return true;
}

bool MacroList::moveDown()
{
    if (!canMoveDown())
        return false;
    std::size_t i = static_cast<std::size_t>(singleSelected());
    std::swap(rows_[i], rows_[i + 1]);
    selectOnly(i + 1);
    return true;
}

bool MacroList::deleteSelected()
{
    rows_.front().selected = false;
    rows_.back().selected = false;
    int firstDeleted = -1;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].selected) {
            firstDeleted = static_cast<int>(i);
            break;
        }
    }
    if (firstDeleted < 0)
        return false;
    std::size_t place = static_cast<std::size_t>(focus_ >= 0 ? focus_ : firstDeleted);
    rows_.erase(std::remove_if(rows_.begin(), rows_.end(), [](const MacroRow& r) { return r.selected; }), rows_.end());
    focus_ = -1;
    if (!hasItems())
        return true;
    place = std::clamp<std::size_t>(place, 1, endMarker() - 1);
    selectOnly(place);
    return true;
}

std::size_t MacroList::serialisedSize(bool selectedOnly) const
{
    std::size_t size = 2;
    for (std::size_t i = 1; i < endMarker(); ++i) {
        if (!selectedOnly || rows_[i].selected)
            size += serialisedLength(rows_[i]);
    }
    return size;
}

std::string MacroList::serialise() const
{
    std::string out;
    out.reserve(serialisedSize(false));
    for (std::size_t i = 1; i < endMarker(); ++i)
        appendSerialised(out, rows_[i]);
    return out;
}

std::string MacroList::serialiseSelected() const
{
    std::string out;
    out.reserve(serialisedSize(true));
    for (std::size_t i = 1; i < endMarker(); ++i) {
        if (rows_[i].selected)
            appendSerialised(out, rows_[i]);
    }
    return out;
}

void MacroList::copy()
{
    clipboard_ = serialiseSelected();
}

bool MacroList::paste()
{
    if (clipboard_.empty())
        return false;
    clearSelection();
    insertMacro(clipboard_);
    clearSelection();
    focus_ = -1;
    return true;
}

bool MacroList::canDrag() const
{
    int i = singleSelected();
    return i >= 0 && !isMarker(static_cast<std::size_t>(i));
}

bool MacroList::drop(int target)
{
    if (!canDrag() || target < 0 || static_cast<std::size_t>(target) >= rows_.size())
        return false;
    std::size_t to = static_cast<std::size_t>(target);
    if (isMarker(to) || rows_[to].selected)
        return false;
    std::size_t from = static_cast<std::size_t>(singleSelected());
    MacroRow moved = std::move(rows_[from]);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(from));
    // From above it lands just below the target, from below just above: the target's place.
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(to), std::move(moved));
    selectOnly(to);
    return true;
}

bool MacroList::canEdit(std::size_t i) const
{
    if (i >= rows_.size() || isMarker(i))
        return false;
    return rows_[i].kind == RowKind::Text || rows_[i].kind == RowKind::Pause;
}

std::string MacroList::editText(std::size_t i) const
{
    if (!canEdit(i))
        return {};
    const std::string& text = rows_[i].text;
    if (rows_[i].kind == RowKind::Pause)
        return text.substr(kPauseOpen.size(), text.size() - kPauseOpen.size() - 1);
    return text;
}

bool MacroList::acceptEdit(std::size_t i, std::string_view edited)
{
    if (!canEdit(i) || edited.empty())
        return false;
    MacroRow& row = rows_[i];
    if (row.kind == RowKind::Pause) {
        if (edited.size() > kMaxPauseDigits || !allDigits(edited))
            return false;
        row.text = std::string(kPauseOpen) + std::string(edited) + "}";
        return true;
    }
    // A longer item that came in with a macro may be kept or shortened, never lengthened.
    if (edited.size() > std::max(kMaxRowTextLength, row.text.size()))
        return false;
    row.text.assign(edited.data(), edited.size());
    return true;
}

EditorButtons MacroList::buttons() const
{
    EditorButtons state;
    std::size_t count = selectedCount();
    if (count == 0)
        return state;
    if (count > 1) {
        state.remove = true;
        return state;
    }
    std::size_t i = static_cast<std::size_t>(singleSelected());
    if (isMarker(i))
        return state;
    state.remove = state.up = state.down = true;
    state.edit = canEdit(i);
    return state;
}

bool MacroList::isGrey(std::size_t i) const
{
    const MacroRow& row = rows_[i];
    if (row.kind == RowKind::CustomStart || row.kind == RowKind::CustomEnd)
        return true;
    return row.kind == RowKind::Text && row.text.size() > 4 && row.text.compare(0, 2, "--") == 0 &&
           row.text.compare(row.text.size() - 2, 2, "--") == 0;
}

std::uint16_t editorLanguageFor(std::uint16_t userLanguage)
{
    constexpr std::uint16_t kEnglishUk = 0x0809;
    switch (userLanguage & 0x3FF) {
    case 0x07: return 0x0407;  // German
    case 0x0C: return 0x040C;  // French
    case 0x10: return 0x0410;  // Italian
    case 0x13: return userLanguage == 0x0813 ? 0x0813 : 0x0413;  // Dutch, Belgian Dutch
    case 0x14: return 0x0414;  // Norwegian, Bokmal and Nynorsk alike
    case 0x1D: return 0x041D;  // Swedish
    default: return kEnglishUk;
    }
}

}  // namespace fennick::macro
