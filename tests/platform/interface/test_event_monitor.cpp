#include "TestEnvironment.h"

#include "platform/interface/CursorStack.h"
#include "platform/interface/EventMonitor.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

namespace {

using hb::Event;
using hb::EventMonitor;
using hb::EventType;

TEST(EventFromQt, ModifierKeysBecomeFlagChangesWithTheirOwnFlagSetPlainly)
{
    struct Case {
        const char* name;
        QEvent::Type type;
        int key;
        Qt::KeyboardModifiers reported;
        EventType expectedType;
        std::uint64_t expectedFlags;
    };
    const Case cases[] = {
        // Whether the platform already counts the pressed key among the modifiers must not matter.
        {"Alt down, not yet reported", QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier, EventType::flagsChanged,
         hb::NSEventModifierFlagOption},
        {"Alt down, reported", QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier, EventType::flagsChanged,
         hb::NSEventModifierFlagOption},
        {"Alt up, still reported", QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier, EventType::flagsChanged, 0},
        {"Alt up with Shift held", QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier | Qt::ShiftModifier,
         EventType::flagsChanged, hb::NSEventModifierFlagShift},
        {"Super is Command", QEvent::KeyPress, Qt::Key_Super_L, Qt::NoModifier, EventType::flagsChanged,
         hb::NSEventModifierFlagCommand},
        {"Control-c", QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, EventType::keyDown,
         hb::NSEventModifierFlagControl},
        {"c released", QEvent::KeyRelease, Qt::Key_C, Qt::NoModifier, EventType::keyUp, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QKeyEvent qtEvent(c.type, c.key, c.reported);
        const std::optional<Event> event = Event::fromQt(qtEvent);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->type, c.expectedType);
        EXPECT_EQ(event->modifierFlags, c.expectedFlags);
    }
    EXPECT_FALSE(Event::fromQt(QEvent(QEvent::MouseMove)));
}

TEST(EventMonitor, HandlersSeeTheirMaskOnceEachAndMaySwallowTheEventBeforeTheFocusedWidget)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(&window);
    layout->addWidget(field);
    window.show();
    field->setFocus();

    int flagChanges = 0;
    int keyDowns = 0;
    bool swallow = false;
    const EventMonitor::Token flags = EventMonitor::addLocalMonitorForEventsMatchingMask(
        hb::NSEventMaskFlagsChanged, [&](const Event& event) -> std::optional<Event> {
            ++flagChanges;
            return event;
        });
    const EventMonitor::Token keys = EventMonitor::addLocalMonitorForEventsMatchingMask(
        hb::NSEventMaskKeyDown, [&](const Event& event) -> std::optional<Event> {
            ++keyDowns;
            if (swallow)
                return std::nullopt;
            return event;
        });

    QTest::keyClick(field, Qt::Key_A);
    EXPECT_EQ(field->text(), "a");
    EXPECT_EQ(keyDowns, 1);  // once, though the event travels from the window to the field
    EXPECT_EQ(flagChanges, 0);

    swallow = true;
    QTest::keyClick(field, Qt::Key_B);
    EXPECT_EQ(field->text(), "a");
    EXPECT_EQ(keyDowns, 2);

    QTest::keyPress(field, Qt::Key_Alt);
    QTest::keyRelease(field, Qt::Key_Alt);
    EXPECT_EQ(flagChanges, 2);

    EventMonitor::removeMonitor(keys);
    EXPECT_FALSE(EventMonitor::isInstalled(keys));
    QTest::keyClick(field, Qt::Key_C);
    EXPECT_EQ(field->text(), "ac");
    EXPECT_EQ(keyDowns, 2);
    EventMonitor::removeMonitor(flags);
    EventMonitor::removeMonitor(flags);  // a second removal is harmless
}

TEST(CursorStack, PopsMatchPushesAndAnEmptyStackStaysEmpty)
{
    hb::CursorStack::pop();
    EXPECT_EQ(hb::CursorStack::depth(), 0);
    EXPECT_FALSE(hb::CursorStack::current());
    hb::CursorStack::push(QCursor(Qt::PointingHandCursor));
    hb::CursorStack::push(QCursor(Qt::DragCopyCursor));
    EXPECT_EQ(hb::CursorStack::current(), Qt::DragCopyCursor);
    hb::CursorStack::pop();
    EXPECT_EQ(hb::CursorStack::current(), Qt::PointingHandCursor);
    hb::CursorStack::pop();
    hb::CursorStack::pop();
    EXPECT_EQ(hb::CursorStack::depth(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    QWidget view;
    hb::CursorRects::addCursorRect(view, view.rect(), QCursor(Qt::PointingHandCursor));
    hb::CursorRects::removeCursorRect(view, view.rect(), QCursor(Qt::DragCopyCursor));  // not its cursor
    EXPECT_EQ(hb::CursorRects::cursorOf(view), Qt::PointingHandCursor);
    hb::CursorRects::removeCursorRect(view, view.rect(), QCursor(Qt::PointingHandCursor));
    EXPECT_FALSE(hb::CursorRects::cursorOf(view));
}

}  // namespace
