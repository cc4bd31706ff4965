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

QVariantMap record(qlonglong keyCode, qlonglong flags)
{
    return {{"KeyCode", keyCode}, {"ModifierFlags", flags}};
}
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

TEST_F(HotKeyManageTest, WithoutARecordSuperAltHIsRegisteredAndStored)
{
    manager.registerHotKey();
    ASSERT_NE(manager.hotKey(), nullptr);
    // Super+1 opens the dock's first program on GNOME and KDE Plasma; Super+Alt+H is free everywhere.
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{4, 1572864}}));
    const QVariantMap stored = storedRecord().toMap();
    EXPECT_EQ(stored.value("KeyCode").toLongLong(), 4);
    EXPECT_EQ(stored.value("ModifierFlags").toLongLong(), 1572864);
    EXPECT_EQ(stored.size(), 2);
    EXPECT_EQ(manager.state().kind, HBHotKeyState::Kind::inForce);
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
        EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{4, Flag::Command | Flag::Option}}))
            << bad.toString().toStdString();
        EXPECT_EQ(storedRecord().toMap().value("KeyCode").toLongLong(), 4);
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
    EXPECT_EQ(manager.getHotKeyAsString(), "Super+Shift+F1");
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
    const std::optional<hb::Error> refusal = manager.registerHotKeyWithKeyCode(5, Flag::Control);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->code, hb::HotKeyError::taken);
    EXPECT_EQ(manager.state(), (HBHotKeyState{HBHotKeyState::Kind::inForce, 122, Flag::Command, std::nullopt, {}}));
    ASSERT_NE(manager.hotKey(), nullptr);
    EXPECT_EQ(manager.hotKey()->keyCode(), 122);
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{122, Flag::Command}}));
    EXPECT_EQ(storedRecord(), QVariant(record(122, Flag::Command)));
    EXPECT_EQ(backend->release(122, Flag::Command), 1);
    EXPECT_EQ(fired, 1);
}

TEST_F(HotKeyManageTest, RegisteringTheKeyInForceAgainKeepsItAndReportsIt)
{
    constexpr std::uint64_t superAlt = Flag::Command | Flag::Option;
    manager.registerHotKey();
    manager.registerHotKey();
    manager.registerHotKeyWithKeyCode(4, superAlt);
    ASSERT_NE(manager.hotKey(), nullptr);
    EXPECT_EQ(manager.getHotKeyAsString(), manager.getStringFrom(4, superAlt));
    EXPECT_EQ(grabbed(), (std::vector<std::pair<std::uint16_t, std::uint64_t>>{{4, superAlt}}));
    EXPECT_EQ(manager.state().kind, HBHotKeyState::Kind::inForce) << "the duplicate is no refusal";
    EXPECT_EQ(backend->release(4, superAlt), 1);
    EXPECT_EQ(fired, 1);
}

TEST_F(HotKeyManageTest, ARefusalAtStartIsTheStateAndLeavesTheStoredRecordAsItIs)
{
    using Kind = HBHotKeyState::Kind;
    int changes = 0;
    QObject listening;
    QObject::connect(&manager, &HBHotKeyManage::stateChanged, &listening, [&] { ++changes; });
    hb::UserDefaults::standard().setObject("HotKey", record(18, Flag::Command));
    backend->refuse(18, Flag::Command);
    manager.registerHotKey();
    EXPECT_EQ(manager.state().kind, Kind::taken);
    EXPECT_EQ(manager.state().keyCode, 18);
    EXPECT_EQ(manager.state().modifierFlags, Flag::Command);
    EXPECT_EQ(manager.hotKey(), nullptr);
    EXPECT_EQ(storedRecord(), QVariant(record(18, Flag::Command))) << "the person's choice stays for when it is free";
    EXPECT_EQ(changes, 1);

    // Another combination recorded then is in force.
    EXPECT_FALSE(manager.registerHotKeyWithKeyCode(19, Flag::Command).has_value());
    EXPECT_EQ(manager.state().kind, Kind::inForce);
    EXPECT_EQ(changes, 2);

    // A session without global hot keys refuses every combination.
    center.unregisterAllHotKeys();
    backend->setUnavailable(true);
    manager.registerHotKey();
    EXPECT_EQ(manager.state().kind, Kind::unavailable);
    EXPECT_TRUE(grabbed().empty());
}

TEST_F(HotKeyManageTest, ADesktopThatAnswersLaterSettlesTheState)
{
    using Kind = HBHotKeyState::Kind;
    backend->setSettlesLater(true);
    const hb::Error portalError{hb::NSPOSIXErrorDomain,
                                EIO,
                                {{hb::NSLocalizedDescriptionKey, QString("The desktop did not bind the hot key.")}}};
    const struct {
        const char* name;
        hb::HotKeySettlement settlement;
        Kind kind;
        bool inForce;
    } cases[] = {
        {"bound, in the desktop's words", {std::nullopt, QString("Meta+Alt+H")}, Kind::inForce, true},
        {"bound without saying to what", {std::nullopt, std::nullopt}, Kind::inForce, true},
        {"bound to no keys", {std::nullopt, QString()}, Kind::unassigned, true},
        {"refused", {portalError, std::nullopt}, Kind::failed, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        center.unregisterAllHotKeys();
        manager.registerHotKeyWithKeyCode(4, Flag::Command | Flag::Option);
        ASSERT_EQ(manager.state().kind, Kind::binding);
        ASSERT_EQ(backend->registrations().size(), 1);
        backend->settle(backend->registrations().first().ref, c.settlement);
        EXPECT_EQ(manager.state().kind, c.kind);
        EXPECT_EQ(manager.state().trigger, c.settlement.trigger);
        EXPECT_EQ(manager.hotKey() != nullptr, c.inForce);
        EXPECT_EQ(center.registeredHotKeys().size(), c.inForce ? 1 : 0);
    }
    EXPECT_EQ(manager.state().error, portalError);

    // The answer about a combination replaced meanwhile changes nothing.
    manager.registerHotKeyWithKeyCode(4, Flag::Command | Flag::Option);
    const hb::HotKeyBackend::Ref first = backend->registrations().first().ref;
    manager.registerHotKeyWithKeyCode(19, Flag::Command);
    backend->settle(first, {portalError, std::nullopt});
    EXPECT_EQ(manager.state().kind, Kind::binding);
    EXPECT_EQ(manager.state().keyCode, 19);
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
        {122, Flag::Command | Flag::Shift, "Super+Shift+F1"},
        {58, Flag::Option | Flag::Control, "Alt+Ctrl"},
        {55, Flag::Command, "Super"},
        {18, Flag::Command, "Super+1"},
        {0, Flag::Control | Flag::Option | Flag::Shift | Flag::Command, "Super+Shift+Alt+Ctrl+A"},
        {49, Flag::Control, "Ctrl+⎵"},
        {36, Flag::CapsLock, "↩"},
        {63, 0, "Super"},
        {72, 0, "🔊"},
        {90, Flag::Shift, "Shift+F20"},
        {125, 0, "↓"},
        {1000, Flag::Command, "Super"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(manager.getStringFrom(c.keyCode, c.flags), c.text) << c.keyCode;
    EXPECT_EQ(specialKeySymbolTable().size(), 46);
    EXPECT_EQ(manager.getHotKeyStringFromDictionary(record(122, Flag::Command | Flag::Shift)), "Super+Shift+F1");
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
