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

    static DDHotKeyCenter& sharedHotKeyCenter();

    // Null when this combination is already registered or the system refuses it.
    HotKeyPointer registerHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags, QObject* target,
                                            const QByteArray& action, const QVariant& object);
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

private:
    DDHotKeyCenter();
    DDHotKeyCenter(const DDHotKeyCenter&) = delete;
    DDHotKeyCenter& operator=(const DDHotKeyCenter&) = delete;

    HotKeyPointer _registerHotKey(const HotKeyPointer& hotKey);
    void hotKeyReleased(std::uint32_t id, const hb::KeyEvent& event) const;

    QList<HotKeyPointer> m_registeredHotKeys;  // no two equal
    std::uint32_t m_nextHotKeyID = 1;
};
