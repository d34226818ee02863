// The show's core natively: letters, the make rules, the joystick table and buttons, row rules, paths, names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show_core.h"

using namespace fennick;
using namespace fennick::show;

namespace {

// Every effect the engine asks for, in order, as one readable line each.
class Recorder : public ShowEffects {
public:
    void restartFadeTimer(int32_t ms) override { calls.push_back("fade " + std::to_string(ms)); }
    void stopFadeTimer() override { calls.push_back("stop fade"); }
    void clearScreen() override { calls.push_back("clear"); }
    void drawPicture(const std::string& path) override { calls.push_back("draw " + path); }
    void playSound(const std::string& path) override { calls.push_back("sound " + path); }
    void runProgram(const std::string& path) override { calls.push_back("run " + path); }
    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }
    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(InputLetters, MakesAndBreaksSelectTheFiveSlotsInTheShowsOrder)
{
    const struct {
        uint8_t byte;
        int slot;
        bool make;
    } table[] = {{'D', 0, true}, {'d', 0, false}, {'U', 1, true}, {'u', 1, false}, {'R', 2, true},
                 {'r', 2, false}, {'L', 3, true}, {'l', 3, false}, {'J', 4, true}, {'j', 4, false}};
    for (const auto& row : table) {
        InputLetter letter = lookupInput(row.byte);
        EXPECT_EQ(letter.slot, row.slot) << row.byte;
        EXPECT_EQ(letter.make, row.make) << row.byte;
    }
    for (uint8_t byte : {uint8_t('E'), uint8_t('e'), uint8_t('V'), uint8_t(0), uint8_t(0xC4), uint8_t('?')})
        EXPECT_EQ(lookupInput(byte).slot, -1) << int(byte);
    EXPECT_EQ(makeLetter(4), 'J');
    EXPECT_EQ(breakLetter(2), 'r');
    EXPECT_EQ(makeLetter(5), 0);
}

TEST(InputLetters, ArrowKeysAndSpaceAreTheFiveSwitches)
{
    EXPECT_EQ(keyLetter(0x28, true), 'D');
    EXPECT_EQ(keyLetter(0x28, false), 'd');
    EXPECT_EQ(keyLetter(0x26, true), 'U');
    EXPECT_EQ(keyLetter(0x27, true), 'R');
    EXPECT_EQ(keyLetter(0x25, false), 'l');
    EXPECT_EQ(keyLetter(0x20, true), 'J');
    EXPECT_EQ(keyLetter('A', true), 0);
    EXPECT_EQ(keyLetter(0x0D, true), 0);
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.slot(0) = {kShowPicture, "cat.jpg", ""};
        engine.slot(1) = {kPictureAndSound, "dog.gif", "bark.wav"};
        engine.slot(2) = {kPlaySound, "bell.wav", ""};
        engine.slot(3) = {kRunProgram, "C:\\games\\run.exe", ""};
        engine.slot(4) = {kNoAction, "", ""};
    }
    Calls press(char letter)
    {
        engine.onByte(static_cast<uint8_t>(letter), effects);
        return effects.take();
    }
    ShowEngine engine;
    Recorder effects;
};

TEST_F(Engine, AMakeClearsThePreviousPictureThenActs)
{
    EXPECT_EQ(press('D'), (Calls{"clear", "draw cat.jpg"}));
    EXPECT_EQ(engine.currentSlot(), 0);
    ASSERT_NE(engine.currentPicture(), nullptr);
    EXPECT_EQ(*engine.currentPicture(), "cat.jpg");
    EXPECT_EQ(press('U'), (Calls{"clear", "draw dog.gif", "sound bark.wav"}));
    EXPECT_EQ(press('R'), (Calls{"clear", "sound bell.wav"}));
    EXPECT_EQ(engine.currentPicture(), nullptr);
    EXPECT_EQ(press('L'), (Calls{"clear", "run C:\\games\\run.exe"}));
    // Action 0 clears another slot's picture and does nothing else.
    EXPECT_EQ(press('J'), (Calls{"clear"}));
}

TEST_F(Engine, ARepeatedMakeDoesNotRedrawButPlaysTheSoundAgain)
{
    press('U');
    EXPECT_EQ(press('U'), (Calls{"sound bark.wav"}));
    press('D');
    EXPECT_EQ(press('D'), Calls{});
    // Repeated sound and program slots act every time.
    press('R');
    EXPECT_EQ(press('R'), (Calls{"sound bell.wav"}));
    press('L');
    EXPECT_EQ(press('L'), (Calls{"run C:\\games\\run.exe"}));
}

