#include "TestEnvironment.h"

#include "core/hotkey/DDHotKeyCenter.h"
#include "core/hotkey/HBHotKeyManage.h"
#include "core/store/HBConstants.h"
#include "mainwindow/controls/HBCustomViews.h"
#include "mainwindow/controls/HBHotKeyViewController.h"
#include "mainwindow/controls/HBTextView.h"
#include "mainwindow/controls/HotKeyToStringTransformer.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/HotKey.h"
#include "platform/interface/ValueTransformer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

namespace {

namespace Flag = hb::ModifierFlag;

// Kernel input codes of the keys the tests press.
enum InputCode : int { kEsc = 1, k2 = 3, kA = 30, kLeftShift = 42, kLeftCtrl = 29, kF5 = 63, kLeftMeta = 125 };

struct Key {
    int qtKey;
    int inputCode;
    QString text;
};
const Key super{Qt::Key_Super_L, kLeftMeta, {}};
const Key control{Qt::Key_Control, kLeftCtrl, {}};
const Key shift{Qt::Key_Shift, kLeftShift, {}};
const Key two{Qt::Key_2, k2, QStringLiteral("2")};
const Key letterA{Qt::Key_A, kA, QStringLiteral("a")};
const Key f5{Qt::Key_F5, kF5, {}};
const Key escape{Qt::Key_Escape, kEsc, QStringLiteral("\x1b")};

// The recorder in its popover, with a recording hot-key backend and a window around the anchor that
// holds another text field (which must see none of the recorded keys).
class RecorderTest : public HarbrillTest {
protected:
    RecorderTest()
    {
        auto recording = std::make_unique<hb::RecordingHotKeyBackend>();
        backend = recording.get();
        hb::HotKeys::setBackend(std::move(recording));
        HBHotKeyManage::sharedInstance().registerHotKeyWithKeyCode(18, Flag::Command);  // an earlier user's Super+1
        auto* layout = new QVBoxLayout(&window);
        other = new QLineEdit(&window);
        layout->addWidget(other);
        anchor = new QWidget(&window);
        anchor->setFixedSize(40, 20);
        layout->addWidget(anchor);
        window.show();
        QApplication::setActiveWindow(&window);
        other->setFocus();
    }
    ~RecorderTest() override
    {
        if (popover)
            popover->close();
        waitUntil([this] { return popover.isNull(); }, 2000);
        DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
        hb::HotKeys::setBackend(std::make_unique<hb::RecordingHotKeyBackend>());
    }

    bool openRecorder()
    {
        popover = HBHotKeyViewController::showPopover(anchor);
        QApplication::setActiveWindow(popover->window());
        return waitUntil([this] { return recorder().monitor && recorder().monitor->isInstalled(); });
    }

    static HBTextView& recorder() { return HBTextView::sharedInstance(); }

    // Keys go to the window's field, as typing would; the recorder must take them first.
    void send(QEvent::Type type, const Key& key, Qt::KeyboardModifiers modifiers)
    {
        QKeyEvent event(type, key.qtKey, modifiers, quint32(key.inputCode + 8), 0, 0, key.text);
        QCoreApplication::sendEvent(other, &event);
    }
    void press(const Key& key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        send(QEvent::KeyPress, key, modifiers);
    }
    void release(const Key& key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        send(QEvent::KeyRelease, key, modifiers);
    }

    std::vector<std::pair<std::uint16_t, std::uint64_t>> grabbed() const
    {
        std::vector<std::pair<std::uint16_t, std::uint64_t>> list;
        for (const auto& r : backend->registrations())
            list.emplace_back(r.keyCode, r.modifierFlags);
        return list;
    }

