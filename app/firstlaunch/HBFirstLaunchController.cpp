#include "app/firstlaunch/HBFirstLaunchController.h"

#include "core/engine/HBDelayOnMain.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "platform/base/Bundle.h"
#include "platform/base/Locations.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/interface/Application.h"
#include "ui_HBFirstLaunchController.h"

#include <QIcon>
#include <QPointer>

HBFirstLaunchController::HBFirstLaunchController(QWidget* parent) : hb::ViewController(parent) {}

HBFirstLaunchController::~HBFirstLaunchController() = default;

void HBFirstLaunchController::loadView()
{
    ui = std::make_unique<Ui::HBFirstLaunchController>();
    ui->setupUi(this);
    driveImage = ui->driveImage;
    selectButton = ui->selectButton;
    driveLabel = ui->driveLabel;

    // The user's real home folder, not the sandbox's.
    const QString home = hb::URL::normalisedPath(hb::Locations::userDatabaseHome());
    driveURL = hb::URL::fileURLWithPath(home, true);
    driveName = home == QStringLiteral("/") ? home : home.section(u'/', -1, -1, QString::SectionSkipEmpty);

    const QString folderImage = hb::Bundle::pathForResource(QStringLiteral("images"), QStringLiteral("folder"),
                                                            {QStringLiteral("svg"), QStringLiteral("png")});
    const QIcon icon = folderImage.isEmpty() ? QIcon::fromTheme(QStringLiteral("user-home")) : QIcon(folderImage);
    driveImage->setPixmap(icon.pixmap(88, 88));
    driveImage->setAccessibleName(QStringLiteral("Home folder"));
    driveLabel->setText(QStringLiteral("%1 (%2)").arg(driveName, home));
    driveLabel->setAccessibleDescription(driveLabel->text());
    ui->errorLabel->hide();

    connect(selectButton, &QPushButton::clicked, this, &HBFirstLaunchController::selectRootDrive);
    connect(ui->backButton, &QPushButton::clicked, this, &HBFirstLaunchController::previousController);
    connect(ui->quitButton, &QPushButton::clicked, this, &HBFirstLaunchController::quitApp);
    connect(ui->aboutButton, &QPushButton::clicked, this, &HBFirstLaunchController::showAboutBox);
}

bool HBFirstLaunchController::panelShouldEnableURL(const hb::URL& url) const
{
    return driveURL && hb::URL::normalisedPath(url.path()) == driveURL->path();
}

bool HBFirstLaunchController::run()
{
    choosePanel.title = QStringLiteral("Choose ") + driveName;
    choosePanel.canChooseDirectories = true;
    choosePanel.canChooseFiles = false;
    choosePanel.canCreateDirectories = false;
    choosePanel.allowsMultipleSelection = false;
    choosePanel.prompt = QStringLiteral("Choose");
    choosePanel.message = QStringLiteral("Choose ") + driveName + QStringLiteral(" and start using Harbrill");
    choosePanel.directoryURL = driveURL;
    choosePanel.shouldEnableURL = [this](const hb::URL& url) { return panelShouldEnableURL(url); };

    if (choosePanel.runModal() != hb::NSModalResponseOK || choosePanel.URLs().isEmpty())
        return false;
    const hb::URL chosen = choosePanel.URLs().constFirst();
    // Without the bookmark Harbrill could not reach the folder on the next start: say so and stay.
    if (!HBURL::shared().bookmark(chosen, false)) {
        showProblem(QStringLiteral("Harbrill could not keep access to %1. Check that the folder exists and that you "
                                   "may read it, then try again.")
                        .arg(chosen.path()));
        return false;
    }
    ui->errorLabel->hide();
    return true;
}

void HBFirstLaunchController::showProblem(const QString& text)
{
    ui->errorLabel->setText(text);
    ui->errorLabel->setAccessibleDescription(text);
    ui->errorLabel->show();
}

void HBFirstLaunchController::selectRootDrive()
{
    if (m_completing || !run())
        return;
    // One completion per grant, even if the button is pressed again before it runs.
    m_completing = true;
    selectButton->setEnabled(false);
    delayOnMain(0.2, [page = QPointer<HBFirstLaunchController>(this)] {
        if (page)
            page->setupComplete();
    });
}

void HBFirstLaunchController::setupComplete()
{
    hb::UserDefaults::standard().setBool(setupCompleteDefaultsKey, true);
    hb::UserDefaults::standard().synchronize();
    // Whoever waits may replace this page at once: nothing of it is touched after posting.
    hb::NotificationCenter::defaultCenter().post(setupCompleteNotification);
}

void HBFirstLaunchController::quitApp()
{
    hb::Application::shared().terminate();
}

void HBFirstLaunchController::previousController()
{
    postBackController();
}

void HBFirstLaunchController::showAboutBox()
{
    aboutStoryBoard = hb::Storyboard::storyboardWithName(QStringLiteral("HBAboutStoryBoard"));
    if (!aboutStoryBoard)
        return;
    aboutWindowController = aboutStoryBoard->instantiateController<hb::WindowController>(QStringLiteral("AboutBox"));
    if (aboutWindowController)
        aboutWindowController->showWindow();
}
