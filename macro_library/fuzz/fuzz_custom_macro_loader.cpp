// Fuzzes the custom macro loader: any bytes load without a crash or an outsized
// allocation, and what was loaded saves and loads again to the same list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "custom_macro_store.h"

using namespace fennick::macro;

namespace {

class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, std::size_t size) : data_(static_cast<const char*>(data)), size_(size) {}
    std::size_t read(void* buffer, std::size_t size) override
    {
        std::size_t n = size < size_ - pos_ ? size : size_ - pos_;
        if (n)
            std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return n;
    }

private:
    const char* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

class MemorySink : public ByteSink {
public:
    std::string bytes;
    bool write(const void* data, std::size_t size) override
    {
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CustomMacroStore store;
    MemorySource source(data, size);
    LoadReport report = store.load(source);
    if (report.records != store.entries().size())
        std::abort();
    // Undamaged means the source was exactly its complete records; damaged means bytes were left.
    std::size_t consumed = 0;
    for (const CustomMacro& entry : store.entries())
        consumed += kNameFieldSize + kLengthFieldSize + entry.text.size();
    if (report.damaged ? consumed >= size : consumed != size)
        std::abort();

    MemorySink sink;
    if (!store.save(sink))
        std::abort();
    CustomMacroStore again;
    MemorySource saved(sink.bytes.data(), sink.bytes.size());
    LoadReport second = again.load(saved);
    if (second.damaged || second.records != report.records)
        std::abort();
    for (std::size_t i = 0; i < store.entries().size(); ++i) {
        const CustomMacro& a = store.entries()[i];
        const CustomMacro& b = again.entries()[i];
        if (a.name != b.name || a.text != b.text || a.name.size() > kMaxNameLength)
            std::abort();
        if (store.find(a.name) == nullptr)
            std::abort();
    }
    return 0;
}
