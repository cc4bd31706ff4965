#include "app/firstlaunch/HBFirstLaunchSecondVideoController.h"

#include "ui_HBFirstLaunchSecondVideoController.h"

HBFirstLaunchSecondVideoController::HBFirstLaunchSecondVideoController(QWidget* parent)
    : FirstLaunchVideoPage(QStringLiteral("Instant"), parent)
{
}

HBFirstLaunchSecondVideoController::~HBFirstLaunchSecondVideoController() = default;

void HBFirstLaunchSecondVideoController::loadView()
{
    ui = std::make_unique<Ui::HBFirstLaunchSecondVideoController>();
    ui->setupUi(this);
    connectControls(ui->playerView, ui->backButton, ui->nextButton);
}
