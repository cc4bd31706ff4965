// The main view controller's small services: the Desktop reminder, starting at login, the hot-key
// action and the launchers of the settings menu.

#include "mainwindow/ViewController.h"

#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "platform/base/Bundle.h"
#include "platform/base/Locations.h"
#include "platform/base/Log.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/LoginItem.h"
#include "platform/desktop/UserNotificationCenter.h"
#include "platform/desktop/UserScriptTask.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Application.h"
#include "platform/interface/SharingService.h"
#include "platform/interface/WindowController.h"
#include "platform/interface/Workspace.h"

#include "ui_MainViewController.h"

#include <QDateTime>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr qint64 checkInterval = 259200;  // three days, in seconds
constexpr qint64 clutteredAbove = 20;

}  // namespace

// The Desktop reminder

void ViewController::scheduleCheckUp()
{
    const QVariant last = hb::UserDefaults::standard().object(checkDesktopDefaultsKey);
    const QDateTime lastCheck = last.typeId() == QMetaType::QDateTime ? last.toDateTime() : QDateTime();
    const qint64 elapsed = lastCheck.isValid() ? lastCheck.secsTo(QDateTime::currentDateTimeUtc()) : 0;
    if (!lastCheck.isValid() || elapsed > checkInterval) {
        desktopClutter();
        return;
    }
    // The stored time stays that of the last check: a program started more often than every three days
    // must still reach its next check.
    scheduleDesktopCheck(checkInterval - std::max<qint64>(elapsed, 0));
}

void ViewController::desktopClutter()
{
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    if (defaults.boolForKey(notificationsActiveDefaultsKey)) {
        const QString home = hb::Locations::userDatabaseHome();
        const hb::URL desktop = hb::URL::fileURLWithPath(hb::Path::join(home, QStringLiteral("Desktop")), true);
        if (home.isEmpty()) {
            HBDebug() << "No home folder for this user: the Desktop is not checked";
        } else if (HBURL::shared().directoryContents(desktop) > clutteredAbove) {
            userNotificationCenter->removeAllDeliveredNotifications();
            userNotificationCenter->scheduleNotification(
                {QStringLiteral("Desktop cluttered"),
                 QStringLiteral("Use Harbrill to quickly clean up and organize your computer."), QStringLiteral("Close")});
        }
    }
    scheduleDesktopCheck(checkInterval);
    defaults.setObject(checkDesktopDefaultsKey, QDateTime::currentDateTimeUtc());
}

void ViewController::scheduleDesktopCheck(qint64 seconds)
{
    // One timer: a new schedule replaces the pending one, so only one chain of checks ever runs.
    if (!desktopCheckTimer) {
        desktopCheckTimer = new QTimer(this);
        desktopCheckTimer->setSingleShot(true);
        desktopCheckTimer->setTimerType(Qt::VeryCoarseTimer);
        connect(desktopCheckTimer, &QTimer::timeout, this, [this] { desktopClutter(); });
    }
    desktopCheckTimer->start(std::chrono::seconds(seconds));
}

// Hot key and login item

void ViewController::addHotKey() { addHotKeyToLaunchAppOnSelection(); }

void ViewController::addToLogin(QAction* sender)
{
    // A checkable item has already taken its new state when it reports the trigger.
    addToLoginWithState(sender->isChecked());
    sender->setChecked(hb::LoginItem::isEnabled(helperBundleIdentifier));
}

void ViewController::addToLoginWithState(bool state)
{
    std::optional<hb::Error> error = hb::LoginItem::setEnabled(helperBundleIdentifier, state);
    if (error)
        error = hb::LoginItem::setEnabled(helperBundleIdentifier, state);
    if (!error)
        return;
    hb::Alert alert;
    alert.alertStyle = hb::AlertStyle::warning;
    alert.messageText = state ? QStringLiteral("Harbrill cannot start at login")
                              : QStringLiteral("Harbrill cannot stop starting at login");
    alert.informativeText = error->localizedDescription();
    alert.runModal();
}

// Launchers

void ViewController::showAboutBox()
{
    aboutStoryBoard = hb::Storyboard::storyboardWithName(QStringLiteral("HBAboutStoryBoard"));
    if (!aboutStoryBoard)
        return;
    aboutWindowController = aboutStoryBoard->instantiateController<hb::WindowController>(QStringLiteral("AboutBox"));
    if (aboutWindowController)
        hb::Application::shared().makeKeyAndOrderFront(aboutWindowController->window());
}

void ViewController::contactSupport()
{
    std::optional<hb::SharingService> service =
        hb::SharingService::sharingServiceNamed(hb::NSSharingServiceNameComposeEmail);
    if (!service)
        return;
    service->recipients = {hb::Bundle::objectForInfoDictionaryKey(QStringLiteral("HBSupportEmail")).toString()};
    service->subject = QStringLiteral("Need Harbrill help");
    service->perform();
}

void ViewController::openScriptsFolder()
{
    const std::optional<hb::URL> folder = hb::UserScriptTask::applicationScriptsDirectory(true);
    if (!folder) {
        HBDebug() << "Can't reach user scripts folder";
        return;
    }
    hb::Workspace::openFile(*folder);
}

// The settings menu

void ViewController::buildSettingsMenu()
{
    settingsButton = m_ui->settingsButton;
    settingsMenu = new QMenu(settingsButton);
    settingsMenu->setAccessibleName(QStringLiteral("Settings menu"));

    startAtLoginItem = settingsMenu->addAction(QStringLiteral("Start at Login"));
    startAtLoginItem->setCheckable(true);
    connect(startAtLoginItem, &QAction::triggered, this, [this] { addToLogin(startAtLoginItem); });
    connect(settingsMenu, &QMenu::aboutToShow, this,
            [this] { startAtLoginItem->setChecked(hb::LoginItem::isEnabled(helperBundleIdentifier)); });
    settingsMenu->addSeparator();
    connect(settingsMenu->addAction(QStringLiteral("About Harbrill")), &QAction::triggered, this,
            [this] { showAboutBox(); });
    connect(settingsMenu->addAction(QStringLiteral("Contact Support")), &QAction::triggered, this,
            [this] { contactSupport(); });
    connect(settingsMenu->addAction(QStringLiteral("Open Scripts Folder")), &QAction::triggered, this,
            [this] { openScriptsFolder(); });

    if (const std::optional<hb::Storyboard> main = hb::Storyboard::storyboardWithName(QStringLiteral("Main"))) {
        m_menuActions = main->instantiateController<QMenu>(QStringLiteral("MenuActions"));
        if (m_menuActions && !m_menuActions->actions().isEmpty()) {
            settingsMenu->addSeparator();
            settingsMenu->addActions(m_menuActions->actions());
        }
    }
    settingsButton->setMenu(settingsMenu);
}
