// The motion engine natively: speed-up, direction tables, clicks by mode, dwell cycle, shutdown.
#include "motion_engine.h"
#include "ui_language.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace fennick;
using namespace fennick::mouse;

namespace {

// Records every effect as one line, so a whole sequence is compared (and printed) at once.
class Recorder : public MotionEffects {
public:
    void movePointer(int dx, int dy) override { log.push_back("move " + std::to_string(dx) + " " + std::to_string(dy)); }
    void mouseButton(ButtonEvent event) override
    {
        static const char* const kNames[] = {"left down", "left up", "right down", "right up"};
        log.push_back(kNames[static_cast<int>(event)]);
    }
    PointerTarget targetUnderPointer() override { return target; }
    void uncheckModeButtons(int keep) override { log.push_back("uncheck all but " + std::to_string(keep)); }
    void showCursor(int cursor) override { log.push_back("cursor " + std::to_string(cursor)); }
    void restoreCursors() override { log.push_back("restore cursors"); }
    void startDwellTimer(uint32_t ms) override { log.push_back("dwell timer " + std::to_string(ms)); }
    void stopDwellTimer() override { log.push_back("stop dwell timer"); }
    void openOptions() override { log.push_back("options"); }

    std::vector<std::string> take()
    {
        std::vector<std::string> taken;
        taken.swap(log);
        return taken;
    }

    PointerTarget target = PointerTarget::Elsewhere;
    std::vector<std::string> log;
};

using Lines = std::vector<std::string>;

class Engine : public ::testing::Test {
protected:
    void bytes(const char* letters)
    {
        for (const char* p = letters; *p; ++p)
            engine.switchByte(static_cast<uint8_t>(*p));
    }
    // Horizontal step of each of `count` ticks (the pointer moving right).
    std::vector<int> steps(int count)
    {
        std::vector<int> seen;
        for (int i = 0; i < count; ++i) {
            recorder.log.clear();
            engine.tick();
            int dx = 0, dy = 0;
            if (!recorder.log.empty())
                sscanf(recorder.log.front().c_str(), "move %d %d", &dx, &dy);
            seen.push_back(dx ? dx : dy);
        }
        return seen;
    }

