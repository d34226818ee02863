// The switch letters are a wire contract with every client; keep them fixed.
#include "fennick/switch_codes.h"

#include <gtest/gtest.h>
#include <string>

using namespace fennick;

TEST(SwitchCodes, MessagesAndLettersAreFixed)
{
    EXPECT_EQ(WM_SWITCH_BYTE, 0x8000 + 100);
    EXPECT_EQ(WM_SWITCH_ACTIVATE, 0x8000 + 101);
    EXPECT_EQ(std::string(kSwitchLetters), "LlRrUuDdJjDd");
    EXPECT_EQ(makeCode(SwitchInput::Fire), 'J');
    EXPECT_EQ(breakCode(SwitchInput::Left), 'l');
    // Switch 2 shares Down's letters.
    EXPECT_EQ(makeCode(SwitchInput::Switch2), makeCode(SwitchInput::Down));
    EXPECT_EQ(breakCode(SwitchInput::Switch2), breakCode(SwitchInput::Down));
}
