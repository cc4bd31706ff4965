#include "platform/interface/Alert.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace hb {

namespace {

Alert::Presenter& presenter()
{
    static Alert::Presenter instance;
    return instance;
}

int& modalDepth()
{
    static int depth = 0;
    return depth;
}

QMessageBox::Icon iconFor(AlertStyle style)
{
    switch (style) {
    case AlertStyle::informational:
        return QMessageBox::Information;
    case AlertStyle::critical:
        return QMessageBox::Critical;
    case AlertStyle::warning:
        break;
    }
    return QMessageBox::Warning;
}

int runMessageBox(const Alert& alert)
{
    QMessageBox box;
    box.setIcon(iconFor(alert.alertStyle));
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
    if (alert.showsSuppressionButton)
        box.setCheckBox(new QCheckBox(QObject::tr("Do not show this message again")));

    const QStringList titles = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    QList<QAbstractButton*> buttons;
    for (qsizetype index = 0; index < titles.size(); ++index) {
        const QString& title = titles.at(index);
        // The first button is the default one; a "Cancel" button answers the Escape key.
        const bool cancel = index > 0 && title == QLatin1String("Cancel");
        QPushButton* button = box.addButton(title, index == 0 ? QMessageBox::AcceptRole
                                                   : cancel   ? QMessageBox::RejectRole
                                                              : QMessageBox::ActionRole);
        if (index == 0)
            box.setDefaultButton(button);
        if (cancel)
            box.setEscapeButton(button);
        buttons << button;
    }
    box.exec();
    const qsizetype pressed = buttons.indexOf(box.clickedButton());
    // Closing the box without a button counts as the Escape button, else the first one.
    if (pressed < 0) {
        const qsizetype escape = buttons.indexOf(box.escapeButton());
        return NSAlertFirstButtonReturn + static_cast<int>(escape < 0 ? 0 : escape);
    }
    return NSAlertFirstButtonReturn + static_cast<int>(pressed);
}

}  // namespace

Alert Alert::alertWithError(const Error& error)
{
    Alert alert;
    alert.messageText = error.localizedDescription();
    alert.informativeText = error.localizedRecoverySuggestion();
    return alert;
}

int Alert::runModal() const
{
    Modal::Scope scope;
    if (presenter())
        return presenter()(*this);
    return runMessageBox(*this);
}

void Alert::setPresenter(Presenter newPresenter)
{
    presenter() = std::move(newPresenter);
}

namespace Modal {

int depth()
{
    return modalDepth();
}

Scope::Scope()
{
    ++modalDepth();
}

Scope::~Scope()
{
    --modalDepth();
}

}  // namespace Modal

}  // namespace hb
