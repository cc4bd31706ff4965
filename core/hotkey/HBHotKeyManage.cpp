#include "core/hotkey/HBHotKeyManage.h"

#include "core/hotkey/DDHotKeyUtilities.h"
#include "core/store/HBConstants.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"

#include <cmath>
#include <limits>

namespace {

const QString kKeyCode = QStringLiteral("KeyCode");
const QString kModifierFlags = QStringLiteral("ModifierFlags");
const QByteArray kFiredAction = QByteArrayLiteral("hotKeyFired");

// A whole, non-negative number no larger than `maximum`.
std::optional<std::uint64_t> wholeNumber(const QVariant& value, std::uint64_t maximum)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong: {
        const qlonglong number = value.toLongLong();
        if (number < 0 || std::uint64_t(number) > maximum)
            return std::nullopt;
        return std::uint64_t(number);
    }
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong number = value.toULongLong();
        return number > maximum ? std::nullopt : std::optional<std::uint64_t>(number);
    }
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (!(number >= 0) || number != std::floor(number) || number > double(maximum))
            return std::nullopt;
        return std::uint64_t(number);
    }
    default:
        return std::nullopt;
    }
}

struct Combination {
    std::uint16_t keyCode;
    std::uint64_t modifierFlags;
};

// A stored "HotKey" record, unless it has the wrong shape.
std::optional<Combination> storedCombination(const QVariant& record)
{
    if (record.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = record.toMap();
    const auto keyCode = wholeNumber(map.value(kKeyCode), std::numeric_limits<std::uint16_t>::max());
    const auto flags = wholeNumber(map.value(kModifierFlags), std::numeric_limits<std::uint64_t>::max());
    if (!keyCode || !flags)
        return std::nullopt;
    return Combination{std::uint16_t(*keyCode), *flags};
}

}  // namespace

HBHotKeyManage& HBHotKeyManage::sharedInstance()
{
    static HBHotKeyManage manager;
    return manager;
}

HBHotKeyManage::HBHotKeyManage() : m_hotKeyCenter(DDHotKeyCenter::sharedHotKeyCenter())
{
    m_hotKeyCenter.setSettledHandler([this](const std::shared_ptr<DDHotKey>& hotKey,
                                            const hb::HotKeySettlement& settlement) { settled(hotKey, settlement); });
}

std::shared_ptr<DDHotKey> HBHotKeyManage::hotKey() const
{
    std::lock_guard lock(m_mutex);
    return m_hotKey;
}

void HBHotKeyManage::setHotKey(std::shared_ptr<DDHotKey> hotKey)
{
    std::lock_guard lock(m_mutex);
    m_hotKey = std::move(hotKey);
}

std::shared_ptr<DDHotKey> HBHotKeyManage::registerWithManager(std::uint16_t keyCode, std::uint64_t modifierFlags,
                                                              hb::Error* error)
{
    return m_hotKeyCenter.registerHotKeyWithKeyCode(keyCode, modifierFlags, this, kFiredAction, QVariant(), error);
}

HBHotKeyState HBHotKeyManage::granted(std::uint16_t keyCode, std::uint64_t modifierFlags) const
{
    const auto kind = m_hotKeyCenter.settlesLater() ? HBHotKeyState::Kind::binding : HBHotKeyState::Kind::inForce;
    return {kind, keyCode, modifierFlags, std::nullopt, {}};
}

void HBHotKeyManage::setState(const HBHotKeyState& state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
}

void HBHotKeyManage::registerHotKey()
{
    const std::optional<Combination> stored = storedCombination(hb::UserDefaults::standard().object(hotKeyDefaultsKey));
    const Combination combination = stored.value_or(Combination{kDefaultKeyCode, kDefaultModifierFlags});
    hb::Error refusal;
    if (std::shared_ptr<DDHotKey> registered = registerWithManager(combination.keyCode, combination.modifierFlags,
                                                                   &refusal)) {
        setHotKey(std::move(registered));
        setState(granted(combination.keyCode, combination.modifierFlags));
    } else if (!refusal.domain.isEmpty()) {
        // A refusal without a reason is the combination in force already: hotKey() stays as it is.
        if (!m_hotKeyCenter.registeredHotKeys().contains(hotKey()))
            setHotKey(nullptr);
        setState(HBHotKeyState::refused(combination.keyCode, combination.modifierFlags, refusal));
    }
    // A stored record stays as it is, also when it is refused: it is the person's choice.
    if (!stored)
        addToUserDefaults();
}

