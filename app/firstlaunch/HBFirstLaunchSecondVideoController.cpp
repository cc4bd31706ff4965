#include "app/firstlaunch/HBFirstLaunchSecondVideoController.h"

#include "ui_HBFirstLaunchSecondVideoController.h"

HBFirstLaunchSecondVideoController::HBFirstLaunchSecondVideoController(QWidget* parent) : hb::ViewController(parent) {}

HBFirstLaunchSecondVideoController::~HBFirstLaunchSecondVideoController() { m_video.stop(playerView, this); }

void HBFirstLaunchSecondVideoController::loadView()
{
    ui = std::make_unique<Ui::HBFirstLaunchSecondVideoController>();
    ui->setupUi(this);
    playerView = ui->playerView;
    connect(ui->backButton, &QPushButton::clicked, this, &HBFirstLaunchSecondVideoController::previousController);
    connect(ui->nextButton, &QPushButton::clicked, this, &HBFirstLaunchSecondVideoController::nextController);
}

void HBFirstLaunchSecondVideoController::viewDidLoad()
{
    hb::ViewController::viewDidLoad();
    FirstLaunchVideo::attach(playerView, QStringLiteral("Instant"), hb::Player::ActionAtItemEnd::None);
}

void HBFirstLaunchSecondVideoController::previousController() { postBackController(); }

void HBFirstLaunchSecondVideoController::nextController() { postNextController(); }

void HBFirstLaunchSecondVideoController::appear()
{
    m_video.start(playerView, this, [this] { playEnded(); });
}

void HBFirstLaunchSecondVideoController::disappear() { m_video.stop(playerView, this); }
