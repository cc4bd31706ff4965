#include "platform/desktop/HotKeyPortal.h"

#include "platform/base/Log.h"
#include "platform/base/ProgramIdentity.h"
#include "platform/interface/Application.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QObject>
#include <QVariantMap>

#include <xkbcommon/xkbcommon.h>

#include <functional>
#include <vector>

namespace hb {

namespace portal {
// One shortcut as the portal passes it: an id and its properties.
struct Shortcut {
    QString id;
    QVariantMap properties;
};
using ShortcutList = QList<Shortcut>;

QDBusArgument& operator<<(QDBusArgument& argument, const Shortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Shortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}
}  // namespace portal

}  // namespace hb

Q_DECLARE_METATYPE(hb::portal::Shortcut)
Q_DECLARE_METATYPE(hb::portal::ShortcutList)

namespace hb {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
// What the desktop's shortcut settings call the shortcut.
QString shortcutDescription()
{
    return QStringLiteral("Open ") + programIdentity().name;
}
// The portal may first have to be started on the bus.
constexpr int probeTimeoutMs = 10000;

Error portalError(int code, const QString& description)
{
    return Error{NSPOSIXErrorDomain, code, {{NSLocalizedDescriptionKey, description}}};
}

// The keysym name of a key position (input code + 8) on the default layout of xkbcommon (the
// XKB_DEFAULT_* variables, else us): the portal names keys by keysym.
QString keysymName(int evdevCode)
{
    static xkb_keymap* keymap = [] {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_keymap* map = context ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
        if (context)
            xkb_context_unref(context);
        return map;
    }();
    xkb_keysym_t sym = XKB_KEY_NoSymbol;
    if (keymap) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, xkb_keycode_t(evdevCode + 8), 0, 0, &syms) > 0)
            sym = syms[0];
    }
    if (sym == XKB_KEY_NoSymbol) {
        const std::optional<std::uint16_t> keyCode = KeyCodes::virtualKeyCodeForEvdevCode(evdevCode);
        const QString character = keyCode ? KeyCodes::usLayoutCharacter(*keyCode) : QString();
        if (character.size() == 1)
            sym = xkb_utf32_to_keysym(character.at(0).unicode());
    }
    char name[64] = {};
    if (sym == XKB_KEY_NoSymbol || xkb_keysym_get_name(sym, name, sizeof name) <= 0)
        return {};
    return QString::fromLatin1(name);
}

// The last element of a request's or session's object path: letters, digits and underscores.
QString senderPathElement(const QDBusConnection& bus)
{
    return bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
}

// One portal request: subscribed to its Response before the call is made (the answer may come at
// once), calls back once and goes.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(uint response, const QVariantMap& results)>;

    PortalRequest(const QDBusConnection& bus, const QString& path, Callback callback, QObject* parent)
        : QObject(parent), m_bus(bus), m_callback(std::move(callback))
    {
        follow(path);
    }
    ~PortalRequest() override { unsubscribe(); }

    // An older portal may answer on another path than the one the token asked for.
    void follow(const QString& path)
    {
        if (path == m_path)
            return;
        unsubscribe();
        m_path = path;
        m_bus.connect(portalService, m_path, requestInterface, QStringLiteral("Response"), this,
                      SLOT(response(uint, QVariantMap)));
    }
    void fail(const QDBusError& error)
    {
        HBDebug() << "Portal call failed:" << error.name() << error.message();
        answer(2, {});
    }

public slots:
    void response(uint code, const QVariantMap& results) { answer(code, results); }

private:
    void answer(uint code, const QVariantMap& results)
    {
        if (!m_callback)
            return;
        const Callback callback = std::exchange(m_callback, nullptr);
        deleteLater();
        callback(code, results);
    }
    void unsubscribe()
    {
        if (!m_path.isEmpty())
            m_bus.disconnect(portalService, m_path, requestInterface, QStringLiteral("Response"), this,
                             SLOT(response(uint, QVariantMap)));
    }

    QDBusConnection m_bus;
    QString m_path;
    Callback m_callback;
};

