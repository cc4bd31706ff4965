#include "platform/desktop/HotKeyPortal.h"
#include "platform/interface/Application.h"

#include "PrivateNotificationBus.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QJsonArray>

namespace Flag = hb::ModifierFlag;

namespace {

// The test portal of the end-to-end tools on a private bus, its calls read back, and the portal backend
// of the program talking to it.
class PortalHotKeyTest : public HarbrillTest {
protected:
    ~PortalHotKeyTest() override
    {
        backend.reset();
        if (m_portal.state() != QProcess::NotRunning) {
            m_portal.terminate();
            m_portal.waitForFinished(3000);
        }
        hb::Application::shared().setActivationToken({});
    }

    bool startPortal(const QStringList& arguments = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        m_portal.setProcessEnvironment(environment);
        m_portal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString script
            = QFileInfo(QStringLiteral(__FILE__)).dir().absoluteFilePath(QStringLiteral("../../e2e/tools/portal.py"));
        m_portal.start(QStringLiteral("/usr/bin/python3"), QStringList{script} + arguments);
        return waitUntil([&] { return readLines(), m_ready; }, 10000);
    }
    void startBackend()
    {
        backend = hb::makePortalHotKeyBackend(bus.connection());
        backend->setReleasedHandler([this](std::uint32_t id, const hb::KeyEvent& event) {
            releases.append({id, event});
        });
        backend->setSettledHandler([this](hb::HotKeyBackend::Ref ref, const hb::HotKeySettlement& settlement) {
            settlements.append({ref, settlement});
        });
    }
    QList<QJsonObject> calls(const QString& kind)
    {
        readLines();
        QList<QJsonObject> matching;
        for (const QJsonObject& call : std::as_const(m_calls))
            if (call.value(QStringLiteral("call")).toString() == kind)
                matching << call;
        return matching;
    }
    // A press of the bound shortcut on the desktop, with an activation token.
    bool press(const QString& token)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.harbrill.Test"), QStringLiteral("Press"));
        call << token;
        const QDBusMessage reply = bus.connection().call(call);
        return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
    }

    PrivateNotificationBus bus{false};
    std::unique_ptr<hb::HotKeyBackend> backend;
    QList<std::pair<std::uint32_t, hb::KeyEvent>> releases;
    QList<std::pair<hb::HotKeyBackend::Ref, hb::HotKeySettlement>> settlements;

private:
    void readLines()
    {
        while (m_portal.canReadLine()) {
            const QByteArray line = m_portal.readLine().trimmed();
            if (line == "READY")
                m_ready = true;
            else
                m_calls << QJsonDocument::fromJson(line).object();
        }
    }
    QProcess m_portal;
    bool m_ready = false;
    QList<QJsonObject> m_calls;
};

