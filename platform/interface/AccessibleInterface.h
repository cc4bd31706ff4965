#pragma once

#include <QAccessible>
#include <QLatin1String>
#include <QObject>

namespace hb {

// Makes `Interface` (constructed from a `Widget*`) what assistive technologies see of every `Widget`,
// also of the classes derived from it. Called from the widget's constructor; installs once.
template <class Widget, class Interface>
void installAccessibleInterface()
{
    static const bool installed = (QAccessible::installFactory([](const QString& className, QObject* object) {
                                       QAccessibleInterface* found = nullptr;
                                       if (className == QLatin1String(Widget::staticMetaObject.className()) && object
                                           && object->isWidgetType())
                                           found = new Interface(static_cast<Widget*>(object));
                                       return found;
                                   }),
                                   true);
    Q_UNUSED(installed)
}

}  // namespace hb