    Recorder recorder;
    MotionSettings settings;
    MotionEngine engine{recorder, settings};
};

TEST_F(Engine, HeldDirectionSpeedsUpThenAnyChangeStartsAgainAtFour)
{
    bytes("R");
    EXPECT_EQ(steps(16), (std::vector<int>{4, 4, 4, 4, 4, 4, 4, 5, 5, 6, 8, 10, 13, 20, 20, 20}));
    bytes("U");  // right to up-right is a change of direction
    EXPECT_EQ(recorder.take(), Lines{"move 20 0"});
    engine.tick();
    EXPECT_EQ(recorder.take(), Lines{"move 4 -4"}) << "a diagonal puts the step on both axes";
    bytes("r");
    EXPECT_EQ(steps(8), (std::vector<int>{-4, -4, -4, -4, -4, -4, -4, -5}));
    bytes("u");
    EXPECT_EQ(steps(2), (std::vector<int>{0, 0}));
    bytes("U");
    EXPECT_EQ(steps(1), (std::vector<int>{-4})) << "standing still resets the speed";
}

TEST_F(Engine, WithoutSpeedUpTheStepStaysFour)
{
    settings.increaseSpeed = false;
    engine.setSettings(settings);
    bytes("D");
    EXPECT_EQ(steps(20), std::vector<int>(20, 4));
}

TEST_F(Engine, SwitchTableIgnoresTheOppositeDirection)
{
    struct Case {
        const char* letters;
        Direction expected;
    } cases[] = {
        {"L", Direction::Left},       {"R", Direction::Right},     {"U", Direction::Up},
        {"D", Direction::Down},       {"RL", Direction::Right},    {"UD", Direction::Up},
        {"LU", Direction::UpLeft},    {"LD", Direction::DownLeft}, {"RU", Direction::UpRight},
        {"DR", Direction::DownRight}, {"RUr", Direction::Up},      {"RUu", Direction::Right},
        {"LUl", Direction::Up},       {"LDd", Direction::Left},    {"RDr", Direction::Down},
        {"Rl", Direction::Right},     {"Rr", Direction::None},     {"Uu", Direction::None},
        {"RUD", Direction::UpRight},  {"RUL", Direction::UpRight}, {"DLd", Direction::Left},
        {"Dd", Direction::None},      {"Ll", Direction::None},     {"Rx", Direction::Right},
    };
    for (const Case& c : cases) {
        Recorder quiet;
        MotionEngine fresh(quiet, settings);
        for (const char* p = c.letters; *p; ++p)
            fresh.switchByte(static_cast<uint8_t>(*p));
        EXPECT_EQ(fresh.direction(), c.expected) << c.letters;
        EXPECT_TRUE(quiet.log.empty()) << c.letters << ": directions alone make no effect";
    }
}

TEST_F(Engine, JoystickStopsOnTheOppositeDirectionAndObeysTheDeadBand)
{
    engine.setJoystickRange({0, 1000, 0, 1000});
    // 100 is within 200 of the starting 0, yet it counts: below 200 the lower bound wraps round.
    engine.joystickPoll({100, 500, 0});
    EXPECT_EQ(engine.direction(), Direction::Left);
    engine.joystickPoll({500, 500, 0});
    EXPECT_EQ(engine.direction(), Direction::None);
    engine.joystickPoll({900, 500, 0});
    EXPECT_EQ(engine.direction(), Direction::Right);
    engine.joystickPoll({900, 100, 0});
    EXPECT_EQ(engine.direction(), Direction::UpRight);
    engine.joystickPoll({500, 100, 0});
    EXPECT_EQ(engine.direction(), Direction::Up) << "x back in the centre";
    engine.joystickPoll({500, 500, 0});
    EXPECT_EQ(engine.direction(), Direction::None);
    engine.joystickPoll({900, 500, 0});
    // 200 units or less from the last accepted position is noise, even across a zone edge.
    engine.joystickPoll({700, 500, 0});
    EXPECT_EQ(engine.direction(), Direction::Right) << "a 200-unit move changed the direction";
    engine.joystickPoll({699, 500, 0});
    EXPECT_EQ(engine.direction(), Direction::None) << "201 units back to the centre";

    // Direction buttons: 3 down, 4 left, 5 up, 6 right; bit n-1 is button n.
    engine.joystickPoll({699, 500, 1u << 5});
    EXPECT_EQ(engine.direction(), Direction::Right);
    engine.joystickPoll({699, 500, (1u << 5) | (1u << 3)});
    EXPECT_EQ(engine.direction(), Direction::None) << "left pressed while moving right stops";
    engine.joystickPoll({699, 500, 1u << 2});
    EXPECT_EQ(engine.direction(), Direction::Down) << "left and right let go, down pressed";
    engine.joystickPoll({699, 500, (1u << 2) | (1u << 3)});
    EXPECT_EQ(engine.direction(), Direction::DownLeft);
    engine.joystickPoll({699, 500, (1u << 2) | (1u << 3) | (1u << 4)});
    EXPECT_EQ(engine.direction(), Direction::None) << "up pressed while moving down-left stops";
    engine.joystickPoll({699, 500, 0});
    EXPECT_EQ(engine.direction(), Direction::None);
    // Button 6 is not looked at in a poll in which button 5 changed; the next poll takes it.
    engine.joystickPoll({699, 500, (1u << 4) | (1u << 5)});
    EXPECT_EQ(engine.direction(), Direction::Up) << "right ignored beside the up change";
    engine.joystickPoll({699, 500, 1u << 5});
    EXPECT_EQ(engine.direction(), Direction::None) << "up let go: the right press still waits";
    engine.joystickPoll({699, 500, 1u << 5});
    EXPECT_EQ(engine.direction(), Direction::Right);
    engine.joystickPoll({699, 500, (1u << 4) | (1u << 5)});
    EXPECT_EQ(engine.direction(), Direction::UpRight);
    engine.joystickPoll({699, 500, 0});  // both let go in one poll
    EXPECT_EQ(engine.direction(), Direction::Right);
    engine.joystickPoll({699, 500, 0});
    EXPECT_EQ(engine.direction(), Direction::None) << "the pointer must not run on by itself";
    EXPECT_TRUE(recorder.log.empty());
}

TEST_F(Engine, JoystickFireAndRightButtonsTakeOnlyTheFirstChangeOfAPoll)
{
    engine.joystickPoll({0, 0, 0b1});
    engine.joystickPoll({0, 0, 0b0});
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up"}));
    engine.joystickPoll({0, 0, 0b11});  // button 1 and 2 together: only the fire acts
    EXPECT_EQ(recorder.take(), (Lines{"left down"}));
    EXPECT_FALSE(engine.rightIsDown());
    engine.joystickPoll({0, 0, 0b11});  // the right button's press is taken in the next poll
    EXPECT_EQ(recorder.take(), (Lines{"right down"}));
    engine.joystickPoll({0, 0, 0b00});  // both let go in one poll: neither may stay down
    engine.joystickPoll({0, 0, 0b00});
    EXPECT_EQ(recorder.take(), (Lines{"left up", "right up"}));
    EXPECT_FALSE(engine.rightIsDown());
    engine.joystickPoll({0, 0, 0b10});
    EXPECT_EQ(recorder.take(), (Lines{"right down"}));
    EXPECT_TRUE(engine.rightIsDown());
    engine.joystickPoll({0, 0, 0b1000010});  // button 7 is a second fire button
    engine.joystickPoll({0, 0, 0b0000010});
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up"}));
}

TEST_F(Engine, LeavingTheJoystickLetsGoOfWhatItHolds)
{
    engine.setJoystickRange({0, 1000, 0, 1000});
    engine.joystickPoll({900, 500, 0b11});  // stick right, fire and right button held
    engine.joystickPoll({900, 500, 0b11});
    EXPECT_EQ(recorder.take(), (Lines{"left down", "right down"}));
    engine.stopJoystick();
    EXPECT_EQ(recorder.take(), (Lines{"left up", "right up"}));
    EXPECT_EQ(engine.direction(), Direction::None);
    engine.tick();
    EXPECT_EQ(recorder.take(), Lines{}) << "the pointer must not run on by itself";
    // Back on the joystick later it starts afresh: what is held then is pressed again.
    engine.joystickPoll({900, 500, 0b10});
    EXPECT_EQ(recorder.take(), (Lines{"right down"}));
    EXPECT_EQ(engine.direction(), Direction::Right);
}

TEST_F(Engine, FireClicksByModeAndDragTakesTwoPresses)
{
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up"})) << "no mode: the fire switch is the left button";

    engine.barCommand(kDoubleClickButton);
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"uncheck all but 0", "left down", "left up", "left down", "left up",
                                      "uncheck all but -1"}))
        << "the release after a click is swallowed";
    EXPECT_EQ(engine.clickMode(), ClickMode::None);

    engine.barCommand(kRightClickButton);
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"uncheck all but 1", "right down", "right up", "uncheck all but -1"}));

    engine.barCommand(kDragButton);
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"uncheck all but 2", "left down"}));
    EXPECT_EQ(engine.clickMode(), ClickMode::Drag) << "drag mode stays selected after the first press";
    bytes("RJj");
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up", "uncheck all but -1"}));
    EXPECT_EQ(engine.clickMode(), ClickMode::None);
    EXPECT_FALSE(engine.leftIsDown());
    bytes("j");
    EXPECT_EQ(recorder.take(), (Lines{"left up"})) << "only one release is swallowed";
}