TEST_F(Engine, BreaksAndForeignBytesChangeNothing)
{
    press('D');
    for (char byte : {'d', 'u', 'j', 'E', 'x', '\0'})
        EXPECT_EQ(press(byte), Calls{}) << int(byte);
    EXPECT_EQ(engine.currentSlot(), 0);
}

TEST_F(Engine, EveryMakeRestartsTheFadeAndTheFadeClearsTheScreen)
{
    engine.setFadeTime(3000);
    EXPECT_EQ(press('D'), (Calls{"fade 3000", "clear", "draw cat.jpg"}));
    EXPECT_EQ(press('J'), (Calls{"fade 3000", "clear"}));
    engine.onFade(effects);
    EXPECT_EQ(effects.take(), (Calls{"stop fade", "clear"}));
    EXPECT_EQ(engine.currentSlot(), -1);
    // After the fade the same switch draws its picture again.
    press('D');
    engine.onFade(effects);
    effects.take();
    EXPECT_EQ(press('D'), (Calls{"fade 3000", "clear", "draw cat.jpg"}));
    engine.setFadeTime(0);
    EXPECT_EQ(press('U'), (Calls{"fade 0", "clear", "draw dog.gif", "sound bark.wav"}));
}

TEST_F(Engine, ActionsWithoutTheirTextDoNothing)
{
    engine.slot(1) = {kPictureAndSound, "", "bark.wav"};
    engine.slot(2) = {kPlaySound, "", ""};
    engine.slot(3) = {kRunProgram, "", ""};
    EXPECT_EQ(press('U'), (Calls{"clear"}));
    EXPECT_EQ(press('R'), (Calls{"clear"}));
    EXPECT_EQ(press('L'), (Calls{"clear"}));
    engine.slot(0) = {kPictureAndSound, "cat.jpg", ""};
    EXPECT_EQ(press('D'), (Calls{"clear", "draw cat.jpg"}));
    engine.clearSlots();
    EXPECT_EQ(engine.slot(0).action, kNoAction);
    EXPECT_TRUE(engine.slot(1).second.empty());
}

TEST(Joystick, DirectionTableSendsAtMostOneLetterPerChange)
{
    const char* letters = "_LRUD";
    const char* releases = "_lrud";
    for (int next = 0; next <= 4; ++next)
        for (int last = 0; last <= 4; ++last) {
            char expected = 0;
            if (next != last)
                expected = last == 0 ? letters[next] : releases[last];
            EXPECT_EQ(directionChange(next, last), expected) << next << " after " << last;
        }
}

std::string poll(JoystickDirections& joystick, uint32_t x, uint32_t y, uint32_t buttons = 0)
{
    char out[JoystickDirections::kMaxLetters];
    int count = joystick.apply({x, y, buttons}, out);
    return std::string(out, count);
}

TEST(Joystick, DeflectionsMakeAndReleaseThroughTheDeadBand)
{
    JoystickDirections joystick;
    joystick.setRange({0, 65535, 0, 65535});
    // First poll: both recorded values are 0, so every reading counts as moved; centre sends nothing.
    EXPECT_EQ(poll(joystick, 32767, 32767), "");
    EXPECT_EQ(poll(joystick, 65535, 32767), "R");
    // A held deflection that no longer moves yields centre: its release follows on the next poll.
    EXPECT_EQ(poll(joystick, 65535, 32767), "r");
    EXPECT_EQ(poll(joystick, 65535, 32767), "");
    EXPECT_EQ(poll(joystick, 0, 32767), "L");
    // Straight from left to down: only the release of left.
    EXPECT_EQ(poll(joystick, 0, 65535), "l");
    EXPECT_EQ(joystick.lastDirection(), kDown);
    EXPECT_EQ(poll(joystick, 0, 0), "d");
    // While a recorded value is below 200 every reading counts as moved: still up, nothing new.
    EXPECT_EQ(poll(joystick, 0, 150), "");
    EXPECT_EQ(poll(joystick, 30000, 65535), "u");  // Y's verdict (down) replaces X's (centre)
    // Down is recorded although only up's release went out: centre now releases down (the show ignores breaks).
    EXPECT_EQ(poll(joystick, 30000, 65535), "d");
    EXPECT_EQ(poll(joystick, 30100, 0), "U");     // X within 200 units: only Y counts
    EXPECT_EQ(poll(joystick, 30190, 40000), "u"); // Y centre releases up
    EXPECT_EQ(poll(joystick, 30100, 40100), "");  // both within 200 units: centre, as before
}

