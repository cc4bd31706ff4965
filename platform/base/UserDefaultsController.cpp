#include "platform/base/UserDefaultsController.h"

#include "platform/base/UserDefaults.h"

#include <QCoreApplication>
#include <QThread>

namespace hb {

namespace {

const QString kValuesPrefix = QStringLiteral("values.");

// "values.X" -> "X"; empty for any other key path.
QString defaultsKey(const QString& keyPath)
{
    if (!keyPath.startsWith(kValuesPrefix) || keyPath.size() == kValuesPrefix.size())
        return {};
    return keyPath.mid(kValuesPrefix.size());
}

}  // namespace

UserDefaultsController::UserDefaultsController()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        moveToThread(app->thread());
}

UserDefaultsController& UserDefaultsController::shared()
{
    static UserDefaultsController* controller = new UserDefaultsController;
    return *controller;
}

QVariant UserDefaultsController::valueForKeyPath(const QString& keyPath) const
{
    const QString key = defaultsKey(keyPath);
    return key.isEmpty() ? QVariant() : UserDefaults::standard().object(key);
}

void UserDefaultsController::setValueForKeyPath(const QString& keyPath, const QVariant& value)
{
    const QString key = defaultsKey(keyPath);
    if (!key.isEmpty())
        UserDefaults::standard().setObject(key, value);
}

QMetaObject::Connection UserDefaultsController::addObserver(const QString& keyPath, QObject* context,
                                                            std::function<void(const QVariant& newValue)> callback)
{
    const QString key = defaultsKey(keyPath);
    if (key.isEmpty() || !callback)
        return {};
    // The standard store lives as long as the process and survives resets, so the connection stays good.
    return connect(&UserDefaults::standard(), &UserDefaults::valueChanged, context != nullptr ? context : this,
                   [key, callback = std::move(callback)](const QString& changed) {
                       if (changed == key)
                           callback(UserDefaults::standard().object(key));
                   });
}

void UserDefaultsController::removeObserver(const QMetaObject::Connection& connection)
{
    disconnect(connection);
}

}  // namespace hb
