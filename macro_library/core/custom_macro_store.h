// The store of named custom macros and its binary record format.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fennick::macro {

// Where the loader reads from: read returns fewer bytes than asked only at the end.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t read(void* buffer, std::size_t size) = 0;
};

// Where save writes to: false when the bytes could not be written.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const void* data, std::size_t size) = 0;
};

// Record: 48-byte name field (zero-terminated, zero-padded), 32-bit little-endian
// length, then that many bytes of macro text without a terminator.
inline constexpr std::size_t kNameFieldSize = 48;
inline constexpr std::size_t kMaxNameLength = kNameFieldSize - 1;
inline constexpr std::size_t kLengthFieldSize = 4;
// A record claiming a longer text is taken for damage: no editor makes one.
inline constexpr std::uint32_t kMaxStoredTextLength = 4u << 20;

struct CustomMacro {
    std::string name;  // at most kMaxNameLength characters, no zero byte
    std::string text;
};

struct LoadReport {
    std::size_t records = 0;  // complete records loaded
    bool damaged = false;     // the source ended inside a record or held an impossible length
};

// Names compare without regard to case, the letters of Windows-1252 included.
bool sameMacroName(std::string_view a, std::string_view b);

// Named macros in file order. Names need not be unique: every lookup takes the first.
class CustomMacroStore {
public:
    // Replaces the list with the complete records at the start of the source. Reading
    // stops at the first record that is cut short or claims an impossible length.
    LoadReport load(ByteSource& source);
    bool save(ByteSink& sink) const;

    std::vector<std::string> names() const;
    const CustomMacro* find(std::string_view name) const;
    // Names longer than kMaxNameLength are cut (at a zero byte too), as the field holds
    // no more; lookups cut the name they are given the same way. A text longer than
    // kMaxStoredTextLength is refused, so that everything saved loads again.
    bool append(std::string_view name, std::string_view text);
    bool replaceText(std::string_view name, std::string_view text);
    bool remove(std::string_view name);
    void releaseAll() { entries_.clear(); }

    const std::vector<CustomMacro>& entries() const { return entries_; }

private:
    std::vector<CustomMacro> entries_;
};

}  // namespace fennick::macro