TEST(Joystick, ButtonThreeCountsOnlyWhenButtonOneDidNotChange)
{
    JoystickDirections joystick;
    joystick.setRange({0, 65535, 0, 65535});
    poll(joystick, 32767, 32767);
    EXPECT_EQ(poll(joystick, 32767, 32767, 0x01 | 0x04), "J");  // buttons 1 and 3 in one poll
    EXPECT_EQ(poll(joystick, 32767, 32767, 0x01), "d");          // button 3 released alone
    EXPECT_EQ(poll(joystick, 32767, 32767, 0x05), "D");
    EXPECT_EQ(poll(joystick, 32767, 32767, 0x05 | 0x02), "");    // button 2 is not used
    EXPECT_EQ(poll(joystick, 32767, 32767, 0x07 | 0x78), "URLJ");
    EXPECT_EQ(poll(joystick, 32767, 32767, 0), "jurlj");
}

TEST(ActionRows, LookFollowsTheAction)
{
    RowState row = rowLook(kNoAction, {});
    EXPECT_FALSE(row.firstVisible);
    EXPECT_FALSE(row.secondVisible);
    row = rowLook(kShowPicture, {});
    EXPECT_EQ(row.firstKind, TextKind::Picture);
    EXPECT_TRUE(row.firstVisible);
    EXPECT_FALSE(row.secondVisible);
    EXPECT_EQ(rowLook(kPlaySound, {}).firstKind, TextKind::Sound);
    EXPECT_EQ(rowLook(kRunProgram, {}).firstKind, TextKind::Program);
    row = rowLook(kPictureAndSound, {});
    EXPECT_EQ(row.firstKind, TextKind::Picture);
    EXPECT_TRUE(row.secondVisible);
    EXPECT_EQ(pickerKind(kNoAction), TextKind::None);
}

TEST(ActionRows, TextsMoveEmptyOrStayByTheOldAndNewAction)
{
    RowState filled;
    filled.first = "one";
    filled.second = "two";
    auto change = [&](int32_t from, int32_t to) {
        RowState row = changeRowAction(from, to, filled);
        return row.first + "|" + row.second;
    };
    EXPECT_EQ(change(kPlaySound, kPictureAndSound), "|one");  // the sound path moves down
    EXPECT_EQ(change(kRunProgram, kPictureAndSound), "|");
    EXPECT_EQ(change(kShowPicture, kPictureAndSound), "one|two");
    EXPECT_EQ(change(kPictureAndSound, kShowPicture), "one|two");  // the picture path stays
    EXPECT_EQ(change(kPlaySound, kShowPicture), "|two");
    EXPECT_EQ(change(kNoAction, kShowPicture), "|two");
    EXPECT_EQ(change(kPictureAndSound, kPlaySound), "two|");  // the sound path moves up
    EXPECT_EQ(change(kShowPicture, kPlaySound), "|two");
    EXPECT_EQ(change(kShowPicture, kRunProgram), "|");
    EXPECT_EQ(change(kPictureAndSound, kNoAction), "one|two");
    RowState hidden = changeRowAction(kPictureAndSound, kNoAction, filled);
    EXPECT_FALSE(hidden.firstVisible || hidden.secondVisible);
    EXPECT_TRUE(changeRowAction(kPlaySound, kPictureAndSound, filled).secondVisible);
}

TEST(Paths, RelativePathsJoinTheProgramFolderWithinTheBound)
{
    const std::string folder = "C:\\Fennick\\";
    std::string out;
    ASSERT_TRUE(resolvePath(folder, "cat.jpg", &out));
    EXPECT_EQ(out, "C:\\Fennick\\cat.jpg");
    ASSERT_TRUE(resolvePath(folder, "pics\\cat.jpg", &out));
    EXPECT_EQ(out, "C:\\Fennick\\pics\\cat.jpg");
    ASSERT_TRUE(resolvePath(folder, "D:\\pics\\cat.jpg", &out));
    EXPECT_EQ(out, "D:\\pics\\cat.jpg");
    ASSERT_TRUE(resolvePath(folder, "\\\\server\\share\\cat.jpg", &out));
    EXPECT_EQ(out, "\\\\server\\share\\cat.jpg");
    // Only the two absolute forms stay as they are: "D:cat" and "\cat" join the folder.
    ASSERT_TRUE(resolvePath(folder, "\\cat.jpg", &out));
    EXPECT_EQ(out, "C:\\Fennick\\\\cat.jpg");

    // 259 characters fit; one more is refused and leaves the output untouched.
    std::string fits(259 - folder.size(), 'a');
    ASSERT_TRUE(resolvePath(folder, fits, &out));
    EXPECT_EQ(out.size(), 259u);
    out = "untouched";
    EXPECT_FALSE(resolvePath(folder, fits + "b", &out));
    EXPECT_EQ(out, "untouched");
    EXPECT_FALSE(resolvePath(folder, std::string(259, 'x'), &out));
    EXPECT_FALSE(resolvePath(folder, "C:\\" + std::string(257, 'x'), &out));
}

