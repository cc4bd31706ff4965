#pragma once

#include "core/hotkey/DDHotKeyCenter.h"
#include "core/hotkey/HBHotKeyState.h"

#include <QObject>
#include <QVariantMap>

#include <memory>
#include <mutex>

// The program's one global hot key: keeps exactly one combination registered, stores it in the
// standard defaults under "HotKey" ({"KeyCode", "ModifierFlags"}; the default until the user records
// another), posts "HotKeyFired" when it is released, tells what the session made of it (state), and
// renders combinations as display text.
class HBHotKeyManage : public QObject {
    Q_OBJECT
public:
    // Super+Alt+H for a new profile: free in the bindings GNOME, KDE Plasma, Xfce, Cinnamon and MATE
    // ship, where Super+1 opens the dock's or task bar's first program. A stored record stays as it is.
    static constexpr std::uint16_t kDefaultKeyCode = 4;  // the "H" key
    static constexpr std::uint64_t kDefaultModifierFlags = hb::ModifierFlag::Command | hb::ModifierFlag::Option;

    static HBHotKeyManage& sharedInstance();

    DDHotKeyCenter& hotKeyCenter() const { return m_hotKeyCenter; }
    // The hot key in force through the manager; null before any registration succeeded.
    std::shared_ptr<DDHotKey> hotKey() const;

    // What the session made of the hot key: in force, refused and why, or (a portal) still asked.
    const HBHotKeyState& state() const { return m_state; }

    // Registers the stored combination, or the default (and stores it) when there is no usable record.
    void registerHotKey();
    // Replaces every registered hot key by this combination and stores it; a combination the system
    // refuses leaves the previous one registered and stored, and its refusal is answered.
    std::optional<hb::Error> registerHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags);
    std::optional<hb::Error> registerHotKeyWithInput(const hb::KeyEvent& event);
    // Stores the hot key in force under "HotKey"; with none in force the record is removed.
    void addToUserDefaults();

    Q_INVOKABLE void hotKeyFired(const hb::KeyEvent& event, const QVariant& object);

    QString getStringFrom(std::uint16_t keyCode, std::uint64_t modifierFlags) const;
    // Empty for a record that is not {"KeyCode", "ModifierFlags"} with numbers in range.
    QString getHotKeyStringFromDictionary(const QVariant& record) const;
    QString getStringFromHotKey(const DDHotKey& hotKey) const;
    QString getHotKeyAsString() const;
    std::shared_ptr<DDHotKey> getHotKey() const { return hotKey(); }

signals:
    void stateChanged();

private:
    HBHotKeyManage();
    void setHotKey(std::shared_ptr<DDHotKey> hotKey);
    std::shared_ptr<DDHotKey> registerWithManager(std::uint16_t keyCode, std::uint64_t modifierFlags, hb::Error* error);
    // The state of a combination just registered: in force, or asked of the desktop.
    HBHotKeyState granted(std::uint16_t keyCode, std::uint64_t modifierFlags) const;
    void setState(const HBHotKeyState& state);
    void settled(const std::shared_ptr<DDHotKey>& hotKey, const hb::HotKeySettlement& settlement);

    DDHotKeyCenter& m_hotKeyCenter;
    mutable std::mutex m_mutex;
    std::shared_ptr<DDHotKey> m_hotKey;
    HBHotKeyState m_state;  // GUI thread
};