    hb::RecordingHotKeyBackend* backend;
    QWidget window;
    QLineEdit* other;
    QWidget* anchor;
    QPointer<hb::Popover> popover;
};

TEST_F(RecorderTest, ACombinationCompletedByAKeyIsShownAndRegisteredOnlyWithCommandControlOrOption)
{
    struct Case {
        const char* name;
        std::vector<std::pair<Key, Qt::KeyboardModifiers>> presses;  // each pressed in turn, held
        QString text;
        bool accepted;
        std::uint16_t keyCode;
        std::uint64_t flags;
    };
    const Case cases[] = {
        {"Super then 2",
         {{super, Qt::NoModifier}, {two, Qt::MetaModifier}},
         QStringLiteral("SUPER+2"),
         true,
         19,
         Flag::Command},
        {"Control then A",
         {{control, Qt::NoModifier}, {letterA, Qt::ControlModifier}},
         QStringLiteral("CTRL+A"),
         true,
         0,
         Flag::Control},
        {"F5 alone", {{f5, Qt::NoModifier}}, QString(), true, 96, 0},
        {"A alone", {{letterA, Qt::NoModifier}}, QStringLiteral("A"), false, 0, 0},
        {"Shift then A",
         {{shift, Qt::NoModifier}, {letterA, Qt::ShiftModifier}},
         QStringLiteral("SHIFT+A"),
         false,
         0,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HBHotKeyManage::sharedInstance().registerHotKeyWithKeyCode(18, Flag::Command);
        ASSERT_TRUE(openRecorder());
        for (const auto& [key, modifiers] : c.presses)
            press(key, modifiers);

        if (!c.text.isEmpty()) {
            EXPECT_EQ(recorder().toPlainText(), c.text);
        }
        EXPECT_EQ(recorder().textColor(), c.accepted ? HBTextView::acceptedColor() : HBTextView::incompleteColor());
        const std::pair<std::uint16_t, std::uint64_t> expected
            = c.accepted ? std::pair<std::uint16_t, std::uint64_t>{c.keyCode, c.flags}
                         : std::pair<std::uint16_t, std::uint64_t>{18, Flag::Command};
        EXPECT_EQ(grabbed(), (std::vector{expected})) << "exactly one hot key in force";
        const QVariantMap stored = hb::UserDefaults::standard().object(hotKeyDefaultsKey).toMap();
        EXPECT_EQ(stored.value(QStringLiteral("KeyCode")).toLongLong(), expected.first);
        EXPECT_EQ(stored.value(QStringLiteral("ModifierFlags")).toULongLong(), expected.second);
        EXPECT_EQ(recorder().monitor->isInstalled(), !c.accepted) << "an accepted combination ends recording";
        EXPECT_TRUE(other->text().isEmpty()) << "no key reached the window's field";

        popover->close();
        ASSERT_TRUE(waitUntil([this] { return popover.isNull(); }));
        EXPECT_FALSE(recorder().monitor->isInstalled());
    }
}

TEST_F(RecorderTest, EscapeOrReturnAloneClosesThePopoverAndKeepsTheHotKey)
{
    const Key returnKey{Qt::Key_Return, 28, QStringLiteral("\r")};
    for (const Key& key : {escape, returnKey}) {
        ASSERT_TRUE(openRecorder());
        int dismissals = 0;
        hb::NotificationCenter::defaultCenter().addObserver(this, dimissHotKeyPopoverNotification, nullptr,
                                                            [&](const hb::Notification&) { ++dismissals; });
        press(key);
        hb::NotificationCenter::defaultCenter().removeObserver(this);
        EXPECT_EQ(dismissals, 1);
        EXPECT_TRUE(waitUntil([this] { return popover.isNull(); }));
        EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{18, Flag::Command}}));
    }
}

