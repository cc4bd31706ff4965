#pragma once

#include "core/ui/HBUIDelegate.h"
#include "platform/interface/StoryboardRegistry.h"

#include <memory>
#include <optional>

class HBProgressWindowController;

// The main window's side of the core's UI delegate: real alerts, open panels and the progress window
// (the scene "EntryPoint" of the storyboard "HBProgress", made on first need). Main thread only.
class HBCoreUIDelegate : public HBUIDelegate {
public:
    HBCoreUIDelegate();
    ~HBCoreUIDelegate() override;

    int runAlert(const HBAlertRequest& alert) override;
    bool isShowingAlert() const override;
    std::optional<QList<hb::URL>> runOpenPanel(const HBOpenPanelRequest& panel) override;

    void showProgressWindow(HBProgressDataSource& rows) override;
    bool isProgressWindowVisible() const override;
    void reloadProgress(const std::optional<QList<std::int64_t>>& rows, bool reloadAll) override;
    void orderOutProgressWindow() override;
    void closeProgressWindow() override;

    HBProgressWindowController* progressWindowController() const { return m_progressWindowController.get(); }

private:
    std::unique_ptr<HBProgressWindowController> m_progressWindowController;
    std::optional<hb::Storyboard> m_storyBoard;
};
