#pragma once

#include "platform/base/Error.h"
#include "platform/desktop/KeyCodes.h"

#include <QList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace hb {

// The system-wide hot-key service: a registration grabs one key combination (virtual key code and
// modifier mask) for the whole session and reports each release of the grabbed key with the id the
// caller gave. All calls and reports happen on the GUI thread.
class HotKeyBackend {
public:
    using Ref = std::uint64_t;  // handle of one registration
    // The id given at registration and the key-up event of the release.
    using ReleasedHandler = std::function<void(std::uint32_t id, const KeyEvent& event)>;

    virtual ~HotKeyBackend() = default;

    // None and an error when the combination cannot be grabbed (taken by another client, no display,
    // a key position the table does not know).
    virtual std::optional<Ref> registerHotKey(std::uint16_t keyCode, std::uint64_t modifierFlags,
                                              std::uint32_t id, Error* error) = 0;
    virtual void unregisterHotKey(Ref ref) = 0;
    // While suspended no combination is grabbed, so the program's own windows receive it (a key
    // recorder); registrations made meanwhile take hold when resumed.
    virtual void setGrabsSuspended(bool suspended) { m_suspended = suspended; }
    bool grabsSuspended() const { return m_suspended; }
    void setReleasedHandler(ReleasedHandler handler) { m_released = std::move(handler); }

protected:
    void released(std::uint32_t id, const KeyEvent& event) const
    {
        if (m_released)
            m_released(id, event);
    }

private:
    ReleasedHandler m_released;
    bool m_suspended = false;
};

namespace HotKeys {
// The session's backend: the one installed for testing, else the X11 registrar.
HotKeyBackend& backend();
// Replaces the backend (null restores the X11 registrar); the old one lets go of its grabs.
void setBackend(std::unique_ptr<HotKeyBackend> backend);
// Lets go of the session's grabs (true) or takes them again (false).
void setGrabsSuspended(bool suspended);
// The one receiver of releases, whichever backend is installed.
void setReleasedHandler(HotKeyBackend::ReleasedHandler handler);
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
    // Delivers a release to every registration of this combination; answers how many there were
    // (none while grabs are suspended).
    int release(std::uint16_t keyCode, std::uint64_t modifierFlags);

private:
    QList<Registration> m_registrations;
    QList<std::pair<std::uint16_t, std::uint64_t>> m_refused;
    Ref m_nextRef = 1;
};

}  // namespace hb
