#include "platform/vendor/DevMateKit.h"

#include "platform/base/MainQueue.h"
#include "platform/vendor/IssueReporter.h"
#include "platform/vendor/LaunchRecord.h"
#include "platform/vendor/ProgramVersion.h"

#include <QDateTime>

std::optional<hb::Error> DevMateKit::sendTrackingReport()
{
    return hb::LaunchRecord::recordLaunch(hb::programVersion(), QDateTime::currentDateTimeUtc());
}

void DevMateKit::setupIssuesController(bool reportingUnhandledIssues)
{
    if (reportingUnhandledIssues)
        hb::IssueReporter::installHandlers();
    if (hb::IssueReporter::hasPendingReport())
        hb::MainQueue::async([] { hb::IssueReporter::offerPendingReport(); });
}