TEST_F(Engine, ModeButtonsToggleAndFireOverTheBarClearsTheMode)
{
    engine.barCommand(kDragButton);
    engine.barCommand(kDragButton);
    EXPECT_EQ(engine.clickMode(), ClickMode::None) << "a second press on the same button turns it off";
    engine.barCommand(kRightClickButton);
    engine.barCommand(kDoubleClickButton);
    EXPECT_EQ(engine.clickMode(), ClickMode::Double);
    recorder.take();

    recorder.target = PointerTarget::ModeButton;
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"uncheck all but -1"})) << "over a mode button: no click at all";
    EXPECT_EQ(engine.clickMode(), ClickMode::None);

    engine.barCommand(kRightClickButton);
    recorder.take();
    recorder.target = PointerTarget::OptionsButton;
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"uncheck all but -1", "left down", "left up"}))
        << "over the options button: the mode goes and an ordinary click is made";

    engine.barCommand(kDragButton);
    engine.barCommand(kOptionsButton);
    EXPECT_EQ(recorder.take(), (Lines{"uncheck all but 2", "uncheck all but -1", "options"}));
    EXPECT_EQ(engine.clickMode(), ClickMode::None);
}

TEST_F(Engine, ReleaseDoesWhatItsPressOwesWhateverTheModeIsByThen)
{
    settings.method = kMethodDwell;
    engine.setSettings(settings);
    engine.tick();  // standing still: the dwell cycle starts

    // A plain press (left down) held while the dwell cycle offers the left click.
    bytes("J");
    engine.dwellTimer();
    ASSERT_EQ(engine.clickMode(), ClickMode::Left);
    bytes("j");
    EXPECT_FALSE(engine.leftIsDown()) << "the release of a plain press must let go of the left button";
    recorder.take();

    // A click whose release is swallowed, held while the cycle moves on: that release is the one
    // swallowed, so a plain press and release after the pointer moved work as usual.
    bytes("J");
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up", "uncheck all but -1"}));
    engine.dwellTimer();
    bytes("j");
    bytes("L");
    engine.tick();  // moving ends the cycle: no click mode
    bytes("l");
    ASSERT_EQ(engine.clickMode(), ClickMode::None);
    recorder.take();
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up"}));
    EXPECT_FALSE(engine.leftIsDown());
}

