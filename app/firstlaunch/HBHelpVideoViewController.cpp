#include "app/firstlaunch/HBHelpVideoViewController.h"

#include "app/firstlaunch/FirstLaunchVideo.h"
#include "platform/base/Bundle.h"
#include "platform/interface/SharingService.h"
#include "ui_HBHelpVideoViewController.h"

HBHelpVideoViewController::HBHelpVideoViewController(QWidget* parent) : hb::ViewController(parent) {}

HBHelpVideoViewController::~HBHelpVideoViewController() = default;

void HBHelpVideoViewController::loadView()
{
    ui = std::make_unique<Ui::HBHelpVideoViewController>();
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    playerView = ui->playerView;
    connect(ui->supportButton, &QPushButton::clicked, this, &HBHelpVideoViewController::showSupport);
}

void HBHelpVideoViewController::viewDidLoad()
{
    hb::ViewController::viewDidLoad();
    FirstLaunchVideo::attach(playerView, QStringLiteral("tutorial"), hb::Player::ActionAtItemEnd::Pause);
}

void HBHelpVideoViewController::viewDidDisappear()
{
    hb::ViewController::viewDidDisappear();
    FirstLaunchVideo::release(playerView);
}

void HBHelpVideoViewController::showSupport()
{
    std::optional<hb::SharingService> service = hb::SharingService::sharingServiceNamed(
        hb::NSSharingServiceNameComposeEmail);
    if (!service)
        return;
    service->recipients = {hb::Bundle::objectForInfoDictionaryKey(QStringLiteral("HBSupportEmail")).toString()};
    service->subject = QStringLiteral("Need Harbrill help");
    service->perform();
}
