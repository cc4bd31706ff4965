#include "HotKeyFixture.h"

#include "core/hotkey/DDHotKeyUtilities.h"
#include "platform/base/UserDefaults.h"

namespace Flag = hb::ModifierFlag;
using Registration = hb::RecordingHotKeyBackend::Registration;

namespace {
QVariant storedRecord()
{
    hb::UserDefaults::resetSharedInstances();  // read back what reached the file
    return hb::UserDefaults::standard().object("HotKey");
}

QVariantMap record(qlonglong keyCode, qlonglong flags) { return {{"KeyCode", keyCode}, {"ModifierFlags", flags}}; }
}  // namespace

class HotKeyManageTest : public HotKeyFixture {
protected:
    HotKeyManageTest()
    {
        auto recording = std::make_unique<hb::RecordingHotKeyBackend>();
        backend = recording.get();
        hb::HotKeys::setBackend(std::move(recording));
    }
    std::vector<std::pair<std::uint16_t, std::uint64_t>> grabbed() const
    {
        std::vector<std::pair<std::uint16_t, std::uint64_t>> list;
        for (const Registration& r : backend->registrations())
            list.emplace_back(r.keyCode, r.modifierFlags);
        return list;
    }
    hb::RecordingHotKeyBackend* backend;
};

TEST_F(HotKeyManageTest, WithoutARecordCommandOneIsRegisteredAndStored)
{
    manager.registerHotKey();
    ASSERT_NE(manager.hotKey(), nullptr);
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{18, 1048576}}));
    const QVariantMap stored = storedRecord().toMap();
    EXPECT_EQ(stored.value("KeyCode").toLongLong(), 18);
    EXPECT_EQ(stored.value("ModifierFlags").toLongLong(), 1048576);
    EXPECT_EQ(stored.size(), 2);
}

TEST_F(HotKeyManageTest, RecordOfTheWrongShapeFallsBackToTheDefault)
{
    const QVariant cases[] = {
        QString("Command-1"),
        QVariantList{18, 1048576},
        QVariantMap{{"KeyCode", 122}},
        QVariantMap{{"KeyCode", "122"}, {"ModifierFlags", 1048576}},
        record(-1, 1048576),
        record(70000, 1048576),
        record(122, -5),
        QVariantMap{{"KeyCode", 122.5}, {"ModifierFlags", 1048576}},
    };
    for (const QVariant& bad : cases) {
        hb::UserDefaults::standard().setObject("HotKey", bad);
        manager.registerHotKey();
        EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{18, Flag::Command}})) << bad.toString().toStdString();
        EXPECT_EQ(storedRecord().toMap().value("KeyCode").toLongLong(), 18);
        EXPECT_EQ(manager.getHotKeyStringFromDictionary(bad), "");
        center.unregisterAllHotKeys();
    }
}

TEST_F(HotKeyManageTest, StoredRecordIsRegisteredAndLeftAsItIs)
{
    QVariantMap stored = record(122, Flag::Command | Flag::Shift);
    stored.insert("KeyCode", 122.0);  // a number of another type is still that number
    hb::UserDefaults::standard().setObject("HotKey", stored);
    manager.registerHotKey();
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{122, Flag::Command | Flag::Shift}}));
    EXPECT_EQ(storedRecord(), QVariant(stored));
    EXPECT_EQ(manager.getHotKeyAsString(), "⌘⇧F1");
}

TEST_F(HotKeyManageTest, FiresOncePerReleaseAndANewCombinationReplacesTheOld)
{
    manager.registerHotKeyWithKeyCode(122, Flag::Command | Flag::Shift);
    EXPECT_EQ(backend->release(18, Flag::Command), 0);
    EXPECT_EQ(backend->release(122, Flag::Command | Flag::Shift), 1);
    EXPECT_EQ(fired, 1);

    manager.registerHotKeyWithInput(hb::KeyEvent{hb::KeyEvent::Type::keyDown, 0, Flag::Option, 0, false});
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{0, Flag::Option}}));
    EXPECT_EQ(backend->release(122, Flag::Command | Flag::Shift), 0);
    EXPECT_EQ(backend->release(0, Flag::Option), 1);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(storedRecord(), QVariant(record(0, Flag::Option)));
}

TEST_F(HotKeyManageTest, RefusedCombinationLeavesThePreviousOneInForceAndStored)
{
    manager.registerHotKeyWithKeyCode(122, Flag::Command);
    backend->refuse(5, Flag::Control);
    manager.registerHotKeyWithKeyCode(5, Flag::Control);
    ASSERT_NE(manager.hotKey(), nullptr);
    EXPECT_EQ(manager.hotKey()->keyCode(), 122);
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{122, Flag::Command}}));
    EXPECT_EQ(storedRecord(), QVariant(record(122, Flag::Command)));
    EXPECT_EQ(backend->release(122, Flag::Command), 1);
    EXPECT_EQ(fired, 1);
}

