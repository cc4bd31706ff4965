#pragma once

#include "platform/base/Error.h"
#include "platform/desktop/KeyCodes.h"

#include <QList>
#include <QString>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace hb {

// Error codes of a refused registration (domain NSPOSIXErrorDomain).
namespace HotKeyError {
inline constexpr int taken = EBUSY;        // another program holds the combination
inline constexpr int noHotKeys = ENOTSUP;  // this session gives programs no global hot keys
inline constexpr int noDisplay = ENXIO;    // no X display to grab on
}  // namespace HotKeyError

// How the session settled a registration it answered only later (a portal that asks the desktop), or
// lost one it had granted (a grab another program took meanwhile).
struct HotKeySettlement {
    std::optional<Error> error;  // refused or lost: the registration is gone
    // Bound: the desktop's own words for the keys that fire it when it says (empty: it gave it none).
    std::optional<QString> trigger;
};

// The system-wide hot-key service: a registration grabs one key combination (virtual key code and
// modifier mask) for the whole session and reports each release of the grabbed key with the id the
// caller gave. All calls and reports happen on the GUI thread.
class HotKeyBackend {
public:
    using Ref = std::uint64_t;  // handle of one registration
    // The id given at registration and the key-up event of the release.
    using ReleasedHandler = std::function<void(std::uint32_t id, const KeyEvent& event)>;
    using SettledHandler = std::function<void(Ref ref, const HotKeySettlement& settlement)>;

    virtual ~HotKeyBackend() = default;

    // None and an error when the combination cannot be grabbed (taken by another client, no display,
    // a key position the table does not know). A backend that settles later answers a handle at once
    // and reports through the settled handler.
    virtual std::optional<Ref> registerHotKey(std::uint16_t keyCode, std::uint64_t modifierFlags, std::uint32_t id,
                                              Error* error)
        = 0;
    virtual void unregisterHotKey(Ref ref) = 0;
    // While suspended no combination is grabbed, so the program's own windows receive it (a key
    // recorder); registrations made meanwhile take hold when resumed.
    virtual void setGrabsSuspended(bool suspended) { m_suspended = suspended; }
    bool grabsSuspended() const { return m_suspended; }
    // Whether registrations are granted only once the session answers (through the settled handler).
    virtual bool settlesLater() const { return false; }
    void setReleasedHandler(ReleasedHandler handler) { m_released = std::move(handler); }
    void setSettledHandler(SettledHandler handler) { m_settled = std::move(handler); }

protected:
    void released(std::uint32_t id, const KeyEvent& event) const
    {
        if (m_released)
            m_released(id, event);
    }
    void settled(Ref ref, const HotKeySettlement& settlement) const
    {
        if (m_settled)
            m_settled(ref, settlement);
    }

private:
    ReleasedHandler m_released;
    SettledHandler m_settled;
    bool m_suspended = false;
};

namespace HotKeys {
// Whether the session runs on Wayland (a Wayland display, or the session says so): there X11 grabs
// only see keys typed into X11 windows, so the desktop portal stands in for them.
bool isWaylandSession();
// The session's backend: the one installed for testing, else the desktop portal's global shortcuts in a
// Wayland session and the X11 registrar elsewhere.
HotKeyBackend& backend();
// Replaces the backend (null restores the session's own); the old one lets go of its grabs.
void setBackend(std::unique_ptr<HotKeyBackend> backend);
// Lets go of the session's grabs (true) or takes them again (false).
void setGrabsSuspended(bool suspended);
// The one receiver of releases and of settlements, whichever backend is installed.
void setReleasedHandler(HotKeyBackend::ReleasedHandler handler);
void setSettledHandler(HotKeyBackend::SettledHandler handler);
// The character the key types on the current keyboard layout without modifiers (ASCII-capable group
// preferred), from the X server's keyboard map; the US-layout character when there is no display.
QString keyName(std::uint16_t keyCode);
}  // namespace HotKeys

// A backend that grabs nothing: it records registrations and lets a test deliver releases.
class RecordingHotKeyBackend : public HotKeyBackend {
public:
    struct Registration {
        Ref ref;
        std::uint16_t keyCode;
        std::uint64_t modifierFlags;
        std::uint32_t id;
    };

    std::optional<Ref> registerHotKey(std::uint16_t keyCode, std::uint64_t modifierFlags, std::uint32_t id,
                                      Error* error) override;
    void unregisterHotKey(Ref ref) override;

    const QList<Registration>& registrations() const { return m_registrations; }
    // Combinations the "system" refuses, as if another client held them.
    void refuse(std::uint16_t keyCode, std::uint64_t modifierFlags);
    // A session without global hot keys: every registration is refused with HotKeyError::noHotKeys.
    void setUnavailable(bool unavailable) { m_unavailable = unavailable; }
    // Registrations stand only once settled through settle(), as with a desktop portal.
    void setSettlesLater(bool later) { m_settlesLater = later; }
    bool settlesLater() const override { return m_settlesLater; }
    // Reports how the session settled (or lost) a registration; one refused or lost is gone.
    void settle(Ref ref, const HotKeySettlement& settlement);
    // Delivers a release to every registration of this combination; answers how many there were
    // (none while grabs are suspended).
    int release(std::uint16_t keyCode, std::uint64_t modifierFlags);

private:
    QList<Registration> m_registrations;
    QList<std::pair<std::uint16_t, std::uint64_t>> m_refused;
    Ref m_nextRef = 1;
    bool m_unavailable = false;
    bool m_settlesLater = false;
};

}  // namespace hb
