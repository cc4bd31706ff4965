#pragma once

#include "core/hotkey/DDHotKeyCenter.h"

#include <QObject>
#include <QVariantMap>

#include <memory>
#include <mutex>

// The program's one global hot key: keeps exactly one combination registered, stores it in the
// standard defaults under "HotKey" ({"KeyCode", "ModifierFlags"}; Command-1 until the user records
// another), posts "HotKeyFired" when it is released, and renders combinations as display text.
class HBHotKeyManage : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t kDefaultKeyCode = 18;  // the "1" key
    static constexpr std::uint64_t kDefaultModifierFlags = hb::ModifierFlag::Command;

    static HBHotKeyManage& sharedInstance();

    DDHotKeyCenter& hotKeyCenter() const { return m_hotKeyCenter; }
    // The hot key in force through the manager; null before any registration succeeded.
    std::shared_ptr<DDHotKey> hotKey() const;

    // Registers the stored combination, or Command-1 (and stores it) when there is no usable record.
    void registerHotKey();
    // Replaces every registered hot key by this combination and stores it; a combination the system
    // refuses leaves the previous one registered and stored.
    void registerHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags);
    void registerHotKeyWithInput(const hb::KeyEvent& event);
    // Stores the hot key in force under "HotKey"; with none in force the record is removed.
    void addToUserDefaults();

    Q_INVOKABLE void hotKeyFired(const hb::KeyEvent& event, const QVariant& object);

    QString getStringFrom(std::uint16_t keyCode, std::uint64_t modifierFlags) const;
    // Empty for a record that is not {"KeyCode", "ModifierFlags"} with numbers in range.
    QString getHotKeyStringFromDictionary(const QVariant& record) const;
    QString getStringFromHotKey(const DDHotKey& hotKey) const;
    QString getHotKeyAsString() const;
    std::shared_ptr<DDHotKey> getHotKey() const { return hotKey(); }

private:
    HBHotKeyManage();
    void setHotKey(std::shared_ptr<DDHotKey> hotKey);
    std::shared_ptr<DDHotKey> registerWithManager(std::uint16_t keyCode, std::uint64_t modifierFlags);

    DDHotKeyCenter& m_hotKeyCenter;
    mutable std::mutex m_mutex;
    std::shared_ptr<DDHotKey> m_hotKey;
};
