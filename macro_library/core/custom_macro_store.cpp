// The custom macro store: loading and saving records, lookups by name.
#include "custom_macro_store.h"

#include <algorithm>

namespace fennick::macro {

namespace {

// Upper case of a Windows-1252 character.
unsigned char upper1252(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return c;
    }
}

std::string_view fieldName(std::string_view name)
{
    std::size_t zero = name.find('\0');
    if (zero != std::string_view::npos)
        name = name.substr(0, zero);
    return name.substr(0, std::min(name.size(), kMaxNameLength));
}

bool readAll(ByteSource& source, void* buffer, std::size_t size)
{
    return source.read(buffer, size) == size;
}

// Reads the text in steps, so memory grows only with bytes that really arrive.
bool readText(ByteSource& source, std::uint32_t length, std::string& text)
{
    constexpr std::size_t kStep = 4096;
    while (text.size() < length) {
        std::size_t chunk = std::min<std::size_t>(kStep, length - text.size());
        std::size_t old = text.size();
        text.resize(old + chunk);
        if (!readAll(source, &text[old], chunk))
            return false;
    }
    return true;
}

}  // namespace

bool sameMacroName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper1252(static_cast<unsigned char>(a[i])) != upper1252(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

LoadReport CustomMacroStore::load(ByteSource& source)
{
    entries_.clear();
    LoadReport report;
    for (;;) {
        char field[kNameFieldSize];
        std::size_t got = source.read(field, sizeof(field));
        if (got == 0)
            return report;
        unsigned char lengthBytes[kLengthFieldSize];
        if (got < sizeof(field) || !readAll(source, lengthBytes, sizeof(lengthBytes))) {
            report.damaged = true;
            return report;
        }
        std::uint32_t length = static_cast<std::uint32_t>(lengthBytes[0]) |
                               static_cast<std::uint32_t>(lengthBytes[1]) << 8 |
                               static_cast<std::uint32_t>(lengthBytes[2]) << 16 |
                               static_cast<std::uint32_t>(lengthBytes[3]) << 24;
        CustomMacro entry;
        if (length > kMaxStoredTextLength || !readText(source, length, entry.text)) {
            report.damaged = true;
            return report;
        }
        entry.name = std::string(fieldName(std::string_view(field, sizeof(field))));
        entries_.push_back(std::move(entry));
        ++report.records;
    }
}

bool CustomMacroStore::save(ByteSink& sink) const
{
    for (const CustomMacro& entry : entries_) {
        char field[kNameFieldSize] = {};
        std::string_view name = fieldName(entry.name);
        std::copy(name.begin(), name.end(), field);
        std::uint32_t length = static_cast<std::uint32_t>(entry.text.size());
        unsigned char lengthBytes[kLengthFieldSize] = {
            static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
            static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 24)};
        if (!sink.write(field, sizeof(field)) || !sink.write(lengthBytes, sizeof(lengthBytes)))
            return false;
        if (length > 0 && !sink.write(entry.text.data(), length))
            return false;
    }
    return true;
}

std::vector<std::string> CustomMacroStore::names() const
{
    std::vector<std::string> result;
    result.reserve(entries_.size());
    for (const CustomMacro& entry : entries_)
        result.push_back(entry.name);
    return result;
}

const CustomMacro* CustomMacroStore::find(std::string_view name) const
{
    name = fieldName(name);
    for (const CustomMacro& entry : entries_) {
        if (sameMacroName(entry.name, name))
            return &entry;
    }
    return nullptr;
}

bool CustomMacroStore::append(std::string_view name, std::string_view text)
{
    if (text.size() > kMaxStoredTextLength)
        return false;
    entries_.push_back(CustomMacro{std::string(fieldName(name)), std::string(text)});
    return true;
}

bool CustomMacroStore::replaceText(std::string_view name, std::string_view text)
{
    CustomMacro* entry = const_cast<CustomMacro*>(find(name));
    if (!entry || text.size() > kMaxStoredTextLength)
        return false;
    entry->text.assign(text.data(), text.size());
    return true;
}

bool CustomMacroStore::remove(std::string_view name)
{
    name = fieldName(name);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (sameMacroName(it->name, name)) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace fennick::macro
