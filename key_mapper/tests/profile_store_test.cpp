// Button profile files against the real private-profile functions.
#include "fennick_key/profile_store.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

using namespace fennick::key;

namespace {

// A fresh folder standing in for the program folder, and another one beside it.
class ProfileStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        root_ = std::string(temp) + "fennick_profiles_" + std::to_string(GetCurrentProcessId()) + "\\";
        folder_ = root_ + "program\\";
        other_ = root_ + "elsewhere\\";
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA(folder_.c_str(), nullptr);
        CreateDirectoryA(other_.c_str(), nullptr);
        GetCurrentDirectoryA(sizeof(savedDirectory_), savedDirectory_);
    }

    void TearDown() override
    {
        SetCurrentDirectoryA(savedDirectory_);
        removeTree(root_);
    }

    static void removeTree(const std::string& folder)
    {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string name = found.cFileName;
                if (name == "." || name == "..")
                    continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    removeTree(folder + name + "\\");
                else
                    DeleteFileA((folder + name).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder.c_str());
    }

    static void writeFile(const std::string& path, const std::string& content)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // drop any cached copy
    }

    static std::string readFile(const std::string& path)
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // flush pending writes
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return "<missing>";
        std::string content(GetFileSize(file, nullptr), '\0');
        DWORD read = 0;
        ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &read, nullptr);
        CloseHandle(file);
        content.resize(read);
        return content;
    }

    static bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    // Lines of a file without blank lines, line ends dropped.
    static std::vector<std::string> lines(const std::string& content)
    {
        std::vector<std::string> out;
        std::string line;
        for (char c : content) {
            if (c == '\r')
                continue;
            if (c == '\n') {
                if (!line.empty())
                    out.push_back(line);
                line.clear();
            } else {
                line += c;
            }
        }
        if (!line.empty())
            out.push_back(line);
        return out;
    }

    static ButtonTable filledTable()
    {
        ButtonTable table;
        for (int i = 0; i < kSwitchCount; ++i) {
            table[i].BtCmd = i == 0 ? 1 : 0;
            table[i].BtCmdVal = i == 0 ? 13 : -1;
            SetButtonText(table[i], i == 0 ? "" : "Text " + std::to_string(i + 1) + "$");
        }
        return table;
    }

    static ButtonTable junkTable()
    {
        ButtonTable table;
        for (ButtonDef& button : table) {
            button.BtCmd = 77;
            button.BtCmdVal = 77;
            SetButtonText(button, "junk");
        }
        return table;
    }

    std::string root_, folder_, other_;
    char savedDirectory_[MAX_PATH] = {};
};

void expectDefault(const ButtonDef& button, int index)
{
    EXPECT_EQ(button.BtCmd, 0) << "switch " << index + 1;
    EXPECT_EQ(button.BtCmdVal, 0) << "switch " << index + 1;
    EXPECT_STREQ(button.BtCmdText, "") << "switch " << index + 1;
}

TEST_F(ProfileStoreTest, AFileWithOnlyButton3GivesDefaultsForTheOtherSwitches)
{
    writeFile(folder_ + "Only3.bpf", "[Button3]\r\nBtCmd=1\r\n");
    ProfileStore store(folder_.c_str());
    ButtonTable table = junkTable();
    ASSERT_EQ(store.Load("Only3", table), ProfileLoad::Loaded);
    for (int i = 0; i < kSwitchCount; ++i) {
        if (i == 2)
            continue;
        expectDefault(table[i], i);
    }
    EXPECT_EQ(table[2].BtCmd, 1);
    EXPECT_EQ(table[2].BtCmdVal, 0);
    EXPECT_STREQ(table[2].BtCmdText, "");
}

TEST_F(ProfileStoreTest, SavingWritesEverySectionWholeAndLeavesOtherSectionsAlone)
{
    std::string path = folder_ + "Extra.bpf";
    writeFile(path, "[Button2]\r\nBtCmd=4\r\nExtra=gone after saving\r\nBtCmdVal=3\r\n"
                    "[Notes]\r\nWho=the carer\r\n");
    ProfileStore store(folder_.c_str());
    ASSERT_TRUE(store.Save("Extra", filledTable()));

    std::vector<std::string> got = lines(readFile(path));
    auto at = [&](const std::string& header) {
        for (size_t i = 0; i < got.size(); ++i) {
            if (got[i] == header)
                return i;
        }
        return got.size();
    };
    for (int n = 1; n <= kSwitchCount; ++n) {
        size_t header = at("[Button" + std::to_string(n) + "]");
        ASSERT_LT(header + 3, got.size() + 1) << "section " << n << " missing";
        EXPECT_EQ(got[header + 1].rfind("BtCmd=", 0), 0u) << n;
        EXPECT_EQ(got[header + 2].rfind("BtCmdVal=", 0), 0u) << n;
        EXPECT_EQ(got[header + 3].rfind("BtCmdText=", 0), 0u) << n;
        if (header + 4 < got.size()) {
            EXPECT_EQ(got[header + 4][0], '[') << "section " << n << " holds more than three keys";
        }
    }
    EXPECT_EQ(got[at("[Button1]") + 1], "BtCmd=1");
    EXPECT_EQ(got[at("[Button1]") + 2], "BtCmdVal=13");
    EXPECT_EQ(got[at("[Button2]") + 3], "BtCmdText=Text 2$");
    char extra[64];
    GetPrivateProfileStringA("Button2", "Extra", "<none>", extra, sizeof(extra), path.c_str());
    EXPECT_STREQ(extra, "<none>");
    char who[64];
    GetPrivateProfileStringA("Notes", "Who", "", who, sizeof(who), path.c_str());
    EXPECT_STREQ(who, "the carer");
}

