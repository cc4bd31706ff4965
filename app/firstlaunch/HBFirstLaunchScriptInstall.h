#pragma once

#include "app/firstlaunch/HBViewControllerNavigation.h"
#include "platform/interface/PlayerView.h"
#include "platform/interface/ViewController.h"
#include "platform/interface/WindowController.h"

#include <QPointer>

#include <memory>

namespace Ui {
class HBFirstLaunchScriptInstall;
}

// The page that installs the script through which Harbrill reads the file manager's selection.
class HBFirstLaunchScriptInstall : public hb::ViewController, public HBViewControllerNavigation {
    Q_OBJECT
public:
    explicit HBFirstLaunchScriptInstall(QWidget* parent = nullptr);
    ~HBFirstLaunchScriptInstall() override;

    QPointer<hb::PlayerView> playerView;

    // Whether the script is installed.
    bool run() const;
    // The script ships with Harbrill: copies it into the Application Scripts folder once the user
    // confirms that folder.
    void downloadScript();
    // Shows the Application Scripts folder in the file manager.
    void openScriptsFolder();
    // The tutorial video in a window of its own.
    void showHelpVideo();
    void previousController();
    void nextController();

    void appear() override { updateStatus(); }
    void disappear() override {}

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewDidDisappear() override;

private:
    void updateStatus();
    std::unique_ptr<Ui::HBFirstLaunchScriptInstall> ui;
    std::unique_ptr<hb::WindowController> m_helpWindowController;
};