TEST_F(Engine, SwitchesTheDeviceForgetsAreLetGoAsIfReleased)
{
    bytes("JR");
    engine.tick();
    recorder.take();
    engine.switchesForgotten();
    EXPECT_EQ(recorder.take(), (Lines{"left up"}));
    engine.tick();
    EXPECT_EQ(recorder.take(), (Lines{})) << "the pointer went on moving";
    bytes("j");  // the held switch's release, which the port monitor still hands over
    EXPECT_EQ(recorder.take(), (Lines{})) << "a second left-up for one press";
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up"}));

    // The first press of a drag holds the button until the second press, not a switch: it stays.
    engine.barCommand(kDragButton);
    bytes("Jj");
    recorder.take();
    engine.switchesForgotten();
    EXPECT_TRUE(engine.leftIsDown());
}

// The box and the joystick are two devices: losing one lets go of what it held and nothing else.
TEST_F(Engine, EachDeviceLetsGoOnlyOfWhatItHeld)
{
    engine.setJoystickRange({0, 1000, 0, 1000});
    engine.joystickPoll({900, 500, 0b1});  // stick right, a drag held on button 1
    bytes("D");                            // the box's Down switch held too
    ASSERT_EQ(engine.direction(), Direction::DownRight);
    EXPECT_EQ(recorder.take(), (Lines{"left down"}));
    engine.switchesForgotten();  // another program took the box
    EXPECT_EQ(recorder.take(), (Lines{})) << "the joystick's drag was dropped";
    EXPECT_EQ(engine.direction(), Direction::Right) << "the held stick must keep the pointer moving";
    engine.tick();
    EXPECT_EQ(recorder.take(), (Lines{"move 4 0"}));
    engine.joystickPoll({900, 500, 0b0});
    EXPECT_EQ(recorder.take(), (Lines{"left up"})) << "one left-up, at button 1's release";
    engine.joystickPoll({500, 500, 0b0});
    ASSERT_EQ(engine.direction(), Direction::None);

    // The serial model chosen while both devices hold something: the joystick's go, the box's stay.
    bytes("JU");
    engine.joystickPoll({100, 500, 0b10});  // stick left, right button held
    ASSERT_EQ(engine.direction(), Direction::UpLeft);
    recorder.take();
    engine.stopJoystick();
    EXPECT_EQ(recorder.take(), (Lines{"right up"}));
    EXPECT_EQ(engine.direction(), Direction::Up);
    EXPECT_TRUE(engine.leftIsDown()) << "the box's fire switch is still held";
    EXPECT_FALSE(engine.joystickHolds());
    engine.joystickPoll({500, 500, 0b0});  // read again, centred: the box's Up goes on
    EXPECT_EQ(engine.direction(), Direction::Up);
    bytes("j");
    EXPECT_EQ(recorder.take(), (Lines{"left up"}));
}

