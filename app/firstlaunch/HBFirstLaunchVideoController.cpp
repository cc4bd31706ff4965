#include "app/firstlaunch/HBFirstLaunchVideoController.h"

#include "platform/base/Bundle.h"
#include "ui_HBFirstLaunchVideoController.h"

#include <QIcon>

HBFirstLaunchVideoController::HBFirstLaunchVideoController(QWidget* parent) : hb::ViewController(parent) {}

HBFirstLaunchVideoController::~HBFirstLaunchVideoController() = default;

void HBFirstLaunchVideoController::loadView()
{
    ui = std::make_unique<Ui::HBFirstLaunchVideoController>();
    ui->setupUi(this);
    const QString icon = hb::Bundle::pathForResource(QStringLiteral("images"), QStringLiteral("statusBarIcon"),
                                                     {QStringLiteral("svg")});
    if (!icon.isEmpty())
        ui->appIcon->setPixmap(QIcon(icon).pixmap(96, 96));
    connect(ui->nextButton, &QPushButton::clicked, this, &HBFirstLaunchVideoController::nextController);
}

void HBFirstLaunchVideoController::nextController()
{
    postNextController();
}
