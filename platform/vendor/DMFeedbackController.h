#pragma once

#include "platform/interface/WindowController.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QAbstractButton;
class QLineEdit;
class QPlainTextEdit;

enum DMFeedbackMode : int {
    DMFeedbackDefaultMode = 2,  // the form in a window of its own, run modally
};

// The feedback window. Its form is the layout registered in the storyboard registry under the nib
// name (storyboard and identifier both), a view controller whose children carry these object names:
// "nameField" and "emailField" (line edits), "messageView" (a plain-text edit) and "sendButton".
// Send opens a new mail to the support address holding the message, the name and the address.
class DMFeedbackController : public QObject {
    Q_OBJECT
public:
    // None when the layout is not registered or lacks one of the named children.
    static std::unique_ptr<DMFeedbackController> withWindowNibName(const QString& windowNibName);
    ~DMFeedbackController() override;

    // Shows the window modally; returns when it is closed or the message has gone to the mail
    // program, and then calls `completion` with whether it was sent.
    void showFeedbackWindowInMode(DMFeedbackMode mode, const std::function<void(bool sent)>& completion);

    hb::Window* window() { return m_windowController.window(); }

    // The mail that Send opens.
    static QUrl feedbackMail(const QString& name, const QString& email, const QString& message);

private:
    DMFeedbackController() = default;
    void send();

    hb::WindowController m_windowController;
    QPointer<QLineEdit> m_nameField;
    QPointer<QLineEdit> m_emailField;
    QPointer<QPlainTextEdit> m_messageView;
    bool m_sent = false;
};