TEST_F(Engine, FireOverAModeButtonInTheMiddleOfADragPutsItDown)
{
    engine.barCommand(kDragButton);
    bytes("Jj");
    recorder.take();
    recorder.target = PointerTarget::ModeButton;
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"uncheck all but -1", "left up"}));
    EXPECT_FALSE(engine.leftIsDown());
    EXPECT_EQ(engine.clickMode(), ClickMode::None);
}

TEST_F(Engine, DwellCyclesTheClickModesUntilThePointerMoves)
{
    settings.method = kMethodDwell;
    settings.dwellTime = 1500;
    settings.cursorInterval = 700;
    engine.setSettings(settings);
    engine.tick();
    engine.tick();  // already running: not started twice
    EXPECT_EQ(recorder.take(), (Lines{"dwell timer 1500"}));
    for (int i = 0; i < 5; ++i)
        engine.dwellTimer();
    EXPECT_EQ(recorder.take(), (Lines{"stop dwell timer", "cursor 178", "dwell timer 700",  // left click
                                      "stop dwell timer", "cursor 180", "dwell timer 700",  // double click
                                      "stop dwell timer", "cursor 179", "dwell timer 700",  // right click
                                      "stop dwell timer", "cursor 181", "dwell timer 700",  // drag
                                      "stop dwell timer", "cursor 178", "dwell timer 700"}));
    EXPECT_EQ(engine.clickMode(), ClickMode::Left);

    bytes("Jj");  // a click does not end the cycle; the mode starts again from none
    EXPECT_EQ(engine.clickMode(), ClickMode::None);
    engine.dwellTimer();
    EXPECT_EQ(engine.clickMode(), ClickMode::Left);
    recorder.take();

    bytes("L");
    engine.tick();
    EXPECT_EQ(recorder.take(), (Lines{"move -4 0", "stop dwell timer", "restore cursors"}));
    EXPECT_EQ(engine.clickMode(), ClickMode::None);
    EXPECT_FALSE(engine.dwellActive());
    bytes("l");
    engine.tick();
    EXPECT_EQ(recorder.take(), (Lines{"dwell timer 1500"}));
    engine.endDwell();  // the options dialog opens
    EXPECT_EQ(recorder.take(), (Lines{"stop dwell timer", "restore cursors"}));
}

