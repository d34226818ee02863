// The custom macro store: record format, lookups by name, and loading damaged or lying files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "custom_macro_store.h"

using namespace fennick::macro;

namespace {

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
    std::size_t read(void* buffer, std::size_t size) override
    {
        std::size_t n = std::min(size, bytes_.size() - pos_);
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        largestRead = std::max(largestRead, size);
        return n;
    }
    std::size_t largestRead = 0;

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

class MemorySink : public ByteSink {
public:
    bool write(const void* data, std::size_t size) override
    {
        if (bytes.size() + size > capacity)
            return false;
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string bytes;
    std::size_t capacity = static_cast<std::size_t>(-1);
};

std::string record(const std::string& nameField, std::uint32_t length, const std::string& text)
{
    std::string bytes = nameField;
    bytes.resize(48, '\0');
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((length >> (8 * i)) & 0xFF);
    return bytes + text;
}

std::string record(const std::string& name, const std::string& text)
{
    return record(name, static_cast<std::uint32_t>(text.size()), text);
}

CustomMacroStore loaded(const std::string& bytes, LoadReport* report = nullptr)
{
    CustomMacroStore store;
    MemorySource source(bytes);
    LoadReport r = store.load(source);
    if (report)
        *report = r;
    return store;
}

std::string saved(const CustomMacroStore& store)
{
    MemorySink sink;
    EXPECT_TRUE(store.save(sink));
    return sink.bytes;
}

}  // namespace

TEST(CustomMacroStore, SavesTheExactRecordFormat)
{
    CustomMacroStore store;
    store.append("Greeting", "Hello$");
    std::string expected = std::string("Greeting") + std::string(40, '\0') + std::string("\x06\0\0\0", 4) + "Hello$";
    EXPECT_EQ(saved(store), expected);
    EXPECT_EQ(saved(CustomMacroStore()), "");  // an empty list is an empty file
}

TEST(CustomMacroStore, RoundTripKeepsOrderNamesAndTexts)
{
    CustomMacroStore store;
    store.append("Greeting", "Hello$ {ENTER}$");
    store.append("Empty", "");
    store.append(std::string(47, 'n'), std::string(70000, 'x') + "$$$");
    store.append("\xC9" "cole", "caf\xE9$");
    LoadReport report;
    CustomMacroStore again = loaded(saved(store), &report);
    EXPECT_EQ(report.records, 4u);
    EXPECT_FALSE(report.damaged);
    ASSERT_EQ(again.entries().size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(again.entries()[i].name, store.entries()[i].name);
        EXPECT_EQ(again.entries()[i].text, store.entries()[i].text);
    }
    EXPECT_EQ(again.names(), std::vector<std::string>({"Greeting", "Empty", std::string(47, 'n'), "\xC9" "cole"}));
}

TEST(CustomMacroStore, ZeroLengthRecordLoadsAsEmptyText)
{
    CustomMacroStore store = loaded(record("Nothing", "") + record("After", "a$"));
    ASSERT_EQ(store.entries().size(), 2u);
    ASSERT_NE(store.find("nothing"), nullptr);
    EXPECT_EQ(store.find("nothing")->text, "");
    EXPECT_EQ(store.find("AFTER")->text, "a$");
}

TEST(CustomMacroStore, DuplicateNamesOnlyTheFirstIsFoundReplacedOrRemoved)
{
    std::string file = record("Same", "first$") + record("other", "o$") + record("SAME", "second$");
    CustomMacroStore store = loaded(file);
    EXPECT_EQ(store.find("same")->text, "first$");

    EXPECT_TRUE(store.replaceText("sAmE", "replaced$"));
    EXPECT_EQ(store.entries()[0].text, "replaced$");
    EXPECT_EQ(store.entries()[2].text, "second$");

    EXPECT_TRUE(store.remove("SAME"));
    ASSERT_EQ(store.entries().size(), 2u);
    EXPECT_EQ(store.find("same")->text, "second$");  // the second stays, now found
    EXPECT_EQ(saved(store), record("other", "o$") + record("SAME", "second$"));

    EXPECT_FALSE(store.remove("missing"));
    EXPECT_FALSE(store.replaceText("missing", "x$"));
    EXPECT_EQ(store.entries().size(), 2u);
}

TEST(CustomMacroStore, NamesCompareWithoutRegardToCaseInWindows1252)
{
    CustomMacroStore store;
    store.append("\xC9T\xC9 \x8A", "summer$");  // "ÉTÉ Š"
    EXPECT_NE(store.find("\xE9t\xE9 \x9A"), nullptr);
    EXPECT_EQ(store.find("ete s"), nullptr);
    EXPECT_FALSE(sameMacroName("\xD7", "\xF7"));  // multiplication and division are not a pair
    EXPECT_TRUE(sameMacroName("\xFF", "\x9F"));
}

TEST(CustomMacroStore, NamesAreBoundedByTheField)
{
    CustomMacroStore store;
    std::string longName(60, 'L');
    store.append(longName, "a$");
    EXPECT_EQ(store.entries()[0].name, std::string(47, 'L'));
    EXPECT_NE(store.find(longName), nullptr);  // looked up the way it was stored
    std::string bytes = saved(store);
    ASSERT_EQ(bytes.size(), 48u + 4 + 2);
    EXPECT_EQ(bytes[47], '\0');

    // A field without a zero byte, or with bytes after the zero, loads cut and clean.
    std::string field(48, 'F');
    CustomMacroStore fromFile = loaded(record(field, "x$") + record(std::string("ab\0junkjunk", 11), "y$"));
    ASSERT_EQ(fromFile.entries().size(), 2u);
    EXPECT_EQ(fromFile.entries()[0].name, std::string(47, 'F'));
    EXPECT_EQ(fromFile.entries()[1].name, "ab");
    EXPECT_EQ(saved(fromFile).substr(52 + 2, 48), std::string("ab") + std::string(46, '\0'));
}

TEST(CustomMacroStore, FileCutAnywhereLoadsTheCompleteRecordsBeforeTheCut)
{
    std::string first = record("One", "first$");
    std::string second = record("Two", "");
    std::string third = record("Three", "third text$");
    std::string file = first + second + third;
    for (std::size_t cut = 0; cut <= file.size(); ++cut) {
        LoadReport report;
        CustomMacroStore store = loaded(file.substr(0, cut), &report);
        std::size_t complete = cut >= first.size() + second.size() + third.size() ? 3
                               : cut >= first.size() + second.size()             ? 2
                               : cut >= first.size()                             ? 1
                                                                                 : 0;
        bool onBoundary = cut == 0 || cut == first.size() || cut == first.size() + second.size() ||
                          cut == file.size();
        EXPECT_EQ(report.records, complete) << "cut at " << cut;
        EXPECT_EQ(store.entries().size(), complete) << "cut at " << cut;
        EXPECT_EQ(report.damaged, !onBoundary) << "cut at " << cut;
        if (complete >= 1) {
            EXPECT_EQ(store.entries()[0].text, "first$");
        }
    }
}

TEST(CustomMacroStore, LyingLengthNeverAllocatesFromTheClaim)
{
    std::string before = record("Kept", "kept$");
    for (std::uint32_t claim : {0xFFFFFFFFu, 0x7FFFFFFFu, kMaxStoredTextLength + 1, kMaxStoredTextLength, 100000u, 3u}) {
        MemorySource source(before + record("Liar", claim, "ab"));
        CustomMacroStore store;
        LoadReport report = store.load(source);
        EXPECT_TRUE(report.damaged) << claim;
        ASSERT_EQ(store.entries().size(), 1u) << claim;
        EXPECT_EQ(store.entries()[0].text, "kept$");
        EXPECT_LE(source.largestRead, 4096u) << claim;  // read in steps, not in one claimed block
    }
}

TEST(CustomMacroStore, TextsLongerThanTheLoaderAcceptsAreRefused)
{
    CustomMacroStore store;
    EXPECT_FALSE(store.append("big", std::string(kMaxStoredTextLength + 1, 'x')));
    EXPECT_TRUE(store.append("fits", std::string(kMaxStoredTextLength, 'x')));
    EXPECT_FALSE(store.replaceText("fits", std::string(kMaxStoredTextLength + 1, 'y')));
    EXPECT_EQ(store.entries().size(), 1u);
    EXPECT_EQ(loaded(saved(store)).entries().size(), 1u);  // what is stored loads again
}

TEST(CustomMacroStore, LoadReplacesAndReleaseEmpties)
{
    CustomMacroStore store;
    store.append("old", "o$");
    MemorySource source(record("new", "n$"));
    store.load(source);
    EXPECT_EQ(store.names(), std::vector<std::string>({"new"}));
    store.releaseAll();
    EXPECT_TRUE(store.entries().empty());
    EXPECT_EQ(store.find("new"), nullptr);
}

TEST(CustomMacroStore, SaveReportsAFailingSink)
{
    CustomMacroStore store;
    store.append("a", "text$");
    store.append("b", "more$");
    for (std::size_t capacity : {0u, 47u, 50u, 55u, 60u, 110u}) {
        MemorySink sink;
        sink.capacity = capacity;
        EXPECT_FALSE(store.save(sink)) << capacity;
    }
}
