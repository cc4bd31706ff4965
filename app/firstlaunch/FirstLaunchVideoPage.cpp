#include "app/firstlaunch/FirstLaunchVideoPage.h"

#include <QPushButton>

FirstLaunchVideoPage::FirstLaunchVideoPage(QString videoName, QWidget* parent)
    : hb::ViewController(parent), m_videoName(std::move(videoName))
{
}

FirstLaunchVideoPage::~FirstLaunchVideoPage()
{
    m_video.stop(playerView, this);
}

void FirstLaunchVideoPage::connectControls(hb::PlayerView* view, QPushButton* back, QPushButton* next)
{
    playerView = view;
    connect(back, &QPushButton::clicked, this, &FirstLaunchVideoPage::previousController);
    connect(next, &QPushButton::clicked, this, &FirstLaunchVideoPage::nextController);
}

void FirstLaunchVideoPage::viewDidLoad()
{
    hb::ViewController::viewDidLoad();
    FirstLaunchVideo::attach(playerView, m_videoName, hb::Player::ActionAtItemEnd::None);
}

void FirstLaunchVideoPage::previousController()
{
    postBackController();
}

void FirstLaunchVideoPage::nextController()
{
    postNextController();
}

void FirstLaunchVideoPage::appear()
{
    m_video.start(playerView, this, [this] { playEnded(); });
}

void FirstLaunchVideoPage::disappear()
{
    m_video.stop(playerView, this);
}