class PortalHotKeyBackend final : public QObject, public HotKeyBackend {
    Q_OBJECT
public:
    explicit PortalHotKeyBackend(const QDBusConnection& bus) : m_bus(bus)
    {
        qDBusRegisterMetaType<portal::Shortcut>();
        qDBusRegisterMetaType<portal::ShortcutList>();
        // Qt's D-Bus takes no object path among a signal slot's parameters: the message is read here.
        m_bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                      SLOT(activated(QDBusMessage)));
        probe();
    }
    ~PortalHotKeyBackend() override
    {
        for (const Binding& binding : m_bindings)
            closeSession(binding.session);
    }

    bool settlesLater() const override { return true; }

    std::optional<Ref> registerHotKey(std::uint16_t keyCode, std::uint64_t modifierFlags, std::uint32_t id,
                                      Error* error) override
    {
        if (m_availability == Availability::unavailable) {
            if (error)
                *error = unavailableError();
            return std::nullopt;
        }
        const Ref ref = m_nextRef++;
        m_bindings.push_back({ref, id, keyCode, modifierFlags, {}, false});
        if (m_availability == Availability::available)
            createSession(ref);
        return ref;
    }

    void unregisterHotKey(Ref ref) override
    {
        for (auto it = m_bindings.begin(); it != m_bindings.end(); ++it) {
            if (it->ref != ref)
                continue;
            // A session still on its way is closed when it arrives (its binding is gone by then).
            closeSession(it->session);
            m_bindings.erase(it);
            return;
        }
    }

public slots:
    // Activated(o session_handle, s shortcut_id, t timestamp, a{sv} options).
    void activated(const QDBusMessage& signal)
    {
        const QList<QVariant> arguments = signal.arguments();
        if (arguments.size() < 4)
            return;
        const QString session = arguments.at(0).value<QDBusObjectPath>().path();
        const QString shortcutId = arguments.at(1).toString();
        const qulonglong timestamp = arguments.at(2).toULongLong();
        const QVariantMap options = qdbus_cast<QVariantMap>(arguments.at(3));
        const Binding* binding = bindingForSession(session);
        if (!binding || !binding->bound
            || shortcutId != PortalShortcuts::shortcutId(binding->keyCode, binding->modifierFlags) || grabsSuspended())
            return;
        const QString token = options.value(QStringLiteral("activation_token")).toString();
        if (!token.isEmpty())
            Application::shared().setActivationToken(token);
        released(binding->id, KeyEvent{KeyEvent::Type::keyUp, binding->keyCode, binding->modifierFlags,
                                       std::uint64_t(timestamp / 1000), false});
    }

