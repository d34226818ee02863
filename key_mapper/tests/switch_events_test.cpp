// Switch events: the decode table, what a press and a release do, volume steps, joystick bits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "switch_events.h"

using namespace fennick::key;

namespace {

// Every effect as one line, in order, compared whole.
struct Recorder : CommandEffects {
    std::vector<std::string> log;
    void keyDown(uint8_t vk) override { log.push_back("down " + std::to_string(vk)); }
    void keyUp(uint8_t vk) override { log.push_back("up " + std::to_string(vk)); }
    void playMacro(const std::string& m) override { log.push_back("macro " + m); }
    void playSound(const std::string& p) override { log.push_back("sound " + p); }
    void startProgram(const std::string& t) override { log.push_back("program " + t); }
    void stepVolume(bool up) override { log.push_back(up ? "volume up" : "volume down"); }
    void sendDeviceByte(char b) override { log.push_back(std::string("byte ") + b); }
    void playClick() override { log.push_back("click"); }
    void sendTargetCommand(const char* c, uint32_t m, int32_t v) override
    {
        log.push_back(std::string("target ") + c + " " + std::to_string(m) + " " + std::to_string(v));
    }
    void switchProfile(const std::string& n) override { log.push_back("profile " + n); }
};

ButtonDef button(int32_t cmd, int32_t val, const char* text = "")
{
    ButtonDef b;
    b.BtCmd = cmd;
    b.BtCmdVal = val;
    SetButtonText(b, text);
    return b;
}

const char kFolder[] = "C:\\Fennick\\";

}  // namespace

TEST(DecodeSwitchByte, BothAlphabetsMapToTheFiveSwitches)
{
    const char* makes[] = {"DZ", "JY", "UX", "LW", "RV"};
    for (int s = 1; s <= 5; ++s) {
        for (const char* c = makes[s - 1]; *c; ++c) {
            auto make = DecodeSwitchByte(static_cast<uint8_t>(*c));
            ASSERT_TRUE(make) << *c;
            EXPECT_EQ(make->switchNumber, s);
            EXPECT_TRUE(make->make);
            auto release = DecodeSwitchByte(static_cast<uint8_t>(*c + 32));
            ASSERT_TRUE(release) << *c;
            EXPECT_EQ(release->switchNumber, s);
            EXPECT_FALSE(release->make);
        }
    }
    for (uint32_t other : std::vector<uint32_t>{0, 'A', 'E', 'e', 'G', 'T', '?', 'D' + 256u, 0xC4, 0xFFFFFFFF})
        EXPECT_FALSE(DecodeSwitchByte(other)) << other;
}

TEST(SwitchDispatcher, EachCommandTypeOnPressAndRelease)
{
    ButtonTable table;
    table[0] = button(kMacro, -1, "Hello$");
    table[1] = button(kSound, -1, "click.wav");
    table[2] = button(kProgram, -1, "notepad.exe");
    table[3] = button(kWindowsFunction, 2);
    table[4] = button(kCogniva, 7);
    SwitchDispatcher dispatcher;
    Recorder r;
    for (char byte : std::string("DdJjUuLlRr"))
        EXPECT_TRUE(dispatcher.onByte(static_cast<uint8_t>(byte), table, kFolder, r));
    EXPECT_EQ(r.log, (std::vector<std::string>{"macro Hello$", "sound C:\\Fennick\\click.wav", "program notepad.exe",
                                               "byte U", "click", "target Cogniva 32843 7"}));

    r.log.clear();
    table[0] = button(kWindowsFunction, 0);
    table[1] = button(kWindowsFunction, 1);
    table[2] = button(kWindowsFunction, 6);
    table[3] = button(kParlora, 3);
    table[4] = button(kHopla, 4);
    for (char byte : std::string("ZYXWV"))
        dispatcher.onByte(static_cast<uint8_t>(byte), table, kFolder, r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"volume up", "click", "volume down", "click", "byte T",
                                               "target Parlora 32859 3", "target Hopla 32841 4"}));

    r.log.clear();
    table[0] = button(kTastra, 1);
    table[1] = button(kWindowsFunction, 7);
    table[2] = button(kProgram, -1, "");
    table[3] = button(42, 1);
    table[4] = button(kSwitchProfile, -1, "Reading");
    for (char byte : std::string("DJULRrlujd"))
        dispatcher.onByte(static_cast<uint8_t>(byte), table, kFolder, r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"profile Reading"}));
    EXPECT_FALSE(dispatcher.onByte('q', table, kFolder, r));
}

