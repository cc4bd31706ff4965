#pragma once

#include "platform/base/Error.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace hb {

enum class AlertStyle { warning = 0, informational = 1, critical = 2 };

enum AlertResponse : int {
    NSAlertFirstButtonReturn = 1000,
    NSAlertSecondButtonReturn = 1001,
    NSAlertThirdButtonReturn = 1002,
};

// A modal alert. With no buttons added it has the single default button "OK".
class Alert {
public:
    Alert() = default;
    static Alert alertWithError(const Error& error);  // the platform's standard alert for an error

    QString messageText;
    QString informativeText;
    AlertStyle alertStyle = AlertStyle::warning;
    QStringList buttons;
    bool showsSuppressionButton = false;

    void addButtonWithTitle(const QString& title) { buttons << title; }
    // Runs modally on the GUI thread (raises the layer's modal depth while it runs) and answers the
    // pressed button (NSAlertFirstButtonReturn + index).
    int runModal() const;

    // Tests install a presenter that answers in place of a person; it sees every alert shown.
    using Presenter = std::function<int(const Alert&)>;
    static void setPresenter(Presenter presenter);  // null restores the real dialog
};

// Modal depth: a repeating tick that must not run while a modal alert is up checks it.
namespace Modal {
int depth();
struct Scope {
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};
}  // namespace Modal

}  // namespace hb
