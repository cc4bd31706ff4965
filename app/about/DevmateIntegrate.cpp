#include "app/about/DevmateIntegrate.h"

#include "platform/base/Log.h"
#include "platform/vendor/DM_SUUpdater.h"
#include "platform/vendor/DevMateKit.h"

#include <QCoreApplication>

DevmateIntegrate& DevmateIntegrate::shared()
{
    static DevmateIntegrate instance;
    return instance;
}

DevmateIntegrate::DevmateIntegrate()
{
    // The feedback window must go while the application object still exists, not with this object at exit.
    if (QCoreApplication* application = QCoreApplication::instance())
        QObject::connect(application, &QCoreApplication::aboutToQuit, [this] { feedbackController.reset(); });
}

void DevmateIntegrate::startUpServices()
{
    if (const std::optional<hb::Error> error = DevMateKit::sendTrackingReport())
        HBDebug() << "Launch not recorded:" << error->localizedDescription();
    DevMateKit::setupIssuesController(true);
    if (DM_SUUpdater* updater = DM_SUUpdater::sharedUpdater())
        updater->checkForUpdatesInBackground();
}

void DevmateIntegrate::showFeedbackWindow()
{
    feedbackController = DMFeedbackController::withWindowNibName(QStringLiteral("FeedbackWindow"));
    if (feedbackController)
        feedbackController->showFeedbackWindowInMode(DMFeedbackDefaultMode, [](bool) {});
}
