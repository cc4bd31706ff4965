#include "app/about/MenuActionsClass.h"

#include "app/about/DevmateIntegrate.h"
#include "platform/vendor/DM_SUUpdater.h"

MenuActionsClass::MenuActionsClass(QWidget* parent) : QMenu(parent)
{
    setAccessibleName(QStringLiteral("Harbrill"));
    feedbackAction = addAction(QStringLiteral("Send Feedback…"));
    connect(feedbackAction, &QAction::triggered, this, [this] { launchFeedbackWindow(feedbackAction); });
    updateAction = addAction(QStringLiteral("Check for Updates…"));
    updateAction->setVisible(DM_SUUpdater::sharedUpdater() != nullptr);
    connect(updateAction, &QAction::triggered, this, [this] { checkForUpdate(updateAction); });
}

void MenuActionsClass::launchFeedbackWindow(QObject*)
{
    DevmateIntegrate::shared().showFeedbackWindow();
}

void MenuActionsClass::checkForUpdate(QObject* sender)
{
    if (DM_SUUpdater* updater = DM_SUUpdater::sharedUpdater())
        updater->checkForUpdates(sender);
}