// Spelled out, a long combination would wrap out of the recorder's box: it shrinks onto one line.
TEST_F(RecorderTest, ALongCombinationStaysOnTheRecordersOneLine)
{
    ASSERT_TRUE(openRecorder());
    press(super);
    press(shift, Qt::MetaModifier);
    press(control, Qt::MetaModifier | Qt::ShiftModifier);
    press(letterA, Qt::MetaModifier | Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(recorder().toPlainText(), QStringLiteral("SUPER+SHIFT+CTRL+A"));
    EXPECT_EQ(recorder().document()->firstBlock().layout()->lineCount(), 1);
}

TEST_F(RecorderTest, ModifiersAloneShowWhileHeldAndEmptyWhenReleased)
{
    ASSERT_TRUE(openRecorder());
    press(shift);
    EXPECT_EQ(recorder().toPlainText(), QStringLiteral("SHIFT"));
    EXPECT_EQ(recorder().textColor(), HBTextView::incompleteColor());
    release(shift, Qt::ShiftModifier);
    EXPECT_TRUE(recorder().toPlainText().isEmpty());
    EXPECT_EQ(grabbed().size(), 1u);
}

TEST_F(RecorderTest, TheHotKeyInForceCanBeRecordedBecauseItsGrabIsLetGoWhileRecording)
{
    EXPECT_EQ(backend->release(18, Flag::Command), 1);
    ASSERT_TRUE(openRecorder());
    EXPECT_TRUE(backend->grabsSuspended());
    EXPECT_EQ(backend->release(18, Flag::Command), 0) << "the session's grab would take the keys from the recorder";
    press(super);
    press(two, Qt::MetaModifier);
    EXPECT_FALSE(backend->grabsSuspended());
    EXPECT_EQ(backend->release(19, Flag::Command), 1);
    EXPECT_EQ(backend->release(18, Flag::Command), 0);
}

TEST_F(RecorderTest, ACombinationTheSessionRefusesIsShownAsRefusedAndRecordingGoesOn)
{
    backend->refuse(19, Flag::Command);
    ASSERT_TRUE(openRecorder());
    auto* controller = qobject_cast<HBHotKeyViewController*>(popover->contentViewController());
    ASSERT_TRUE(controller);
    press(super);
    press(two, Qt::MetaModifier);
    EXPECT_EQ(recorder().toPlainText(), QStringLiteral("SUPER+2"));
    EXPECT_EQ(recorder().textColor(), HBTextView::refusedColor());
    EXPECT_EQ(controller->placeHolderLabel->text(),
              QStringLiteral("SUPER+2 is taken by another program: type another"));
    EXPECT_TRUE(recorder().monitor->isInstalled()) << "still recording";
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{18, Flag::Command}}))
        << "the previous one stays";
    EXPECT_EQ(hb::UserDefaults::standard().object(hotKeyDefaultsKey).toMap().value(QStringLiteral("KeyCode")).toInt(),
              18);

    press(control);
    press(letterA, Qt::ControlModifier);
    EXPECT_EQ(recorder().textColor(), HBTextView::acceptedColor());
    EXPECT_FALSE(recorder().monitor->isInstalled());
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{0, Flag::Control}}));
}

TEST_F(RecorderTest, InASessionWithoutGlobalHotKeysTheRecorderSaysSoAndRecordsNothing)
{
    DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
    backend->setUnavailable(true);
    HBHotKeyManage::sharedInstance().registerHotKey();
    ASSERT_EQ(HBHotKeyManage::sharedInstance().state().kind, HBHotKeyState::Kind::unavailable);

    popover = HBHotKeyViewController::showPopover(anchor);
    QApplication::setActiveWindow(popover->window());
    auto* controller = qobject_cast<HBHotKeyViewController*>(popover->contentViewController());
    ASSERT_TRUE(controller);
    EXPECT_EQ(controller->placeHolderLabel->text(), QStringLiteral("No global hot keys in this session"));
    EXPECT_FALSE(controller->textField->isVisible());
    EXPECT_FALSE(waitUntil([] { return recorder().monitor && recorder().monitor->isInstalled(); }, 300));
    press(super);
    press(two, Qt::MetaModifier);
    EXPECT_TRUE(backend->registrations().isEmpty());
    EXPECT_EQ(other->text(), QStringLiteral("2")) << "the keys were not taken from the window";
}

TEST_F(RecorderTest, LaunchedHotkeyIsSetExactlyWhileThePopoverIsShown)
{
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    EXPECT_FALSE(defaults.boolForKey(launchedHotkeyDefaultsKey));
    ASSERT_TRUE(openRecorder());
    EXPECT_TRUE(defaults.boolForKey(launchedHotkeyDefaultsKey));
    popover->close();
    ASSERT_TRUE(waitUntil([this] { return popover.isNull(); }));
    EXPECT_FALSE(defaults.boolForKey(launchedHotkeyDefaultsKey));
}

TEST(HotKeyToStringTransformer, ShortTextsAreLargerAndEverythingIsRaisedByFivePoints)
{
    const struct {
        qlonglong keyCode;
        qlonglong flags;
        QString text;
        double pointSize;
    } cases[] = {
        {96, 0, QStringLiteral("F5"), 32},
        {18, qlonglong(Flag::Command), QStringLiteral("SUPER+1"), 22},
        {122, qlonglong(Flag::Command | Flag::Shift), QStringLiteral("SUPER+SHIFT+F1"), 22},
    };
    HotKeyToStringTransformer transformer;
    EXPECT_FALSE(transformer.allowsReverseTransformation());
    for (const auto& c : cases) {
        const QVariant value = transformer.transformedValue(
            QVariantMap{{QStringLiteral("KeyCode"), c.keyCode}, {QStringLiteral("ModifierFlags"), c.flags}});
        ASSERT_TRUE(value.canConvert<HBAttributedString>());
        const auto text = value.value<HBAttributedString>();
        EXPECT_EQ(text.string, c.text);
        EXPECT_EQ(text.font.pointSizeF(), c.pointSize) << c.text.toStdString();
        EXPECT_EQ(text.baselineOffset, 5.0);
    }
}

}  // namespace

