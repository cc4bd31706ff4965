#pragma once

#include "core/hotkey/DDHotKey.h"

#include <QList>

#include <functional>
#include <memory>

// The one registry of hot keys: registers combinations with the system and hands each release to
// the hot key whose id it carries. GUI thread only.
class DDHotKeyCenter {
public:
    using HotKeyPointer = std::shared_ptr<DDHotKey>;
    using Predicate = std::function<bool(const DDHotKey&)>;
    // A registration the system settled later, or lost: when refused, the hot key is no longer registered.
    using SettledHandler = std::function<void(const HotKeyPointer& hotKey, const hb::HotKeySettlement& settlement)>;

    static DDHotKeyCenter& sharedHotKeyCenter();

    // Null when this combination is already registered or the system refuses it; `error`, when given,
    // then tells why the system refused (it stays as it is for a duplicate).
    HotKeyPointer registerHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags, QObject* target,
                                            const QByteArray& action, const QVariant& object,
                                            hb::Error* error = nullptr);
    HotKeyPointer registerHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags, DDHotKey::Task task);
    // Registers a hot key built elsewhere; answers it (already registered: as it is), null when an
    // equal hot key is registered or the system refuses.
    HotKeyPointer registerHotKey(const HotKeyPointer& hotKey);

    void unregisterHotKey(const HotKeyPointer& hotKey);
    void unregisterAllHotKeys();
    void unregisterHotKeysMatching(const Predicate& predicate);
    void unregisterHotKeysWithTarget(const QObject* target);
    void unregisterHotKeysWithTarget(const QObject* target, const QByteArray& action);
    void unregisterHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags);

    QList<HotKeyPointer> hotKeysMatching(const Predicate& predicate) const;
    bool hasRegisteredHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags) const;
    // The hot keys that hold a system registration.
    QList<HotKeyPointer> registeredHotKeys() const;
    // Whether the system grants registrations only once it has asked (a desktop portal).
    bool settlesLater() const;
    void setSettledHandler(SettledHandler handler) { m_settled = std::move(handler); }

private:
    DDHotKeyCenter();
    DDHotKeyCenter(const DDHotKeyCenter&) = delete;
    DDHotKeyCenter& operator=(const DDHotKeyCenter&) = delete;

    HotKeyPointer _registerHotKey(const HotKeyPointer& hotKey, hb::Error* error = nullptr);
    void hotKeyReleased(std::uint32_t id, const hb::KeyEvent& event) const;
    void hotKeySettled(hb::HotKeyBackend::Ref ref, const hb::HotKeySettlement& settlement);

    QList<HotKeyPointer> m_registeredHotKeys;  // no two equal
    std::uint32_t m_nextHotKeyID = 1;
    SettledHandler m_settled;
};