TEST(Paths, PickedFilesInsideTheFolderBecomeRelative)
{
    EXPECT_EQ(relativeToFolder("C:\\Fennick\\", "C:\\Fennick\\pics\\cat.jpg"), "pics\\cat.jpg");
    EXPECT_EQ(relativeToFolder("C:\\Fennick\\", "c:\\FENNICK\\cat.jpg"), "cat.jpg");
    EXPECT_EQ(relativeToFolder("C:\\Fennick\\", "C:\\Other\\cat.jpg"), "C:\\Other\\cat.jpg");
    EXPECT_EQ(relativeToFolder("C:\\Fennick\\", "C:\\Fenn"), "C:\\Fenn");
}

TEST(Profiles, NamesSectionsAndTitles)
{
    EXPECT_EQ(checkProfileName(""), NameCheck::Empty);
    for (const char* bad : {"a\\b", "a/b", "a:b", "a*", "a?", "<a", "a>", "a|b", "a\"b"})
        EXPECT_EQ(checkProfileName(bad), NameCheck::ForbiddenCharacter) << bad;
    EXPECT_EQ(checkProfileName("Gatto e cane"), NameCheck::Ok);

    EXPECT_EQ(sectionText({kPictureAndSound, "a.jpg", "b.wav"}),
              std::string("BtCmd=4\0BtCmdText1=a.jpg\0BtCmdText2=b.wav\0", 42));
    EXPECT_EQ(sectionText({}), std::string("BtCmd=0\0BtCmdText1=\0BtCmdText2=\0", 32));
    EXPECT_EQ(sectionName(0), "Button1");
    EXPECT_EQ(sectionName(4), "Button5");
    EXPECT_EQ(profileName("C:\\Fennick\\Animali.bd2"), "Animali");
    EXPECT_EQ(windowTitle("C:\\Fennick\\Animali.bd2"), "FennickShow - Animali");
    EXPECT_EQ(windowTitle(""), "FennickShow");
}

TEST(Pictures, OnlyPictureFilesAreRecognised)
{
    auto sniff = [](const std::string& bytes) {
        return sniffPicture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    };
    EXPECT_EQ(sniff("BM\x36\0\0\0"), PictureKind::Bitmap);
    EXPECT_EQ(sniff("GIF89a..."), PictureKind::Gif);
    EXPECT_EQ(sniff("GIF87a"), PictureKind::Gif);
    EXPECT_EQ(sniff("\xFF\xD8\xFF\xE0"), PictureKind::Jpeg);
    EXPECT_EQ(sniff(std::string("\0\0\1\0\1\0", 6)), PictureKind::Icon);
    std::string emf(44, '\0');
    emf[0] = 1;
    emf.replace(40, 4, " EMF");
    EXPECT_EQ(sniff(emf), PictureKind::Metafile);
    for (const std::string& other : {std::string("MZ\x90"), std::string("RIFF....WAVE"), std::string("GIF8"),
                                     std::string("B"), std::string(), std::string("\xFF\xD8")})
        EXPECT_EQ(sniff(other), PictureKind::NotAPicture) << other;
}

TEST(Pictures, NaturalSizeCentredAndCroppedEquallyOnBothSides)
{
    // 640 x 480 pixels at 96 dots per inch is 16933 x 12700 HIMETRIC.
    Placement small = placePicture(1000, 800, 16933, 12700, 96, 96);
    EXPECT_TRUE(small.draw);
    EXPECT_EQ(small.width, 640);
    EXPECT_EQ(small.height, 480);
    EXPECT_EQ(small.x, 180);
    EXPECT_EQ(small.y, 160);
    Placement large = placePicture(1000, 800, 16933 * 2, 12700 * 2, 96, 96);
    EXPECT_EQ(large.width, 1280);
    EXPECT_EQ(large.x, -140);
    EXPECT_EQ(large.y, -80);
    Placement odd = placePicture(1001, 800, 16933 * 2, 12700 * 2, 96, 96);
    EXPECT_EQ(odd.x, -139);  // halving toward zero
    EXPECT_FALSE(placePicture(0, 800, 16933, 12700, 96, 96).draw);
    EXPECT_FALSE(placePicture(1000, 800, 16933, 0, 96, 96).draw);
    EXPECT_EQ(mulDiv(5, 3, 2), 8);   // 7.5 rounds up
    EXPECT_EQ(mulDiv(-5, 3, 2), -8);
    EXPECT_EQ(mulDiv(1, 1, 0), -1);
}

}  // namespace
