// The custom macro file on a real file system: round trip, empty and missing paths, damage, failed saves.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "custom_macro_file.h"

using namespace fennick::macro;

namespace {

class CustomMacroFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[MAX_PATH];
        GetTempPathA(sizeof(base), base);
        folder = std::string(base) + "mcx_store_" + std::to_string(GetCurrentProcessId()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "\\custom.mcr";
    }
    void TearDown() override
    {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        DeleteFileA((path + ".new").c_str());
        EXPECT_TRUE(RemoveDirectoryA(folder.c_str())) << "something else was left in " << folder;
    }

    std::string ReadBytes()
    {
        std::string bytes;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return "<missing>";
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
            bytes.append(buffer, got);
        CloseHandle(file);
        return bytes;
    }

    void WriteBytes(const std::string& bytes)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    std::string folder;
    std::string path;
};

std::string Record(const char* name, const std::string& text)
{
    std::string bytes(name);
    bytes.resize(48, '\0');
    unsigned length = static_cast<unsigned>(text.size());
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((length >> (8 * i)) & 0xFF);
    return bytes + text;
}

}  // namespace

TEST_F(CustomMacroFile, RoundTripThroughTheFile)
{
    CustomMacroStore store;
    store.append("Greeting", "Hello$${ENTER}$");
    store.append("Empty", "");
    store.append("Sign", "Kind regards$");
    ASSERT_TRUE(SaveCustomMacroFile(path.c_str(), store));
    EXPECT_EQ(ReadBytes(), Record("Greeting", "Hello$${ENTER}$") + Record("Empty", "") + Record("Sign", "Kind regards$"));

    CustomMacroStore again;
    LoadReport report = LoadCustomMacroFile(path.c_str(), again);
    EXPECT_EQ(report.records, 3u);
    EXPECT_FALSE(report.damaged);
    EXPECT_EQ(again.find("empty")->text, "");
    EXPECT_EQ(again.find("GREETING")->text, "Hello$${ENTER}$");

    // Saving again replaces the file; an empty list leaves an empty file.
    again.remove("Greeting");
    ASSERT_TRUE(SaveCustomMacroFile(path.c_str(), again));
    EXPECT_EQ(ReadBytes(), Record("Empty", "") + Record("Sign", "Kind regards$"));
    again.releaseAll();
    ASSERT_TRUE(SaveCustomMacroFile(path.c_str(), again));
    EXPECT_EQ(ReadBytes(), "");
}

TEST_F(CustomMacroFile, EmptyNullAndMissingPaths)
{
    CustomMacroStore store;
    store.append("kept", "k$");
    LoadCustomMacroFile(nullptr, store);
    EXPECT_TRUE(store.entries().empty());
    store.append("kept", "k$");
    LoadCustomMacroFile("", store);
    EXPECT_TRUE(store.entries().empty());

    store.append("kept", "k$");
    EXPECT_FALSE(SaveCustomMacroFile(nullptr, store));
    EXPECT_FALSE(SaveCustomMacroFile("", store));

    LoadReport report = LoadCustomMacroFile(path.c_str(), store);  // no such file yet
    EXPECT_EQ(report.records, 0u);
    EXPECT_TRUE(store.entries().empty());

    store.append("x", "x$");
    std::string noFolder = folder + "\\no such folder\\custom.mcr";
    EXPECT_FALSE(SaveCustomMacroFile(noFolder.c_str(), store));
    EXPECT_EQ(ReadBytes(), "<missing>");
}

TEST_F(CustomMacroFile, TruncatedFileLoadsItsCompleteRecords)
{
    std::string whole = Record("First", "one$") + Record("Second", "two$");
    WriteBytes(whole + Record("Third", "three and more$").substr(0, 60));
    CustomMacroStore store;
    LoadReport report = LoadCustomMacroFile(path.c_str(), store);
    EXPECT_TRUE(report.damaged);
    EXPECT_EQ(store.names(), std::vector<std::string>({"First", "Second"}));

    // A length field that claims far more than the file holds.
    std::string liar = Record("Liar", "ab");
    liar[48] = '\xF0';
    liar[51] = '\x7F';
    WriteBytes(whole + liar);
    report = LoadCustomMacroFile(path.c_str(), store);
    EXPECT_TRUE(report.damaged);
    EXPECT_EQ(store.names(), std::vector<std::string>({"First", "Second"}));
}

TEST_F(CustomMacroFile, FailedSaveLeavesTheOldFileAsItWas)
{
    std::string old = Record("Old", "old$");
    WriteBytes(old);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    CustomMacroStore store;
    store.append("New", "new$");
    EXPECT_FALSE(SaveCustomMacroFile(path.c_str(), store));
    EXPECT_EQ(ReadBytes(), old);
    EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);  // nothing left behind
}

TEST_F(CustomMacroFile, FileHeldOpenByAnotherProgramIsNotDamaged)
{
    std::string old = Record("Old", "old$") + Record("Two", "2$");
    WriteBytes(old);
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    CustomMacroStore store;
    store.append("New", "new$");
    EXPECT_FALSE(SaveCustomMacroFile(path.c_str(), store));
    CloseHandle(reader);
    EXPECT_EQ(ReadBytes(), old);
    EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(SaveCustomMacroFile(path.c_str(), store));  // once it is free, the save goes through
    EXPECT_EQ(ReadBytes(), Record("New", "new$"));
}
