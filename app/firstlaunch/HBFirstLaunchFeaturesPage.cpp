#include "app/firstlaunch/HBFirstLaunchFeaturesPage.h"

#include "ui_HBFirstLaunchFeaturesPage.h"

HBFirstLaunchFeaturesPage::HBFirstLaunchFeaturesPage(QWidget* parent)
    : FirstLaunchVideoPage(QStringLiteral("newfolder"), parent)
{
}

HBFirstLaunchFeaturesPage::~HBFirstLaunchFeaturesPage() = default;

void HBFirstLaunchFeaturesPage::loadView()
{
    ui = std::make_unique<Ui::HBFirstLaunchFeaturesPage>();
    ui->setupUi(this);
    connectControls(ui->playerView, ui->backButton, ui->nextButton);
}