private:
    enum class Availability { unknown, available, unavailable };
    struct Binding {
        Ref ref;
        std::uint32_t id;
        std::uint16_t keyCode;
        std::uint64_t modifierFlags;
        QString session;  // once the portal created it
        bool bound;
    };

    static Error unavailableError()
    {
        return portalError(HotKeyError::noHotKeys,
                           QStringLiteral("The desktop offers programs no global shortcuts in this session."));
    }

    Binding* binding(Ref ref)
    {
        for (Binding& b : m_bindings)
            if (b.ref == ref)
                return &b;
        return nullptr;
    }
    const Binding* bindingForSession(const QString& session) const
    {
        for (const Binding& b : m_bindings)
            if (!b.session.isEmpty() && b.session == session)
                return &b;
        return nullptr;
    }

    // Whether the portal offers global shortcuts: it answers for the interface's version.
    void probe()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        call << shortcutsInterface << QStringLiteral("version");
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, probeTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *finished;
            if (reply.isError()) {
                qCInfo(hbLog).noquote() << "No global hot key in this session: the desktop portal offers no global"
                                           " shortcuts ("
                                               + reply.error().message() + ")";
                m_availability = Availability::unavailable;
                const std::vector<Binding> pending = std::exchange(m_bindings, {});
                for (const Binding& b : pending)
                    settled(b.ref, {unavailableError(), {}});
                return;
            }
            m_availability = Availability::available;
            std::vector<Ref> pending;
            for (const Binding& b : m_bindings)
                pending.push_back(b.ref);
            for (Ref ref : pending)
                createSession(ref);
        });
    }

    QString nextToken() { return programIdentity().command + QString::number(++m_tokens); }
    QString requestPath(const QString& token) const
    {
        return portalPath + QStringLiteral("/request/") + senderPathElement(m_bus) + QLatin1Char('/') + token;
    }

    // Calls a portal method that answers through a request; `callback` gets the Response.
    void request(const QString& method, QList<QVariant> arguments, const QString& token,
                 PortalRequest::Callback callback)
    {
        auto* pending = new PortalRequest(m_bus, requestPath(token), std::move(callback), this);
        QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface, method);
        call.setArguments(arguments);
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), pending);
        connect(watcher, &QDBusPendingCallWatcher::finished, pending, [pending](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<QDBusObjectPath> reply = *finished;
            if (reply.isError())
                pending->fail(reply.error());
            else
                pending->follow(reply.value().path());
        });
    }

    void createSession(Ref ref)
    {
        const QString token = nextToken();
        const QVariantMap options{{QStringLiteral("handle_token"), token},
                                  {QStringLiteral("session_handle_token"), token}};
        request(QStringLiteral("CreateSession"), {options}, token, [this, ref](uint code, const QVariantMap& results) {
            // Documented as an object path; some portals send it as a string.
            const QVariant handle = results.value(QStringLiteral("session_handle"));
            const QString session = handle.typeId() == qMetaTypeId<QDBusObjectPath>()
                                        ? handle.value<QDBusObjectPath>().path()
                                        : handle.toString();
            Binding* hotKey = binding(ref);
            if (!hotKey) {
                closeSession(session);  // unregistered meanwhile
                return;
            }
            if (code != 0 || session.isEmpty())
                return refuse(ref,
                              portalError(EIO, QStringLiteral("The desktop portal did not open a shortcut session.")));
            hotKey->session = session;
            bindShortcut(ref);
        });
    }

    void bindShortcut(Ref ref)
    {
        const Binding* requested = binding(ref);
        const QString id = PortalShortcuts::shortcutId(requested->keyCode, requested->modifierFlags);
        QVariantMap properties{{QStringLiteral("description"), shortcutDescription()}};
        const QString trigger = PortalShortcuts::preferredTrigger(requested->keyCode, requested->modifierFlags);
        if (!trigger.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), trigger);
        const portal::ShortcutList shortcuts{{id, properties}};
        const QString token = nextToken();
        const QVariantMap options{{QStringLiteral("handle_token"), token}};
        request(QStringLiteral("BindShortcuts"),
                {QVariant::fromValue(QDBusObjectPath(requested->session)), QVariant::fromValue(shortcuts), QString(),
                 options},
                token, [this, ref, id](uint code, const QVariantMap& results) {
                    Binding* hotKey = binding(ref);
                    if (!hotKey)
                        return;
                    if (code == 1)
                        return refuse(
                            ref,
                            portalError(ECANCELED, QStringLiteral("The hot key was not confirmed on the desktop.")));
                    if (code != 0)
                        return refuse(ref, portalError(EIO, QStringLiteral("The desktop did not bind the hot key.")));
                    hotKey->bound = true;
                    std::optional<QString> confirmedTrigger;
                    const auto bound = qdbus_cast<portal::ShortcutList>(results.value(QStringLiteral("shortcuts")));
                    for (const portal::Shortcut& shortcut : bound) {
                        const QVariant description = shortcut.properties.value(QStringLiteral("trigger_description"));
                        if (shortcut.id == id && description.isValid())
                            confirmedTrigger = description.toString();
                    }
                    HBDebug() << "Hot key bound through the portal:" << id
                              << confirmedTrigger.value_or(QStringLiteral("(keys not told)"));
                    settled(ref, {std::nullopt, confirmedTrigger});
                });
    }

    void refuse(Ref ref, const Error& error)
    {
        qCWarning(hbLog).noquote() << "Hot key not bound through the portal:" << error.localizedDescription();
        unregisterHotKey(ref);
        settled(ref, {error, {}});
    }

    void closeSession(const QString& session)
    {
        if (session.isEmpty())
            return;
        m_bus.send(QDBusMessage::createMethodCall(portalService, session, sessionInterface, QStringLiteral("Close")));
    }

    QDBusConnection m_bus;
    Availability m_availability = Availability::unknown;
    std::vector<Binding> m_bindings;
    Ref m_nextRef = 1;
    int m_tokens = 0;
};

}  // namespace

std::unique_ptr<HotKeyBackend> makePortalHotKeyBackend(const QDBusConnection& bus)
{
    return std::make_unique<PortalHotKeyBackend>(bus);
}

QString PortalShortcuts::preferredTrigger(std::uint16_t keyCode, std::uint64_t modifierFlags)
{
    const std::optional<int> evdev = KeyCodes::evdevCodeForVirtualKeyCode(keyCode);
    const QString key = evdev ? keysymName(*evdev) : QString();
    if (key.isEmpty())
        return {};
    QStringList parts;
    const std::pair<std::uint64_t, const char*> modifiers[] = {
        {ModifierFlag::Command, "LOGO"},
        {ModifierFlag::Control, "CTRL"},
        {ModifierFlag::Option, "ALT"},
        {ModifierFlag::Shift, "SHIFT"},
    };
    for (const auto& [flag, name] : modifiers)
        if (modifierFlags & flag)
            parts << QLatin1String(name);
    parts << key;
    return parts.join(QLatin1Char('+'));
}

QString PortalShortcuts::shortcutId(std::uint16_t keyCode, std::uint64_t modifierFlags)
{
    return QStringLiteral("open-%1-%2-%3")
        .arg(programIdentity().command, QString::number(keyCode), QString::number(modifierFlags, 16));
}

}  // namespace hb

#include "HotKeyPortal.moc"
