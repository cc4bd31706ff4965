#pragma once

#include "core/ui/HBUIDelegate.h"

#include <functional>

// Stands in for the main window: every alert and panel goes to the test's answer, and the progress
// window is only a state (made, shown, hidden, dropped) with the rows' source it was given.
class RecordingUIDelegate : public HBUIDelegate {
public:
    // The index of the button pressed; none set: the first.
    std::function<int(const HBAlertRequest&)> answerAlert;
    // The items chosen; none set: cancelled.
    std::function<std::optional<QList<hb::URL>>(const HBOpenPanelRequest&)> answerOpenPanel;
    // As while an alert of another part of the program is up.
    bool alertUp = false;

    // Set while the window exists.
    HBProgressDataSource* progressWindow = nullptr;
    bool progressWindowVisible = false;

    int runAlert(const HBAlertRequest& alert) override
    {
        // Up while it is answered, as a real one would be.
        const bool wasUp = alertUp;
        alertUp = true;
        const int answer = answerAlert ? answerAlert(alert) : 0;
        alertUp = wasUp;
        return answer;
    }
    bool isShowingAlert() const override { return alertUp; }
    std::optional<QList<hb::URL>> runOpenPanel(const HBOpenPanelRequest& panel) override
    {
        return answerOpenPanel ? answerOpenPanel(panel) : std::nullopt;
    }

    void showProgressWindow(HBProgressDataSource& rows) override
    {
        progressWindow = &rows;
        progressWindowVisible = true;
    }
    bool isProgressWindowVisible() const override { return progressWindow && progressWindowVisible; }
    void reloadProgress(const std::optional<QList<std::int64_t>>&, bool) override {}
    void orderOutProgressWindow() override { progressWindowVisible = false; }
    void closeProgressWindow() override
    {
        progressWindow = nullptr;
        progressWindowVisible = false;
    }
};
