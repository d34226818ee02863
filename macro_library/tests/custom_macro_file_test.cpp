// The custom macro file on a real file system: round trip, empty and missing paths, damage, failed saves.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "custom_macro_file.h"
#include "mcx_test_support.h"

using namespace fennick::macro;
using namespace mcx_test;

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

    std::string folder;
    std::string path;
};

}  // namespace

TEST_F(CustomMacroFile, RoundTripThroughTheFile)
{
    CustomMacroStore store;
    store.append("Greeting", "Hello$${ENTER}$");
    store.append("Empty", "");
    store.append("Sign", "Kind regards$");
    ASSERT_TRUE(SaveCustomMacroFile(path.c_str(), store));
    EXPECT_EQ(ReadFileBytes(path.c_str()), StoreRecord("Greeting", "Hello$${ENTER}$") + StoreRecord("Empty", "") + StoreRecord("Sign", "Kind regards$"));

    CustomMacroStore again;
    EXPECT_EQ(LoadCustomMacroFile(path.c_str(), again), CustomFileLoad::Loaded);
    EXPECT_EQ(again.entries().size(), 3u);
    EXPECT_EQ(again.find("empty")->text, "");
    EXPECT_EQ(again.find("GREETING")->text, "Hello$${ENTER}$");

    // Saving again replaces the file; an empty list leaves an empty file.
    again.remove("Greeting");
    ASSERT_TRUE(SaveCustomMacroFile(path.c_str(), again));
    EXPECT_EQ(ReadFileBytes(path.c_str()), StoreRecord("Empty", "") + StoreRecord("Sign", "Kind regards$"));
    again.releaseAll();
    ASSERT_TRUE(SaveCustomMacroFile(path.c_str(), again));
    EXPECT_EQ(ReadFileBytes(path.c_str()), "");
}

TEST_F(CustomMacroFile, EmptyNullAndMissingPaths)
{
    CustomMacroStore store;
    store.append("kept", "k$");
    EXPECT_EQ(LoadCustomMacroFile(nullptr, store), CustomFileLoad::Missing);
    EXPECT_TRUE(store.entries().empty());
    store.append("kept", "k$");
    EXPECT_EQ(LoadCustomMacroFile("", store), CustomFileLoad::Missing);
    EXPECT_TRUE(store.entries().empty());

    store.append("kept", "k$");
    EXPECT_FALSE(SaveCustomMacroFile(nullptr, store));
    EXPECT_FALSE(SaveCustomMacroFile("", store));

    EXPECT_EQ(LoadCustomMacroFile(path.c_str(), store), CustomFileLoad::Missing);  // no such file yet
    EXPECT_TRUE(store.entries().empty());
    std::string inMissingFolder = folder + "\\no such folder\\custom.mcr";
    EXPECT_EQ(LoadCustomMacroFile(inMissingFolder.c_str(), store), CustomFileLoad::Missing);

    store.append("x", "x$");
    std::string noFolder = folder + "\\no such folder\\custom.mcr";
    EXPECT_FALSE(SaveCustomMacroFile(noFolder.c_str(), store));
    EXPECT_EQ(ReadFileBytes(path.c_str()), "<missing>");
}

TEST_F(CustomMacroFile, TruncatedFileLoadsItsCompleteRecords)
{
    std::string whole = StoreRecord("First", "one$") + StoreRecord("Second", "two$");
    WriteFileBytes(path.c_str(), whole + StoreRecord("Third", "three and more$").substr(0, 60));
    CustomMacroStore store;
    EXPECT_EQ(LoadCustomMacroFile(path.c_str(), store), CustomFileLoad::Damaged);
    EXPECT_EQ(store.names(), std::vector<std::string>({"First", "Second"}));

    // A length field that claims far more than the file holds.
    std::string liar = StoreRecord("Liar", "ab");
    liar[48] = '\xF0';
    liar[51] = '\x7F';
    WriteFileBytes(path.c_str(), whole + liar);
    EXPECT_EQ(LoadCustomMacroFile(path.c_str(), store), CustomFileLoad::Damaged);
    EXPECT_EQ(store.names(), std::vector<std::string>({"First", "Second"}));
}

TEST_F(CustomMacroFile, FailedSaveLeavesTheOldFileAsItWas)
{
    std::string old = StoreRecord("Old", "old$");
    WriteFileBytes(path.c_str(), old);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    CustomMacroStore store;
    store.append("New", "new$");
    EXPECT_FALSE(SaveCustomMacroFile(path.c_str(), store));
    EXPECT_EQ(ReadFileBytes(path.c_str()), old);
    EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);  // nothing left behind
}