TEST_F(PortalHotKeyTest, TheShortcutIsBoundThroughThePortalAndItsActivationFiresWithTheToken)
{
    ASSERT_TRUE(bus.busReady());
    ASSERT_TRUE(startPortal());
    startBackend();
    hb::Error error;
    const auto ref = backend->registerHotKey(4, Flag::Command | Flag::Option, 7, &error);
    ASSERT_TRUE(ref.has_value()) << "granted once the desktop answers";
    EXPECT_TRUE(backend->settlesLater());
    ASSERT_TRUE(waitUntil([&] { return !settlements.isEmpty(); }));
    EXPECT_EQ(settlements.first().first, *ref);
    EXPECT_FALSE(settlements.first().second.error.has_value());
    EXPECT_EQ(settlements.first().second.trigger, QStringLiteral("Meta+Alt+H")) << "the desktop's words for the keys";

    ASSERT_EQ(calls(QStringLiteral("BindShortcuts")).size(), 1);
    const QJsonObject bound = calls(QStringLiteral("BindShortcuts")).first();
    const QJsonObject shortcut = bound.value(QStringLiteral("shortcuts")).toArray().first().toObject();
    EXPECT_EQ(shortcut.value(QStringLiteral("id")).toString(),
              hb::PortalShortcuts::shortcutId(4, Flag::Command | Flag::Option));
    EXPECT_EQ(shortcut.value(QStringLiteral("preferred_trigger")).toString(), QStringLiteral("LOGO+ALT+h"));
    EXPECT_EQ(shortcut.value(QStringLiteral("description")).toString(), QStringLiteral("Open Harbrill"));

    ASSERT_TRUE(press(QStringLiteral("token-1")));
    ASSERT_TRUE(waitUntil([&] { return !releases.isEmpty(); }));
    EXPECT_EQ(releases.first().first, 7u);
    EXPECT_EQ(releases.first().second.keyCode, 4);
    EXPECT_EQ(releases.first().second.modifierFlags, Flag::Command | Flag::Option);
    EXPECT_EQ(hb::Application::shared().pendingActivationToken(), QStringLiteral("token-1"))
        << "the window brought forward presents it";

    // While the recorder records, a press is the recorder's.
    backend->setGrabsSuspended(true);
    ASSERT_TRUE(press(QString()));
    EXPECT_FALSE(waitUntil([&] { return releases.size() > 1; }, 300));
    backend->setGrabsSuspended(false);
    ASSERT_TRUE(press(QString()));
    ASSERT_TRUE(waitUntil([&] { return releases.size() == 2; }));
    EXPECT_FALSE(waitUntil([&] { return releases.size() > 2; }, 300));

    // Letting go of it closes its session, after which a press reaches nothing.
    backend->unregisterHotKey(*ref);
    ASSERT_TRUE(waitUntil([&] { return calls(QStringLiteral("Close")).size() == 1; }));
    EXPECT_EQ(calls(QStringLiteral("Close")).first().value(QStringLiteral("session")),
              bound.value(QStringLiteral("session")));
    EXPECT_FALSE(press(QString()));
}

TEST_F(PortalHotKeyTest, WithoutThePortalOrWhenItRefusesTheRegistrationIsSettledAsRefused)
{
    ASSERT_TRUE(bus.busReady());
    startBackend();  // nothing owns the portal's name on this bus
    hb::Error error;
    const auto pending = backend->registerHotKey(4, Flag::Command | Flag::Option, 1, &error);
    ASSERT_TRUE(pending.has_value());
    ASSERT_TRUE(waitUntil([&] { return !settlements.isEmpty(); }));
    ASSERT_TRUE(settlements.first().second.error.has_value());
    EXPECT_EQ(settlements.first().second.error->code, hb::HotKeyError::noHotKeys);
    EXPECT_FALSE(backend->registerHotKey(19, Flag::Command, 2, &error).has_value()) << "known now: refused at once";
    EXPECT_EQ(error.code, hb::HotKeyError::noHotKeys);

    settlements.clear();
    ASSERT_TRUE(startPortal({QStringLiteral("--refuse")}));
    startBackend();
    const auto refused = backend->registerHotKey(4, Flag::Command | Flag::Option, 3, &error);
    ASSERT_TRUE(refused.has_value());
    ASSERT_TRUE(waitUntil([&] { return !settlements.isEmpty(); }));
    ASSERT_TRUE(settlements.first().second.error.has_value());
    EXPECT_NE(settlements.first().second.error->code, hb::HotKeyError::noHotKeys) << "the portal is there";
    ASSERT_TRUE(waitUntil([&] { return calls(QStringLiteral("Close")).size() == 1; })) << "its session is closed";
}

TEST(PortalShortcutsTest, PreferredTriggersNameTheKeysAsTheShortcutsFormatDoes)
{
    const struct {
        std::uint16_t keyCode;
        std::uint64_t flags;
        const char* trigger;
    } cases[] = {
        {4, Flag::Command | Flag::Option, "LOGO+ALT+h"},
        {18, Flag::Command, "LOGO+1"},
        {122, Flag::Control | Flag::Shift, "CTRL+SHIFT+F1"},
        {49, Flag::Option, "ALT+space"},
        {41, Flag::Control, "CTRL+semicolon"},
        {1000, Flag::Command, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hb::PortalShortcuts::preferredTrigger(c.keyCode, c.flags), QLatin1String(c.trigger)) << c.keyCode;
    EXPECT_NE(hb::PortalShortcuts::shortcutId(4, Flag::Command), hb::PortalShortcuts::shortcutId(4, Flag::Option));
}

}  // namespace
