#include "platform/vendor/DMFeedbackController.h"

#include "platform/base/ProgramIdentity.h"
#include "platform/interface/Alert.h"
#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/ViewController.h"
#include "platform/interface/WindowPlacement.h"
#include "platform/interface/Workspace.h"
#include "platform/vendor/Mailto.h"
#include "platform/vendor/ModalSession.h"
#include "platform/vendor/ProgramVersion.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>

std::unique_ptr<DMFeedbackController> DMFeedbackController::withWindowNibName(const QString& windowNibName)
{
    const std::optional<hb::Storyboard> storyboard = hb::Storyboard::storyboardWithName(windowNibName);
    std::unique_ptr<hb::ViewController> form = storyboard ? storyboard->instantiateController<hb::ViewController>(
                                                   windowNibName)
                                                          : nullptr;
    if (!form)
        return nullptr;
    form->loadViewIfNeeded();
    std::unique_ptr<DMFeedbackController> controller(new DMFeedbackController);
    controller->m_nameField = form->findChild<QLineEdit*>(QStringLiteral("nameField"));
    controller->m_emailField = form->findChild<QLineEdit*>(QStringLiteral("emailField"));
    controller->m_messageView = form->findChild<QPlainTextEdit*>(QStringLiteral("messageView"));
    auto* sendButton = form->findChild<QAbstractButton*>(QStringLiteral("sendButton"));
    if (!controller->m_nameField || !controller->m_emailField || !controller->m_messageView || !sendButton)
        return nullptr;
    connect(sendButton, &QAbstractButton::clicked, controller.get(), &DMFeedbackController::send);
    controller->m_windowController.setContentViewController(form.release());
    hb::Window* window = controller->window();
    window->setWindowTitle(QStringLiteral("Send Feedback"));
    window->setAccessibleName(QStringLiteral("Send Feedback"));
    window->movableByWindowBackground = true;
    return controller;
}

DMFeedbackController::~DMFeedbackController() = default;

void DMFeedbackController::showFeedbackWindowInMode(DMFeedbackMode, const std::function<void(bool sent)>& completion)
{
    m_sent = false;
    hb::Window* shown = window();
    shown->adjustSize();
    hb::WindowPlacement::placeBesideMainWindow(shown);
    hb::ModalSession::runModalForWindow(shown);
    shown->hide();
    if (completion)
        completion(m_sent);
}

QUrl DMFeedbackController::feedbackMail(const QString& name, const QString& email, const QString& message)
{
    const QString& program = hb::programIdentity().name;
    const QString body = QStringLiteral("%1\n\nName: %2\nE-mail: %3\n%4 %5\n")
                             .arg(message, name.trimmed(), email.trimmed(), program, hb::programVersion());
    return hb::Mailto::compose(hb::Mailto::supportAddress(), program + QStringLiteral(" feedback"), body);
}

void DMFeedbackController::send()
{
    if (!hb::Workspace::openURL(
            feedbackMail(m_nameField->text(), m_emailField->text(), m_messageView->toPlainText()))) {
        // The message stays in the form: closing it now would lose what the user wrote.
        hb::Alert alert;
        alert.messageText = QStringLiteral("%1 could not open your mail program.").arg(hb::programIdentity().name);
        alert.informativeText = QStringLiteral("Your message is still in the form. You can also write to %1.")
                                    .arg(hb::Mailto::supportAddress());
        alert.runModal();
        return;
    }
    m_sent = true;
    hb::ModalSession::stopModal();
}
