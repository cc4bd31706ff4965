#include "core/hotkey/DDHotKey.h"

#include <QMetaMethod>
#include <QMetaObject>

namespace {
QMetaMethod actionMethod(const QObject* target, const QByteArray& action)
{
    if (!target || action.isEmpty())
        return {};
    const QByteArray signature = QMetaObject::normalizedSignature(action + "(hb::KeyEvent,QVariant)");
    return target->metaObject()->method(target->metaObject()->indexOfMethod(signature.constData()));
}
}  // namespace

std::shared_ptr<DDHotKey> DDHotKey::hotKeyWithKeyCode(std::uint16_t keyCode, std::uint64_t modifierFlags, Task task)
{
    std::shared_ptr<DDHotKey> hotKey(new DDHotKey);
    hotKey->_setKeyCode(keyCode);
    hotKey->_setModifierFlags(modifierFlags);
    hotKey->_setTask(std::move(task));
    return hotKey;
}

void DDHotKey::invokeWithEvent(const hb::KeyEvent& event) const
{
    const QMetaMethod method = actionMethod(m_target, m_action);
    if (method.isValid())
        method.invoke(m_target.data(), Qt::DirectConnection, Q_ARG(hb::KeyEvent, event), Q_ARG(QVariant, m_object));
    else if (m_task)
        m_task(event);
}

QString DDHotKey::description() const
{
    return QStringLiteral("DDHotKey(keyCode %1, modifierFlags 0x%2, id %3%4)")
        .arg(m_keyCode)
        .arg(m_modifierFlags, 0, 16)
        .arg(m_hotKeyID)
        .arg(m_hotKeyRef ? QStringLiteral(", registered") : QString());
}
