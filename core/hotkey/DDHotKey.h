#pragma once

#include "platform/desktop/HotKey.h"

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <optional>

class DDHotKeyCenter;

// One key combination and what to do when it fires: send `action` to `target`, or else run `task`.
// The action is the name of an invokable method of the target taking (hb::KeyEvent, QVariant): the
// event of the release and `object`. The target is held weakly: a hot key whose target is gone falls
// back to its task.
class DDHotKey {
public:
    using Task = std::function<void(const hb::KeyEvent&)>;

    // A hot key that is not registered yet.
    static std::shared_ptr<DDHotKey> hotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags, Task task);

    QObject* target() const { return m_target; }
    const QByteArray& action() const { return m_action; }
    const QVariant& object() const { return m_object; }
    const Task& task() const { return m_task; }
    std::uint16_t keyCode() const { return m_keyCode; }
    std::uint64_t modifierFlags() const { return m_modifierFlags; }

    // Present while the combination is registered with the system.
    std::optional<hb::HotKeyBackend::Ref> hotKeyRef() const { return m_hotKeyRef; }
    void setHotKeyRef(std::optional<hb::HotKeyBackend::Ref> ref) { m_hotKeyRef = ref; }
    std::uint32_t hotKeyID() const { return m_hotKeyID; }
    void setHotKeyID(std::uint32_t id) { m_hotKeyID = id; }

    void invokeWithEvent(const hb::KeyEvent& event) const;

    // Same key code and the same whole modifier word.
    bool operator==(const DDHotKey& other) const
    {
        return m_keyCode == other.m_keyCode && m_modifierFlags == other.m_modifierFlags;
    }
    std::size_t hash() const { return std::size_t(m_modifierFlags ^ m_keyCode); }
    QString description() const;

private:
    friend class DDHotKeyCenter;
    DDHotKey() = default;

    void _setTarget(QObject* target) { m_target = target; }
    void _setAction(const QByteArray& action) { m_action = action; }
    void _setObject(const QVariant& object) { m_object = object; }
    void _setTask(Task task) { m_task = std::move(task); }
    void _setKeyCode(std::uint16_t keyCode) { m_keyCode = keyCode; }
    void _setModifierFlags(std::uint64_t flags) { m_modifierFlags = flags; }

    QPointer<QObject> m_target;
    QByteArray m_action;
    QVariant m_object;
    Task m_task;
    std::uint16_t m_keyCode = 0;
    std::uint64_t m_modifierFlags = 0;
    std::optional<hb::HotKeyBackend::Ref> m_hotKeyRef;
    std::uint32_t m_hotKeyID = 0;
};
