#include "app/firstlaunch/HBFirstLaunchScriptInstall.h"

#include "app/firstlaunch/FirstLaunchVideo.h"
#include "app/firstlaunch/HBHelpVideoViewController.h"
#include "core/sources/HBFinderData.h"
#include "mainwindow/HBCoreUIDelegate.h"
#include "platform/base/Locations.h"
#include "platform/base/Log.h"
#include "platform/base/URL.h"
#include "platform/interface/Workspace.h"
#include "ui_HBFirstLaunchScriptInstall.h"

#include <QDir>

HBFirstLaunchScriptInstall::HBFirstLaunchScriptInstall(QWidget* parent) : hb::ViewController(parent) {}

HBFirstLaunchScriptInstall::~HBFirstLaunchScriptInstall() = default;

void HBFirstLaunchScriptInstall::loadView()
{
    ui = std::make_unique<Ui::HBFirstLaunchScriptInstall>();
    ui->setupUi(this);
    playerView = ui->playerView;
    connect(ui->installButton, &QPushButton::clicked, this, &HBFirstLaunchScriptInstall::downloadScript);
    connect(ui->openFolderButton, &QPushButton::clicked, this, &HBFirstLaunchScriptInstall::openScriptsFolder);
    connect(ui->helpButton, &QPushButton::clicked, this, &HBFirstLaunchScriptInstall::showHelpVideo);
    connect(ui->backButton, &QPushButton::clicked, this, &HBFirstLaunchScriptInstall::previousController);
    connect(ui->nextButton, &QPushButton::clicked, this, &HBFirstLaunchScriptInstall::nextController);
    updateStatus();
}

void HBFirstLaunchScriptInstall::viewDidLoad()
{
    hb::ViewController::viewDidLoad();
    FirstLaunchVideo::attach(playerView, QStringLiteral("script"), hb::Player::ActionAtItemEnd::None);
}

void HBFirstLaunchScriptInstall::viewDidDisappear()
{
    hb::ViewController::viewDidDisappear();
    FirstLaunchVideo::release(playerView);
}

bool HBFirstLaunchScriptInstall::run() const
{
    return HBFinderData().installScript();
}

void HBFirstLaunchScriptInstall::downloadScript()
{
    HBCoreUIDelegate panels;
    HBFinderData().installAutomationScript(panels);
    updateStatus();
}

void HBFirstLaunchScriptInstall::openScriptsFolder()
{
    const QString folder = hb::Locations::applicationScriptsDirectory();
    if (!QDir().mkpath(folder)) {
        HBDebug() << "Can't reach user scripts folder";
        return;
    }
    hb::Workspace::openFile(hb::URL::fileURLWithPath(folder, true));
}

void HBFirstLaunchScriptInstall::showHelpVideo()
{
    if (!m_helpWindowController) {
        m_helpWindowController = std::make_unique<hb::WindowController>();
        m_helpWindowController->setContentViewController(new HBHelpVideoViewController);
        m_helpWindowController->window()->setWindowTitle(QStringLiteral("Harbrill Tutorial"));
        m_helpWindowController->window()->setAccessibleName(QStringLiteral("Harbrill Tutorial"));
    }
    m_helpWindowController->showWindow();
}

void HBFirstLaunchScriptInstall::previousController()
{
    postBackController();
}

void HBFirstLaunchScriptInstall::nextController()
{
    postNextController();
}

void HBFirstLaunchScriptInstall::updateStatus()
{
    if (!ui)
        return;
    const bool installed = run();
    ui->statusLabel->setText(installed ? QStringLiteral("The script is installed.")
                                       : QStringLiteral("The script is not installed yet."));
    ui->statusLabel->setAccessibleDescription(ui->statusLabel->text());
    ui->installButton->setText(installed ? QStringLiteral("Reinstall Script") : QStringLiteral("Install Script"));
    ui->installButton->setAccessibleName(ui->installButton->text());
}
