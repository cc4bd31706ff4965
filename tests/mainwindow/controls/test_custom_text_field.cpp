#include "TestEnvironment.h"

#include "mainwindow/controls/HBCustomViews.h"

#include <QApplication>
#include <QClipboard>

namespace {

// Control stands for Command here; the masked modifiers must match exactly.
TEST(CustomTextField, OnlyExactlyControlOrControlShiftMakeEditingShortcuts)
{
    const std::uint64_t control = hb::NSEventModifierFlagControl;
    const std::uint64_t shift = hb::NSEventModifierFlagShift;
    const std::uint64_t option = hb::NSEventModifierFlagOption;
    const std::uint64_t command = hb::NSEventModifierFlagCommand;
    const struct {
        const char* name;
        std::uint64_t flags;
        QString characters;
        bool copies;
    } cases[] = {
        {"Control-C copies", control, QStringLiteral("c"), true},
        {"Control-C with Caps Lock is left to the field itself", control | hb::NSEventModifierFlagCapsLock,
         QStringLiteral("c"), false},
        {"Control-Option-C is not copy", control | option, QStringLiteral("c"), false},
        {"Control-Shift-C is not copy", control | shift, QStringLiteral("C"), false},
        {"Super-C is not copy", command, QStringLiteral("c"), false},
        {"C alone is not copy", 0, QStringLiteral("c"), false},
    };
    QWidget window;
    CustomTextField field(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    field.setFocus();
    ASSERT_TRUE(waitUntil([&] { return field.hasFocus(); }));
    for (const auto& c : cases) {
        QApplication::clipboard()->setText(QStringLiteral("before"));
        field.setText(QStringLiteral("held text"));
        field.selectAll();
        const bool handled = field.performKeyEquivalent({hb::EventType::keyDown, c.flags, Qt::Key_C, c.characters});
        EXPECT_EQ(QApplication::clipboard()->text() == QStringLiteral("held text"), c.copies) << c.name;
        EXPECT_EQ(handled, c.copies) << c.name;
    }
}

TEST(CustomTextField, ControlShiftZRedoes)
{
    QWidget window;
    CustomTextField field(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    field.setFocus();
    ASSERT_TRUE(waitUntil([&] { return field.hasFocus(); }));
    field.insert(QStringLiteral("typed"));
    const std::uint64_t control = hb::NSEventModifierFlagControl;
    EXPECT_TRUE(field.performKeyEquivalent({hb::EventType::keyDown, control, Qt::Key_Z, QStringLiteral("z")}));
    EXPECT_EQ(field.text(), QString());
    EXPECT_TRUE(field.performKeyEquivalent(
        {hb::EventType::keyDown, control | hb::NSEventModifierFlagShift, Qt::Key_Z, QStringLiteral("Z")}));
    EXPECT_EQ(field.text(), QStringLiteral("typed"));
}

}  // namespace
