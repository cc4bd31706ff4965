#pragma once

#include "app/firstlaunch/FirstLaunchVideo.h"
#include "app/firstlaunch/HBViewControllerNavigation.h"
#include "platform/interface/ViewController.h"

#include <QPointer>

#include <memory>

namespace Ui {
class HBFirstLaunchFeaturesPage;
}

// Moving files to new sub-folders, shown in a short video.
// Each time the page is reached its video plays once from the start; leaving the page pauses it.
class HBFirstLaunchFeaturesPage : public hb::ViewController, public HBViewControllerNavigation {
    Q_OBJECT
public:
    explicit HBFirstLaunchFeaturesPage(QWidget* parent = nullptr);
    ~HBFirstLaunchFeaturesPage() override;

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
    std::unique_ptr<Ui::HBFirstLaunchFeaturesPage> ui;
    FirstLaunchVideo m_video;
};
