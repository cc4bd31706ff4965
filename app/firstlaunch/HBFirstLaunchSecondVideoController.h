#pragma once

#include "app/firstlaunch/FirstLaunchVideo.h"
#include "app/firstlaunch/HBViewControllerNavigation.h"
#include "platform/interface/ViewController.h"

#include <QPointer>

#include <memory>

namespace Ui {
class HBFirstLaunchSecondVideoController;
}

// Bringing Harbrill up with its shortcut, shown in a short video.
// Each time the page is reached its video plays once from the start; leaving the page pauses it.
class HBFirstLaunchSecondVideoController : public hb::ViewController, public HBViewControllerNavigation {
    Q_OBJECT
public:
    explicit HBFirstLaunchSecondVideoController(QWidget* parent = nullptr);
    ~HBFirstLaunchSecondVideoController() override;

    QPointer<hb::PlayerView> playerView;

    void previousController();
    void nextController();
    void appear() override;
    void disappear() override;
    void playEnded() {}

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    std::unique_ptr<Ui::HBFirstLaunchSecondVideoController> ui;
    FirstLaunchVideo m_video;
};