TEST(SwitchDispatcher, VirtualKeyHeldAsLongAsTheSwitchAndReleasedWhateverTheProfileSaysByThen)
{
    ButtonTable a, b;
    a[0] = button(kVirtualKey, 0x141);  // low byte used: 'A'
    b[0] = button(kVirtualKey, 'B');
    SwitchDispatcher dispatcher;
    Recorder r;
    dispatcher.onByte('D', a, kFolder, r);
    EXPECT_EQ(dispatcher.heldKey(1), 'A');
    dispatcher.onByte('d', a, kFolder, r);
    dispatcher.onByte('Z', a, kFolder, r);
    dispatcher.onByte('z', a, kFolder, r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down 65", "up 65", "down 65", "up 65"}));

    // Pressed under A, released after a change to B: A's key goes up, B's never went down.
    r.log.clear();
    dispatcher.onByte('D', a, kFolder, r);
    dispatcher.onByte('d', b, kFolder, r);
    // Pressed under a macro profile, released under B: nothing was pressed, nothing is released.
    ButtonTable macro;
    dispatcher.onByte('D', macro, kFolder, r);
    dispatcher.onByte('d', b, kFolder, r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down 65", "up 65", "macro "}));
    EXPECT_EQ(dispatcher.heldKey(1), -1);
}

TEST(SwitchDispatcher, PressedTwiceHoldsOneKeyAndShutDownReleasesEveryHeldKey)
{
    ButtonTable a, b;
    a[0] = button(kVirtualKey, 'A');
    a[2] = button(kVirtualKey, 0x20);
    b[0] = button(kVirtualKey, 'B');
    SwitchDispatcher dispatcher;
    Recorder r;
    dispatcher.onByte('D', a, kFolder, r);
    dispatcher.onByte('Z', a, kFolder, r);  // the joystick presses the same switch
    dispatcher.onByte('D', b, kFolder, r);  // a different key replaces the held one
    dispatcher.onByte('U', a, kFolder, r);
    dispatcher.releaseAll(r);
    dispatcher.releaseAll(r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down 65", "down 65", "up 65", "down 66", "down 32", "up 66", "up 32"}));
}

// Another program takes the box: only what the box's switches hold goes up; a key a joystick
// button holds stays down until that button is let go.
TEST(SwitchDispatcher, LosingTheBoxLetsGoOnlyOfWhatItsSwitchesHold)
{
    ButtonTable table;
    table[0] = button(kVirtualKey, 'A');
    table[1] = button(kVirtualKey, 'B');
    SwitchDispatcher dispatcher;
    Recorder r;
    dispatcher.onByte('D', table, kFolder, r);  // the box's switch 1
    dispatcher.onByte('Y', table, kFolder, r);  // joystick button for switch 2
    dispatcher.releaseHeldByBox(r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down 65", "down 66", "up 65"}));
    EXPECT_EQ(dispatcher.heldKey(2), 'B');
    dispatcher.onByte('d', table, kFolder, r);  // the box's late release: nothing left to let go
    dispatcher.onByte('y', table, kFolder, r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down 65", "down 66", "up 65", "up 66"}));
}

// A target command waits for its application while switch bytes keep coming: a switch let go
// meanwhile lets go of its key at once, and a profile change inside the wait (the table the press
// was read from is replaced) leaves the waiting press and every held key consistent.
TEST(SwitchDispatcher, BytesHandledWhileATargetCommandWaits)
{
    ButtonTable table;
    table[0] = button(kVirtualKey, 'K');
    table[1] = button(kCogniva, 7);
    ButtonTable other;
    other[0] = button(kVirtualKey, 'M');
    SwitchDispatcher dispatcher;
    struct Waiting : Recorder {
        SwitchDispatcher* dispatcher = nullptr;
        ButtonTable* table = nullptr;
        const ButtonTable* next = nullptr;
        void sendTargetCommand(const char* c, uint32_t m, int32_t v) override
        {
            Recorder::sendTargetCommand(c, m, v);
            dispatcher->onByte('d', *table, kFolder, *this);  // switch 1 let go during the wait
            *table = *next;                                  // and a profile change
            dispatcher->onByte('D', *table, kFolder, *this);
            log.push_back("answered");
        }
    } r;
    r.dispatcher = &dispatcher;
    r.table = &table;
    r.next = &other;
    dispatcher.onByte('D', table, kFolder, r);
    dispatcher.onByte('J', table, kFolder, r);
    dispatcher.onByte('j', table, kFolder, r);
    dispatcher.onByte('d', table, kFolder, r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down 75", "target Cogniva 32843 7", "up 75", "down 77", "answered",
                                               "up 77"}));
    EXPECT_EQ(dispatcher.heldKey(1), -1);
}

TEST(SoundAndProgramPaths, FullPathsKeptBareNamesInTheProgramFolderOverlongRefused)
{
    EXPECT_EQ(SoundFilePath("D:\\s\\a.wav", kFolder), "D:\\s\\a.wav");
    EXPECT_EQ(SoundFilePath("\\\\server\\a.wav", kFolder), "\\\\server\\a.wav");
    EXPECT_EQ(SoundFilePath("a.wav", kFolder), "C:\\Fennick\\a.wav");
    EXPECT_EQ(SoundFilePath("\\a.wav", kFolder), "C:\\Fennick\\\\a.wav");  // not a full path: joined
    std::string fits(kMaxPathLength - sizeof(kFolder) + 1, 'x');
    EXPECT_EQ(SoundFilePath(fits, kFolder)->size(), kMaxPathLength);
    EXPECT_FALSE(SoundFilePath(fits + "x", kFolder));
    EXPECT_FALSE(SoundFilePath("C:\\" + std::string(300, 'x'), kFolder));

    ButtonTable table;
    table[0] = button(kSound, -1, std::string(1000, 'y').c_str());
    SwitchDispatcher dispatcher;
    Recorder r;
    dispatcher.onByte('D', table, kFolder, r);
    EXPECT_TRUE(r.log.empty());

    EXPECT_EQ(ProgramStartFolder("C:\\Tools\\app.exe"), "C:\\Tools\\");
    EXPECT_EQ(ProgramStartFolder("C:\\Tools\\"), "C:\\Tools\\");
    EXPECT_EQ(ProgramStartFolder("app.exe"), "app.exe");
}

TEST(VolumeAfterStep, ATenthOfTheRangeInWholeStepsStoppingAtTheBounds)
{
    // 0..65535 in 65535 steps: one step is 6553.
    EXPECT_EQ(VolumeAfterStep(10000, 0, 65535, 65535, true), 16553u);
    EXPECT_EQ(VolumeAfterStep(10000, 0, 65535, 65535, false), 3447u);
    EXPECT_EQ(VolumeAfterStep(58981, 0, 65535, 65535, true), 65534u);  // more than a step below: one step
    EXPECT_EQ(VolumeAfterStep(58983, 0, 65535, 65535, true), 65535u);  // within a step: the maximum
    EXPECT_EQ(VolumeAfterStep(65535, 0, 65535, 65535, true), 65535u);
    EXPECT_EQ(VolumeAfterStep(6554, 0, 65535, 65535, false), 1u);
    EXPECT_EQ(VolumeAfterStep(6553, 0, 65535, 65535, false), 0u);  // not above min + step: the minimum
    EXPECT_EQ(VolumeAfterStep(0, 0, 65535, 65535, false), 0u);
    // Steps truncate the range first: 100..1100 in 3 steps is (1000/3)*3/10 = 99.
    EXPECT_EQ(VolumeAfterStep(500, 100, 1100, 3, true), 599u);
    EXPECT_EQ(VolumeAfterStep(150, 100, 1100, 3, false), 100u);
    // A control without steps or with an empty range cannot divide by zero.
    EXPECT_EQ(VolumeAfterStep(500, 0, 1000, 0, true), 600u);
    EXPECT_EQ(VolumeAfterStep(5, 7, 7, 0, true), 7u);
}

TEST(JoystickSwitchBytes, ButtonsThreeToSevenLowerBitFirst)
{
    EXPECT_EQ(JoystickSwitchBytes(0, 0x04 | 0x10), (std::vector<uint8_t>{'Z', 'X'}));
    EXPECT_EQ(JoystickSwitchBytes(0x04 | 0x10, 0x10 | 0x40), (std::vector<uint8_t>{'z', 'V'}));
    EXPECT_EQ(JoystickSwitchBytes(0x7C, 0), (std::vector<uint8_t>{'z', 'y', 'x', 'w', 'v'}));
    EXPECT_TRUE(JoystickSwitchBytes(0, 0x01 | 0x02 | 0x80).empty());  // buttons 1, 2 and 8 are not used
    EXPECT_TRUE(JoystickSwitchBytes(0x08, 0x08).empty());
}