// The drag the engine believes it holds is the button the system has down, whatever came between.
TEST_F(Engine, TheDragFlagAlwaysMatchesTheButton)
{
    settings.method = kMethodDwell;
    engine.setSettings(settings);
    engine.tick();
    for (int i = 0; i < 4; ++i)
        engine.dwellTimer();
    ASSERT_EQ(engine.clickMode(), ClickMode::Drag);
    bytes("Jj");  // picks up
    bytes("R");
    engine.tick();  // moving ends the dwell cycle; the drag goes on
    bytes("r");
    engine.tick();
    engine.dwellTimer();
    ASSERT_EQ(engine.clickMode(), ClickMode::Left);
    recorder.take();
    bytes("Jj");  // the left click offered puts the drag down
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up", "uncheck all but -1"}));
    EXPECT_FALSE(engine.leftIsDown());
    for (int i = 0; i < 4; ++i)
        engine.dwellTimer();
    ASSERT_EQ(engine.clickMode(), ClickMode::Drag);
    recorder.take();
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"left down"})) << "the next drag must pick up, not click";
    EXPECT_TRUE(engine.leftIsDown());

    // The options opened in the middle of a drag put it down: click mode 0 holds nothing.
    engine.optionsOpening();
    EXPECT_EQ(recorder.take(), (Lines{"left up", "stop dwell timer", "restore cursors"}));
    EXPECT_EQ(engine.clickMode(), ClickMode::None);
    EXPECT_FALSE(engine.leftIsDown());
    bytes("Jj");
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up"}));

    // The same from the bar's options button.
    engine.barCommand(kDragButton);
    bytes("Jj");
    recorder.take();
    engine.barCommand(kOptionsButton);
    EXPECT_EQ(recorder.take(), (Lines{"left up", "uncheck all but -1", "options"}));
    EXPECT_FALSE(engine.leftIsDown());

    // A press still held is the switch's: its own release lets go, not the options.
    bytes("J");
    recorder.take();
    engine.optionsOpening();
    EXPECT_TRUE(engine.leftIsDown());
    bytes("j");
    EXPECT_EQ(recorder.take(), (Lines{"left up"}));
}

TEST_F(Engine, EndingReleasesEveryHeldButtonOnce)
{
    engine.barCommand(kDragButton);
    bytes("J");
    engine.joystickPoll({0, 0, 0b10});
    recorder.take();
    engine.releaseEverything();
    EXPECT_EQ(recorder.take(), (Lines{"left up", "right up", "stop dwell timer", "restore cursors"}));
    engine.releaseEverything();
    EXPECT_EQ(recorder.take(), (Lines{"stop dwell timer", "restore cursors"})) << "nothing is released twice";

    // Held fire switch with no mode; then a dwell-style left click in the middle of a drag.
    MotionEngine other(recorder, settings);
    other.switchByte('J');
    other.releaseEverything();
    EXPECT_EQ(recorder.take(), (Lines{"left down", "left up", "stop dwell timer", "restore cursors"}));
    other.barCommand(kDragButton);
    other.switchByte('J');
    other.barCommand(kDragButton);
    other.switchByte('J');  // mode none again: a plain press, then the switch stays down
    other.switchByte('j');
    recorder.take();
    other.releaseEverything();
    EXPECT_EQ(recorder.take(), (Lines{"stop dwell timer", "restore cursors"})) << "the button is already up";
}

TEST(UiLanguage, DutchAndItalianOfAnyCountryElseEnglish)
{
    EXPECT_EQ(stringLanguageFor(1043), kLanguageDutch);
    EXPECT_EQ(stringLanguageFor(2067), kLanguageDutch);  // Belgium
    EXPECT_EQ(stringLanguageFor(1040), kLanguageItalian);
    EXPECT_EQ(stringLanguageFor(2064), kLanguageItalian);  // Switzerland
    EXPECT_EQ(stringLanguageFor(1033), kLanguageEnglishUk) << "US English";
    EXPECT_EQ(stringLanguageFor(1036), kLanguageEnglishUk) << "French";
    EXPECT_EQ(stringLanguageFor(0), kLanguageEnglishUk);
}

}  // namespace
