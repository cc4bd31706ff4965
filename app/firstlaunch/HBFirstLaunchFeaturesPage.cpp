#include "app/firstlaunch/HBFirstLaunchFeaturesPage.h"

#include "ui_HBFirstLaunchFeaturesPage.h"

HBFirstLaunchFeaturesPage::HBFirstLaunchFeaturesPage(QWidget* parent) : hb::ViewController(parent) {}

HBFirstLaunchFeaturesPage::~HBFirstLaunchFeaturesPage() { m_video.stop(playerView, this); }

void HBFirstLaunchFeaturesPage::loadView()
{
    ui = std::make_unique<Ui::HBFirstLaunchFeaturesPage>();
    ui->setupUi(this);
    playerView = ui->playerView;
    connect(ui->backButton, &QPushButton::clicked, this, &HBFirstLaunchFeaturesPage::previousController);
    connect(ui->nextButton, &QPushButton::clicked, this, &HBFirstLaunchFeaturesPage::nextController);
}

void HBFirstLaunchFeaturesPage::viewDidLoad()
{
    hb::ViewController::viewDidLoad();
    FirstLaunchVideo::attach(playerView, QStringLiteral("newfolder"), hb::Player::ActionAtItemEnd::None);
}

void HBFirstLaunchFeaturesPage::previousController() { postBackController(); }

void HBFirstLaunchFeaturesPage::nextController() { postNextController(); }

void HBFirstLaunchFeaturesPage::appear()
{
    m_video.start(playerView, this, [this] { playEnded(); });
}

void HBFirstLaunchFeaturesPage::disappear() { m_video.stop(playerView, this); }
