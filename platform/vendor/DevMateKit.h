#pragma once

#include "platform/base/Error.h"

#include <optional>

// The vendor component's start-up services: the launch record and the issue reporter.
class DevMateKit {
public:
    // Counts this launch in the local launch record (nothing is sent anywhere).
    static std::optional<hb::Error> sendTrackingReport();
    // Offers a report left by an earlier failure (on the main queue, once start-up is done) and, when
    // `reportingUnhandledIssues`, catches unhandled failures of this run in a report of their own.
    static void setupIssuesController(bool reportingUnhandledIssues);
};