TEST_F(CustomMacroFile, FileHeldOpenByAnotherProgramIsNotDamaged)
{
    std::string old = StoreRecord("Old", "old$") + StoreRecord("Two", "2$");
    WriteFileBytes(path.c_str(), old);
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    CustomMacroStore store;
    store.append("New", "new$");
    EXPECT_FALSE(SaveCustomMacroFile(path.c_str(), store));
    CloseHandle(reader);
    EXPECT_EQ(ReadFileBytes(path.c_str()), old);
    EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(SaveCustomMacroFile(path.c_str(), store));  // once it is free, the save goes through
    EXPECT_EQ(ReadFileBytes(path.c_str()), StoreRecord("New", "new$"));
}

TEST_F(CustomMacroFile, HeldOpenForWritingLoadsButExclusivelyHeldIsUnreadableNotMissing)
{
    std::string old = StoreRecord("Old", "old$");
    WriteFileBytes(path.c_str(), old);
    CustomMacroStore store;
    // A sync program writing the file, letting others read.
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LoadCustomMacroFile(path.c_str(), store), CustomFileLoad::Loaded);
    EXPECT_EQ(store.names(), std::vector<std::string>({"Old"}));
    CloseHandle(writer);

    HANDLE locker = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LoadCustomMacroFile(path.c_str(), store), CustomFileLoad::Unreadable);
    EXPECT_TRUE(store.entries().empty());
    CloseHandle(locker);
    EXPECT_EQ(ReadFileBytes(path.c_str()), old);

    // A folder where the file should be is no file, but no missing one either.
    std::string asFolder = folder + "\\custom folder.mcr";
    ASSERT_TRUE(CreateDirectoryA(asFolder.c_str(), nullptr));
    EXPECT_EQ(LoadCustomMacroFile(asFolder.c_str(), store), CustomFileLoad::Unreadable);
    EXPECT_FALSE(SaveCustomMacroFile(asFolder.c_str(), store));
    RemoveDirectoryA(asFolder.c_str());
}

TEST_F(CustomMacroFile, SavingKeepsTheOldFilesAttributes)
{
    WriteFileBytes(path.c_str(), StoreRecord("Old", "old$"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    CustomMacroStore store;
    store.append("New", "new$");
    ASSERT_TRUE(SaveCustomMacroFile(path.c_str(), store));
    EXPECT_EQ(ReadFileBytes(path.c_str()), StoreRecord("New", "new$"));
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(CustomMacroFile, PathsNearAndBeyondMaxPathSaveAndLoad)
{
    // A folder whose name brings the store's path to MAX_PATH - 1, then one beyond MAX_PATH.
    for (std::size_t total : {std::size_t(MAX_PATH - 1), std::size_t(MAX_PATH - 4), std::size_t(263)}) {
        std::size_t fixed = folder.size() + 1 + 1 + std::string("custom.mcr").size();
        ASSERT_LT(fixed + 10, total);
        std::string deep = folder + "\\" + std::string(total - fixed, 'd');
        std::string longPath = deep + "\\custom.mcr";
        ASSERT_EQ(longPath.size(), total);
        std::wstring extended = L"\\\\?\\" + std::wstring(deep.begin(), deep.end());
        ASSERT_TRUE(CreateDirectoryW(extended.c_str(), nullptr)) << GetLastError();

        CustomMacroStore store;
        store.append("Deep", "deep$");
        EXPECT_EQ(LoadCustomMacroFile(longPath.c_str(), store), CustomFileLoad::Missing) << total;
        store.append("Deep", "deep$");
        EXPECT_TRUE(SaveCustomMacroFile(longPath.c_str(), store)) << total;
        EXPECT_TRUE(SaveCustomMacroFile(longPath.c_str(), store)) << total << ": replacing it";
        CustomMacroStore again;
        EXPECT_EQ(LoadCustomMacroFile(longPath.c_str(), again), CustomFileLoad::Loaded) << total;
        EXPECT_EQ(again.names(), std::vector<std::string>({"Deep"}));
        EXPECT_TRUE(DeleteFileW((extended + L"\\custom.mcr").c_str())) << total;
        EXPECT_EQ(GetFileAttributesW((extended + L"\\custom.mcr.new").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(RemoveDirectoryW(extended.c_str())) << total;
    }
}
