#pragma once

#include "app/firstlaunch/FirstLaunchVideo.h"
#include "app/firstlaunch/HBViewControllerNavigation.h"
#include "platform/interface/ViewController.h"

#include <QPointer>

class QPushButton;

// A first-launch page that shows a feature in a short video, with Back and Next. Each time the page is
// reached its video plays once from the start; leaving the page pauses it.
class FirstLaunchVideoPage : public hb::ViewController, public HBViewControllerNavigation {
    Q_OBJECT
public:
    ~FirstLaunchVideoPage() override;

    QPointer<hb::PlayerView> playerView;

    void previousController();
    void nextController();
    void appear() override;
    void disappear() override;
    void playEnded() {}

protected:
    FirstLaunchVideoPage(QString videoName, QWidget* parent);
    // A page's loadView hands over the controls of its form.
    void connectControls(hb::PlayerView* view, QPushButton* back, QPushButton* next);
    void viewDidLoad() override;

private:
    QString m_videoName;
    FirstLaunchVideo m_video;
};
