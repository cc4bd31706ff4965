#pragma once

#include "platform/vendor/DMFeedbackController.h"

#include <memory>

// The program's side of the vendor component: its start-up services and the feedback window.
class DevmateIntegrate {
public:
    static DevmateIntegrate& shared();

    // The last feedback window's controller, kept while its window is open.
    std::unique_ptr<DMFeedbackController> feedbackController;

    // Once at launch, in this order: the launch record, the issue reporter (also for unhandled
    // failures), a background update check where there is an updater.
    void startUpServices();
    // A new feedback window each time, replacing the previous controller.
    void showFeedbackWindow();

private:
    DevmateIntegrate();
};