TEST_F(ProfileStoreTest, TheListShowsProfileFilesOnlyWithTheirDisplayNames)
{
    writeFile(folder_ + "a.b.bpf", "");
    writeFile(folder_ + "Reading.bpf", "");
    writeFile(folder_ + "loud.BPF", "");
    writeFile(folder_ + "old.bpfold", "");
    writeFile(folder_ + "notes.txt", "");
    CreateDirectoryA((folder_ + "folder.bpf").c_str(), nullptr);
    ProfileStore store(folder_.c_str());
    EXPECT_EQ(store.List(), (std::vector<std::string>{"a.b", "loud", "Reading"}));

    ProfileStore empty(other_.c_str());
    EXPECT_TRUE(empty.List().empty());
}

TEST_F(ProfileStoreTest, AFullPathReadsThatFileAndABareNameTheProgramFolders)
{
    writeFile(folder_ + "y.bpf", "[Button1]\r\nBtCmd=5\r\n");
    writeFile(other_ + "y.bpf", "[Button1]\r\nBtCmd=7\r\n");
    SetCurrentDirectoryA(other_.c_str());
    ProfileStore store(folder_.c_str());
    ButtonTable table;
    ASSERT_EQ(store.Load((other_ + "y.bpf").c_str(), table), ProfileLoad::Loaded);
    EXPECT_EQ(table[0].BtCmd, 7);
    ASSERT_EQ(store.Load("y", table), ProfileLoad::Loaded);
    EXPECT_EQ(table[0].BtCmd, 5);
    ASSERT_EQ(store.Load("y.bpf", table), ProfileLoad::Loaded);  // the file name, still in the program folder
    EXPECT_EQ(table[0].BtCmd, 5);
}

TEST_F(ProfileStoreTest, ANameWithADotIsReadAndWrittenInTheProgramFolder)
{
    std::string stored = "[Button1]\r\nBtCmd=3\r\nBtCmdVal=-1\r\nBtCmdText=C:\\Games\\chess.exe\r\n";
    writeFile(folder_ + "a.b.bpf", stored);
    writeFile(other_ + "a.b", "[Button1]\r\nBtCmd=2\r\n");  // a file of that very name in the current directory
    SetCurrentDirectoryA(other_.c_str());

    ProfileStore store(folder_.c_str());
    ButtonTable table;
    ASSERT_EQ(store.Load("a.b", table), ProfileLoad::Loaded);
    EXPECT_EQ(table[0].BtCmd, 3);
    EXPECT_STREQ(table[0].BtCmdText, "C:\\Games\\chess.exe");

    table[1].BtCmd = 9;
    table[1].BtCmdVal = -1;
    SetButtonText(table[1], "Reading");
    ASSERT_TRUE(store.Save("a.b", table));
    ButtonTable again;
    ASSERT_EQ(store.Load((folder_ + "a.b.bpf").c_str(), again), ProfileLoad::Loaded);
    EXPECT_EQ(again[0].BtCmd, 3);
    EXPECT_STREQ(again[0].BtCmdText, "C:\\Games\\chess.exe");
    EXPECT_EQ(again[1].BtCmd, 9);
    EXPECT_STREQ(again[1].BtCmdText, "Reading");
    EXPECT_EQ(readFile(other_ + "a.b"), "[Button1]\r\nBtCmd=2\r\n");
    EXPECT_FALSE(exists(other_ + "a.b.bpf"));
}

