#include "core/hotkey/DDHotKeyCenter.h"

#include "platform/base/Log.h"

DDHotKeyCenter& DDHotKeyCenter::sharedHotKeyCenter()
{
    static DDHotKeyCenter center;
    return center;
}

DDHotKeyCenter::DDHotKeyCenter()
{
    hb::HotKeys::setReleasedHandler([this](std::uint32_t id, const hb::KeyEvent& event) { hotKeyReleased(id, event); });
    hb::HotKeys::setSettledHandler(
        [this](hb::HotKeyBackend::Ref ref, const hb::HotKeySettlement& settlement) { hotKeySettled(ref, settlement); });
}

DDHotKeyCenter::HotKeyPointer DDHotKeyCenter::registerHotKeyWithKeyCode(std::uint16_t keyCode,
                                                                        std::uint64_t modifierFlags, QObject* target,
                                                                        const QByteArray& action,
                                                                        const QVariant& object, hb::Error* error)
{
    if (hasRegisteredHotKeyWithKeyCode(keyCode, modifierFlags))
        return nullptr;
    HotKeyPointer hotKey = DDHotKey::hotKeyWithKeyCode(keyCode, modifierFlags, nullptr);
    hotKey->_setTarget(target);
    hotKey->_setAction(action);
    hotKey->_setObject(object);
    return _registerHotKey(hotKey, error);
}

DDHotKeyCenter::HotKeyPointer DDHotKeyCenter::registerHotKeyWithKeyCode(std::uint16_t keyCode,
                                                                        std::uint64_t modifierFlags,
                                                                        DDHotKey::Task task)
{
    if (hasRegisteredHotKeyWithKeyCode(keyCode, modifierFlags))
        return nullptr;
    return _registerHotKey(DDHotKey::hotKeyWithKeyCode(keyCode, modifierFlags, std::move(task)));
}

DDHotKeyCenter::HotKeyPointer DDHotKeyCenter::registerHotKey(const HotKeyPointer& hotKey)
{
    return hotKey ? _registerHotKey(hotKey) : nullptr;
}

DDHotKeyCenter::HotKeyPointer DDHotKeyCenter::_registerHotKey(const HotKeyPointer& hotKey, hb::Error* error)
{
    for (const HotKeyPointer& registered : std::as_const(m_registeredHotKeys)) {
        // The same object is simply in force; an equal other one would never fire, so it is refused.
        if (*registered == *hotKey)
            return registered == hotKey ? hotKey : nullptr;
    }
    hb::Error refusal;
    const std::optional<hb::HotKeyBackend::Ref> ref = hb::HotKeys::backend().registerHotKey(
        hotKey->keyCode(), hotKey->modifierFlags(), m_nextHotKeyID, &refusal);
    if (!ref) {
        if (error)
            *error = refusal;
        return nullptr;
    }
    hotKey->setHotKeyRef(ref);
    hotKey->setHotKeyID(m_nextHotKeyID++);
    m_registeredHotKeys.append(hotKey);
    return hotKey;
}

void DDHotKeyCenter::unregisterHotKey(const HotKeyPointer& hotKey)
{
    if (!hotKey)
        return;
    // An equal hot key stands for the registered one, whose system registration goes with it.
    for (qsizetype i = 0; i < m_registeredHotKeys.size(); ++i) {
        const HotKeyPointer registered = m_registeredHotKeys.at(i);
        if (!(*registered == *hotKey))
            continue;
        if (const auto ref = registered->hotKeyRef()) {
            hb::HotKeys::backend().unregisterHotKey(*ref);
            registered->setHotKeyRef(std::nullopt);
        }
        m_registeredHotKeys.removeAt(i);
        break;
    }
    if (const auto ref = hotKey->hotKeyRef()) {
        hb::HotKeys::backend().unregisterHotKey(*ref);
        hotKey->setHotKeyRef(std::nullopt);
    }
}

void DDHotKeyCenter::unregisterAllHotKeys()
{
    for (const HotKeyPointer& hotKey : QList<HotKeyPointer>(m_registeredHotKeys))
        unregisterHotKey(hotKey);
}

void DDHotKeyCenter::unregisterHotKeysMatching(const Predicate& predicate)
{
    for (const HotKeyPointer& hotKey : hotKeysMatching(predicate))
        unregisterHotKey(hotKey);
}

void DDHotKeyCenter::unregisterHotKeysWithTarget(const QObject* target)
{
    unregisterHotKeysMatching([target](const DDHotKey& hotKey) { return hotKey.target() == target; });
}

void DDHotKeyCenter::unregisterHotKeysWithTarget(const QObject* target, const QByteArray& action)
{
    unregisterHotKeysMatching(
        [target, &action](const DDHotKey& hotKey) { return hotKey.target() == target && hotKey.action() == action; });
}

void DDHotKeyCenter::unregisterHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags)
{
    unregisterHotKeysMatching([keyCode, modifierFlags](const DDHotKey& hotKey) {
        return hotKey.keyCode() == keyCode && hotKey.modifierFlags() == modifierFlags;
    });
}

QList<DDHotKeyCenter::HotKeyPointer> DDHotKeyCenter::hotKeysMatching(const Predicate& predicate) const
{
    QList<HotKeyPointer> matching;
    for (const HotKeyPointer& hotKey : m_registeredHotKeys)
        if (predicate(*hotKey))
            matching.append(hotKey);
    return matching;
}

bool DDHotKeyCenter::hasRegisteredHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags) const
{
    return std::any_of(m_registeredHotKeys.begin(), m_registeredHotKeys.end(), [&](const HotKeyPointer& hotKey) {
        return hotKey->keyCode() == keyCode && hotKey->modifierFlags() == modifierFlags;
    });
}

QList<DDHotKeyCenter::HotKeyPointer> DDHotKeyCenter::registeredHotKeys() const
{
    return hotKeysMatching([](const DDHotKey& hotKey) { return hotKey.hotKeyRef().has_value(); });
}

bool DDHotKeyCenter::settlesLater() const
{
    return hb::HotKeys::backend().settlesLater();
}

void DDHotKeyCenter::hotKeySettled(hb::HotKeyBackend::Ref ref, const hb::HotKeySettlement& settlement)
{
    const QList<HotKeyPointer> matching = hotKeysMatching(
        [ref](const DDHotKey& hotKey) { return hotKey.hotKeyRef() == ref; });
    if (matching.isEmpty())
        return;
    const HotKeyPointer hotKey = matching.first();
    if (settlement.error) {
        // The system let go of it already.
        hotKey->setHotKeyRef(std::nullopt);
        m_registeredHotKeys.removeAll(hotKey);
    }
    if (m_settled)
        m_settled(hotKey, settlement);
}

void DDHotKeyCenter::hotKeyReleased(std::uint32_t id, const hb::KeyEvent& event) const
{
    const QList<HotKeyPointer> matching = hotKeysMatching(
        [id](const DDHotKey& hotKey) { return hotKey.hotKeyID() == id; });
    if (matching.isEmpty())
        return;
    if (matching.size() > 1)
        qCWarning(hbLog) << "ERROR!";
    // Held by value: the action may unregister the hot key while it runs.
    const HotKeyPointer hotKey = matching.first();
    hb::KeyEvent keyUp = event;
    keyUp.type = hb::KeyEvent::Type::keyUp;
    keyUp.keyCode = hotKey->keyCode();
    keyUp.isARepeat = false;
    hotKey->invokeWithEvent(keyUp);
}