namespace {

TEST_F(RecorderTest, TheHotKeyLabelShowsNoKeyThatDoesNotWork)
{
    using Kind = HBHotKeyState::Kind;
    hb::ValueTransformer::setValueTransformer(std::make_shared<HotKeyToStringTransformer>(),
                                              QStringLiteral("HotKeyToStringTransformer"));
    HBHotKeyLabel label(&window);
    HBHotKeyManage& manager = HBHotKeyManage::sharedInstance();
    DDHotKeyCenter& center = DDHotKeyCenter::sharedHotKeyCenter();
    const struct {
        const char* name;
        std::function<void()> arrange;
        Kind kind;
        QString text;
        QString description;
        bool struckOut;
    } cases[] = {
        {"in force", [] {}, Kind::inForce, QStringLiteral("SUPER+1"), QStringLiteral("SUPER+1"), false},
        {"three signs", [&] { manager.registerHotKeyWithKeyCode(122, Flag::Command | Flag::Shift); }, Kind::inForce,
         QStringLiteral("SUPER+SHIFT+F1"), QStringLiteral("SUPER+SHIFT+F1"), false},
        {"back to Super+1", [&] { manager.registerHotKeyWithKeyCode(18, Flag::Command); }, Kind::inForce,
         QStringLiteral("SUPER+1"), QStringLiteral("SUPER+1"), false},
        {"taken",
         [&] {
             center.unregisterAllHotKeys();
             backend->refuse(18, Flag::Command);
             manager.registerHotKey();
         },
         Kind::taken, QStringLiteral("SUPER+1"), QStringLiteral("SUPER+1 (does not work)"), true},
        {"asked of the desktop",
         [&] {
             backend->setSettlesLater(true);
             manager.registerHotKeyWithKeyCode(19, Flag::Command);
         },
         Kind::binding, HBHotKeyLabel::noKeyText, HBHotKeyLabel::noKeyDescription, false},
        {"bound, in the desktop's words",
         [&] {
             backend->settle(backend->registrations().last().ref, {std::nullopt, QStringLiteral("Meta+2")});
         },
         Kind::inForce, QStringLiteral("Meta+2"), QStringLiteral("Meta+2"), false},
        {"no hot keys in the session",
         [&] {
             center.unregisterAllHotKeys();
             backend->setUnavailable(true);
             manager.registerHotKey();
         },
         Kind::unavailable, HBHotKeyLabel::noKeyText, HBHotKeyLabel::noKeyDescription, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        ASSERT_EQ(manager.state().kind, c.kind);
        EXPECT_EQ(label.shownText(), c.text);
        EXPECT_GE(label.sizeHint().width(), label.findChild<QLabel*>()->sizeHint().width()) << "the text fits";
        EXPECT_EQ(label.accessibleDescription(), c.description);
        EXPECT_EQ(label.findChild<QLabel*>()->font().strikeOut(), c.struckOut);
    }
    hb::ValueTransformer::setValueTransformer(nullptr, QStringLiteral("HotKeyToStringTransformer"));
}

TEST_F(RecorderTest, TheHotKeyLabelFollowsTheStoredHotKeyAndOpensTheRecorder)
{
    hb::ValueTransformer::setValueTransformer(std::make_shared<HotKeyToStringTransformer>(),
                                              QStringLiteral("HotKeyToStringTransformer"));
    HBHotKeyLabel label(&window);
    label.show();
    EXPECT_EQ(label.shownText(), QStringLiteral("SUPER+1"));
    HBHotKeyManage::sharedInstance().registerHotKeyWithKeyCode(19, Flag::Command);
    EXPECT_EQ(label.shownText(), QStringLiteral("SUPER+2"));

    label.click();
    popover = label.recorderPopover();
    ASSERT_TRUE(popover);
    EXPECT_TRUE(waitUntil([] { return recorder().monitor && recorder().monitor->isInstalled(); }));
    hb::ValueTransformer::setValueTransformer(nullptr, QStringLiteral("HotKeyToStringTransformer"));
}

}  // namespace