std::optional<hb::Error> HBHotKeyManage::registerHotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags)
{
    std::shared_ptr<DDHotKey> registered = hotKey();
    const bool inForce = registered && registered->keyCode() == keyCode && registered->modifierFlags() == modifierFlags
                         && m_hotKeyCenter.registeredHotKeys().contains(registered);
    if (!inForce) {
        // The new combination is grabbed before the old one is let go, so one the system refuses
        // leaves the old one registered and stored.
        m_hotKeyCenter.unregisterHotKeyWithKeyCode(keyCode, modifierFlags);
        const std::shared_ptr<DDHotKey> previous = registered;
        hb::Error refusal;
        registered = registerWithManager(keyCode, modifierFlags, &refusal);
        if (!registered) {
            if (!m_hotKeyCenter.registeredHotKeys().contains(previous))
                setHotKey(nullptr);  // let go of elsewhere meanwhile: none is in force
            return refusal;
        }
        setState(granted(keyCode, modifierFlags));
    }
    m_hotKeyCenter.unregisterHotKeysMatching([&](const DDHotKey& other) { return &other != registered.get(); });
    setHotKey(registered);
    addToUserDefaults();
    return std::nullopt;
}

std::optional<hb::Error> HBHotKeyManage::registerHotKeyWithInput(const hb::KeyEvent& event)
{
    return registerHotKeyWithKeyCode(event.keyCode, event.modifierFlags);
}

void HBHotKeyManage::settled(const std::shared_ptr<DDHotKey>& settledHotKey, const hb::HotKeySettlement& settlement)
{
    if (settledHotKey != hotKey())
        return;  // one let go of already
    const std::uint16_t keyCode = settledHotKey->keyCode();
    const std::uint64_t flags = settledHotKey->modifierFlags();
    if (settlement.error) {
        setHotKey(nullptr);
        setState(HBHotKeyState::refused(keyCode, flags, *settlement.error));
        return;
    }
    const bool noKeys = settlement.trigger && settlement.trigger->isEmpty();
    setState({noKeys ? HBHotKeyState::Kind::unassigned : HBHotKeyState::Kind::inForce,
              keyCode,
              flags,
              settlement.trigger,
              {}});
}

void HBHotKeyManage::addToUserDefaults()
{
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    if (const std::shared_ptr<DDHotKey> current = hotKey())
        defaults.setObject(hotKeyDefaultsKey, QVariantMap{{kKeyCode, qlonglong(current->keyCode())},
                                                          {kModifierFlags, qlonglong(current->modifierFlags())}});
    else
        defaults.removeObject(hotKeyDefaultsKey);
    defaults.synchronize();
}

void HBHotKeyManage::hotKeyFired(const hb::KeyEvent&, const QVariant&)
{
    hb::NotificationCenter::defaultCenter().post(hotKeyFiredNotification);
}

QString HBHotKeyManage::getStringFrom(std::uint16_t keyCode, std::uint64_t modifierFlags) const
{
    return hotKeyDisplayString(keyCode, modifierFlags);
}

QString HBHotKeyManage::getHotKeyStringFromDictionary(const QVariant& record) const
{
    const std::optional<Combination> combination = storedCombination(record);
    return combination ? hotKeyDisplayString(combination->keyCode, combination->modifierFlags) : QString();
}

QString HBHotKeyManage::getStringFromHotKey(const DDHotKey& hotKey) const
{
    return hotKeyDisplayString(hotKey.keyCode(), hotKey.modifierFlags());
}

QString HBHotKeyManage::getHotKeyAsString() const
{
    const std::shared_ptr<DDHotKey> current = hotKey();
    return current ? getStringFromHotKey(*current) : QString();
}
