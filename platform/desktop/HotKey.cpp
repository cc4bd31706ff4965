#include "platform/desktop/HotKey.h"

#include "platform/desktop/HotKeyPortal.h"
#include "platform/desktop/HotKeyX11.h"
#include "platform/interface/FrontWindow.h"

#include <QGuiApplication>

namespace hb {

namespace {
std::unique_ptr<HotKeyBackend>& installed()
{
    static std::unique_ptr<HotKeyBackend> backend;
    return backend;
}

HotKeyBackend::ReleasedHandler& releasedHandler()
{
    static HotKeyBackend::ReleasedHandler handler;
    return handler;
}

HotKeyBackend::SettledHandler& settledHandler()
{
    static HotKeyBackend::SettledHandler handler;
    return handler;
}

Error refusal(int code, const QString& description)
{
    return Error{NSPOSIXErrorDomain, code, {{NSLocalizedDescriptionKey, description}}};
}
}  // namespace

bool HotKeys::isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland"
           || QGuiApplication::platformName() == QLatin1String("wayland");
}

HotKeyBackend& HotKeys::backend()
{
    if (!installed())
        setBackend(nullptr);
    return *installed();
}

void HotKeys::setBackend(std::unique_ptr<HotKeyBackend> backend)
{
    installed().reset();  // the old backend lets go of its grabs and connection first
    if (!backend)
        backend = isWaylandSession() ? makePortalHotKeyBackend(QDBusConnection::sessionBus()) : makeX11HotKeyBackend();
    installed() = std::move(backend);
    // The handlers outlive backends: the registry installs them once.
    installed()->setReleasedHandler([](std::uint32_t id, const KeyEvent& event) {
        // Before the program's window comes forward: the window the person pressed it in.
        FrontWindows::shared().note();
        if (releasedHandler())
            releasedHandler()(id, event);
    });
    installed()->setSettledHandler([](HotKeyBackend::Ref ref, const HotKeySettlement& settlement) {
        if (settledHandler())
            settledHandler()(ref, settlement);
    });
}

void HotKeys::setGrabsSuspended(bool suspended)
{
    backend().setGrabsSuspended(suspended);
}

void HotKeys::setReleasedHandler(HotKeyBackend::ReleasedHandler handler)
{
    releasedHandler() = std::move(handler);
}

void HotKeys::setSettledHandler(HotKeyBackend::SettledHandler handler)
{
    settledHandler() = std::move(handler);
}

QString HotKeys::keyName(std::uint16_t keyCode)
{
    const QString name = x11KeyName(keyCode).value_or(KeyCodes::usLayoutCharacter(keyCode));
    // Shortcut texts show letters in capitals.
    const QString upper = name.toUpper();
    return upper.size() == name.size() ? upper : name;
}

std::optional<HotKeyBackend::Ref> RecordingHotKeyBackend::registerHotKey(std::uint16_t keyCode,
                                                                         std::uint64_t modifierFlags, std::uint32_t id,
                                                                         Error* error)
{
    if (m_unavailable || m_refused.contains(std::pair{keyCode, modifierFlags})) {
        if (error)
            *error = m_unavailable
                         ? refusal(HotKeyError::noHotKeys, QStringLiteral("This session has no global hot keys."))
                         : refusal(HotKeyError::taken, QStringLiteral("The key combination is taken."));
        return std::nullopt;
    }
    m_registrations.append({m_nextRef, keyCode, modifierFlags, id});
    return m_nextRef++;
}

void RecordingHotKeyBackend::unregisterHotKey(Ref ref)
{
    m_registrations.removeIf([ref](const Registration& r) { return r.ref == ref; });
}

void RecordingHotKeyBackend::settle(Ref ref, const HotKeySettlement& settlement)
{
    if (settlement.error)
        unregisterHotKey(ref);
    settled(ref, settlement);
}

void RecordingHotKeyBackend::refuse(std::uint16_t keyCode, std::uint64_t modifierFlags)
{
    m_refused.append({keyCode, modifierFlags});
}

int RecordingHotKeyBackend::release(std::uint16_t keyCode, std::uint64_t modifierFlags)
{
    if (grabsSuspended())
        return 0;
    const QList<Registration> matching = [&] {
        QList<Registration> list;
        for (const Registration& r : m_registrations)
            if (r.keyCode == keyCode && r.modifierFlags == modifierFlags)
                list.append(r);
        return list;
    }();
    for (const Registration& r : matching)
        released(r.id, KeyEvent{KeyEvent::Type::keyUp, keyCode, modifierFlags, 0, false});
    return int(matching.size());
}

}  // namespace hb
