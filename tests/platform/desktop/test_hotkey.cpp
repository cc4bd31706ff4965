#include "platform/desktop/HotKey.h"
#include "platform/desktop/KeyCodes.h"

#include "TestEnvironment.h"

#include <X11/X.h>

#include <cerrno>

namespace KeyCodes = hb::KeyCodes;
namespace Flag = hb::ModifierFlag;

TEST(KeyCodesTest, PositionsMatchTheKeyboard)
{
    const struct {
        std::uint16_t keyCode;
        int evdev;
    } cases[] = {{0, 30},  {18, 2},  {29, 11},  {36, 28},  {49, 57},   {53, 1},    {55, 125}, {58, 56},
                 {59, 29}, {96, 63}, {111, 88}, {122, 59}, {123, 105}, {126, 103}, {82, 82},  {76, 96}};
    for (const auto& c : cases) {
        EXPECT_EQ(KeyCodes::evdevCodeForVirtualKeyCode(c.keyCode), c.evdev) << c.keyCode;
        EXPECT_EQ(KeyCodes::virtualKeyCodeForEvdevCode(c.evdev), c.keyCode) << c.evdev;
    }
    int mapped = 0;
    for (int keyCode = 0; keyCode < 128; ++keyCode) {
        if (const auto evdev = KeyCodes::evdevCodeForVirtualKeyCode(std::uint16_t(keyCode))) {
            ++mapped;
            EXPECT_EQ(KeyCodes::virtualKeyCodeForEvdevCode(*evdev), keyCode) << "two keys share position " << *evdev;
        }
    }
    EXPECT_GT(mapped, 100);
    EXPECT_FALSE(KeyCodes::evdevCodeForVirtualKeyCode(63).has_value());  // fn has no position of its own
}

TEST(KeyCodesTest, ModifiersMapBothWays)
{
    const struct {
        std::uint64_t flags;
        unsigned int x11;
    } cases[] = {
        {Flag::Command, Mod4Mask},    {Flag::Option, Mod1Mask},
        {Flag::Control, ControlMask}, {Flag::Shift, ShiftMask},
        {Flag::CapsLock, LockMask},   {Flag::Command | Flag::Shift | Flag::Option, Mod4Mask | ShiftMask | Mod1Mask}};
    for (const auto& c : cases) {
        EXPECT_EQ(KeyCodes::x11ModifiersFromFlags(c.flags), c.x11);
        EXPECT_EQ(KeyCodes::flagsFromX11Modifiers(c.x11), c.flags);
    }
    EXPECT_EQ(KeyCodes::x11ModifiersFromFlags(Flag::Command | (1ull << 23) | 0x100), unsigned(Mod4Mask));
    EXPECT_EQ(KeyCodes::flagsFromX11Modifiers(Mod2Mask | Mod5Mask), 0u);
}

class NoDisplayTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        m_display = qgetenv("DISPLAY");
        qunsetenv("DISPLAY");
        hb::HotKeys::setBackend(nullptr);
    }
    void TearDown() override
    {
        hb::HotKeys::setBackend(std::make_unique<hb::RecordingHotKeyBackend>());
        if (!m_display.isNull())
            qputenv("DISPLAY", m_display);
    }
    QByteArray m_display;
};

TEST_F(NoDisplayTest, RegistrationIsRefusedAndKeyNamesFallBackToUSLayout)
{
    hb::Error error;
    EXPECT_FALSE(hb::HotKeys::backend().registerHotKey(18, Flag::Command, 1, &error).has_value());
    EXPECT_EQ(error.code, ENXIO);
    EXPECT_FALSE(error.localizedDescription().isEmpty());

    EXPECT_EQ(hb::HotKeys::keyName(0), "A");
    EXPECT_EQ(hb::HotKeys::keyName(18), "1");
    EXPECT_EQ(hb::HotKeys::keyName(42), "\\");
    EXPECT_EQ(hb::HotKeys::keyName(36), "");
    EXPECT_EQ(hb::HotKeys::keyName(500), "");
}