TEST_F(ProfileStoreTest, AnUnreadableProfileIsNeverOverwrittenWithDefaults)
{
    std::string path = folder_ + "Locked.bpf";
    std::string stored = "[Button1]\r\nBtCmd=1\r\nBtCmdVal=32\r\nBtCmdText=\r\n";
    writeFile(path, stored);
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    ProfileStore store(folder_.c_str());
    ButtonTable table = junkTable();
    EXPECT_EQ(store.Load("Locked", table), ProfileLoad::Unreadable);
    for (int i = 0; i < kSwitchCount; ++i)
        expectDefault(table[i], i);
    EXPECT_FALSE(store.Save("Locked", table));
    CloseHandle(lock);

    // Readable again, but the table in memory is still the defaults of the failed load.
    EXPECT_FALSE(store.Save((folder_ + "Locked.bpf").c_str(), table));
    EXPECT_EQ(readFile(path), stored);

    ASSERT_EQ(store.Load("Locked", table), ProfileLoad::Loaded);
    EXPECT_EQ(table[0].BtCmdVal, 32);
    table[0].BtCmdVal = 13;
    EXPECT_TRUE(store.Save("Locked", table));
    EXPECT_EQ(GetPrivateProfileIntA("Button1", "BtCmdVal", 0, path.c_str()), 13u);
}

TEST_F(ProfileStoreTest, AMissingProfileLoadsAsDefaultsAndSavingCreatesIt)
{
    ProfileStore store(folder_.c_str());
    ButtonTable table = junkTable();
    EXPECT_EQ(store.Load("Ghost", table), ProfileLoad::Missing);
    for (int i = 0; i < kSwitchCount; ++i)
        expectDefault(table[i], i);
    EXPECT_TRUE(store.Save("Ghost", filledTable()));
    EXPECT_TRUE(exists(folder_ + "Ghost.bpf"));

    EXPECT_EQ(store.Load("", table), ProfileLoad::Missing);
    EXPECT_FALSE(store.Save("", table));
}

TEST_F(ProfileStoreTest, TextsOf1023CharactersSurviveAndLongerOnesAreCut)
{
    ProfileStore store(folder_.c_str());
    ButtonTable table;
    std::string full(1023, 'a');
    full[0] = 'B';
    full[1022] = 'Z';
    SetButtonText(table[0], full);
    std::string quoted = " " + std::string(1021, 'q') + " ";  // stored in quotes: 1025 characters on the line
    SetButtonText(table[1], quoted);
    ASSERT_TRUE(store.Save("Long", table));

    // Longer texts written by another hand. (Wine itself falls over at exit after reading
    // lines of about 2000 characters, so these stay below that.)
    std::string path = folder_ + "Long.bpf";
    WritePrivateProfileStringA("Button3", "BtCmdText", (std::string(1023, 'c') + "TAIL").c_str(), path.c_str());
    WritePrivateProfileStringA("Button4", "BtCmdText", std::string(1500, 'd').c_str(), path.c_str());

    ButtonTable loaded;
    ASSERT_EQ(store.Load("Long", loaded), ProfileLoad::Loaded);
    EXPECT_EQ(std::string(loaded[0].BtCmdText), full);
    EXPECT_EQ(std::string(loaded[1].BtCmdText), quoted);
    EXPECT_EQ(std::string(loaded[2].BtCmdText), std::string(1023, 'c'));
    EXPECT_EQ(std::string(loaded[3].BtCmdText), std::string(1023, 'd'));
}

TEST_F(ProfileStoreTest, TextsComeBackAsTheyWereSaved)
{
    const std::vector<std::string> texts = {
        " $",                              // a macro that types one space
        "\"C:\\My Games\\chess.exe\"",     // a quoted program path
        "'single'",
        "a=b;c [not a section]",
        "Entr\xe9" "e \xe0 Fran\xe7" "ais",
    };
    ProfileStore store(folder_.c_str());
    ButtonTable table;
    for (size_t i = 0; i < texts.size(); ++i) {
        table[i].BtCmd = 0;
        table[i].BtCmdVal = -1;
        SetButtonText(table[i], texts[i]);
    }
    ASSERT_TRUE(store.Save("Texts", table));
    ButtonTable loaded;
    ASSERT_EQ(store.Load("Texts", loaded), ProfileLoad::Loaded);
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(std::string(loaded[i].BtCmdText), texts[i]) << i;
        EXPECT_EQ(loaded[i].BtCmdVal, -1) << i;
    }
}

TEST_F(ProfileStoreTest, ALineBreakInATextCannotForgeAnotherSwitch)
{
    ProfileStore store(folder_.c_str());
    ButtonTable table;
    SetButtonText(table[0], "hello\r\n[Button3]\r\nBtCmd=3\r\nBtCmdText=format c:");
    ASSERT_TRUE(store.Save("Forged", table));
    ButtonTable loaded;
    ASSERT_EQ(store.Load("Forged", loaded), ProfileLoad::Loaded);
    EXPECT_EQ(loaded[2].BtCmd, 0);
    EXPECT_STREQ(loaded[2].BtCmdText, "");
    EXPECT_STREQ(loaded[0].BtCmdText, "hello  [Button3]  BtCmd=3  BtCmdText=format c:");
}

}  // namespace