TEST_F(HotKeyManageTest, RegisteringTheKeyInForceAgainKeepsItAndReportsIt)
{
    manager.registerHotKey();
    manager.registerHotKey();
    manager.registerHotKeyWithKeyCode(18, Flag::Command);
    ASSERT_NE(manager.hotKey(), nullptr);
    EXPECT_EQ(manager.getHotKeyAsString(), "⌘1");
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{18, Flag::Command}}));
    EXPECT_EQ(backend->release(18, Flag::Command), 1);
    EXPECT_EQ(fired, 1);
}

TEST_F(HotKeyManageTest, DisplayText)
{
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");  // the US layout stands in without an X server
    const struct {
        std::uint16_t keyCode;
        std::uint64_t flags;
        QString text;
    } cases[] = {
        {122, Flag::Command | Flag::Shift, "⌘⇧F1"},
        {58, Flag::Option | Flag::Control, "⌥⌃"},
        {55, Flag::Command, "⌘"},
        {18, Flag::Command, "⌘1"},
        {0, Flag::Control | Flag::Option | Flag::Shift | Flag::Command, "⌘⇧⌥⌃A"},
        {49, Flag::Control, "⌃⎵"},
        {36, Flag::CapsLock, "↩"},
        {63, 0, "⌘"},
        {72, 0, "🔊"},
        {90, Flag::Shift, "⇧F20"},
        {125, 0, "↓"},
        {1000, Flag::Command, "⌘"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(manager.getStringFrom(c.keyCode, c.flags), c.text) << c.keyCode;
    EXPECT_EQ(specialKeySymbolTable().size(), 46);
    EXPECT_EQ(manager.getHotKeyStringFromDictionary(record(122, Flag::Command | Flag::Shift)), "⌘⇧F1");
    if (!display.isNull())
        qputenv("DISPLAY", display);
}

TEST_F(HotKeyManageTest, RegistryKeepsDistinctCombinationsAndReleasesWhatItDrops)
{
    int taskRuns = 0;
    const auto task = [&](const hb::KeyEvent& event) {
        EXPECT_EQ(event.type, hb::KeyEvent::Type::keyUp);
        ++taskRuns;
    };
    const auto plain = center.registerHotKeyWithKeyCode(18, Flag::Command, task);
    const auto shifted = center.registerHotKeyWithKeyCode(18, Flag::Command | Flag::Shift, task);
    ASSERT_TRUE(plain && shifted);
    EXPECT_NE(plain->hotKeyID(), shifted->hotKeyID());
    EXPECT_EQ(center.registerHotKeyWithKeyCode(18, Flag::Command, task), nullptr);
    EXPECT_EQ(center.registeredHotKeys().size(), 2);

    // An equal hot key built elsewhere is refused, the registered one itself is taken as it is.
    EXPECT_EQ(center.registerHotKey(DDHotKey::hotKeyWithKeyCode(18, Flag::Command, task)), nullptr);
    EXPECT_EQ(center.registerHotKey(plain), plain);
    EXPECT_EQ(backend->registrations().size(), 2);

    backend->release(18, Flag::Command | Flag::Shift);
    EXPECT_EQ(taskRuns, 1);

    // Unregistering through an equal stand-in lets go of the system registration too.
    center.unregisterHotKey(DDHotKey::hotKeyWithKeyCode(18, Flag::Command, nullptr));
    EXPECT_FALSE(plain->hotKeyRef().has_value());
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{18, Flag::Command | Flag::Shift}}));

    manager.registerHotKeyWithKeyCode(3, Flag::Control);
    center.unregisterHotKeysWithTarget(&manager, "hotKeyFired");
    EXPECT_TRUE(grabbed().empty());
}

TEST_F(HotKeyManageTest, ActionReachesOnlyATargetThatAnswersIt)
{
    auto stranger = std::make_unique<QObject>();  // has no such action
    const auto ignored = center.registerHotKeyWithKeyCode(7, Flag::Option, stranger.get(), "hotKeyFired", QVariant());
    const auto managed = center.registerHotKeyWithKeyCode(8, Flag::Option, &manager, "hotKeyFired", QVariant());
    ASSERT_TRUE(ignored && managed);
    backend->release(7, Flag::Option);
    stranger.reset();
    backend->release(7, Flag::Option);
    EXPECT_EQ(fired, 0);
    backend->release(8, Flag::Option);
    EXPECT_EQ(fired, 1);
}
