#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

namespace hb {

// The shared defaults controller: observers of "values.<key>" are told when key <key> of the standard
// defaults changes, with its new value. Callbacks run on the context's thread (the GUI thread for widgets;
// without a context, the GUI thread), at once when the change is made there; a connection ends when the
// context object dies or through removeObserver. Only "values.<key>" paths are served.
class UserDefaultsController : public QObject {
    Q_OBJECT
public:
    static UserDefaultsController& shared();

    QVariant valueForKeyPath(const QString& keyPath) const;  // "values.X" -> standard()["X"]
    void setValueForKeyPath(const QString& keyPath, const QVariant& value);

    QMetaObject::Connection addObserver(const QString& keyPath, QObject* context,
                                        std::function<void(const QVariant& newValue)> callback);
    void removeObserver(const QMetaObject::Connection& connection);

private:
    UserDefaultsController();
};

}  // namespace hb
