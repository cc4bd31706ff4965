#include "mainwindow/HBSettingsMenu.h"

#include "core/store/HBConstants.h"
#include "platform/base/Bundle.h"
#include "platform/base/Log.h"
#include "platform/desktop/LoginItem.h"
#include "platform/desktop/UserScriptTask.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Application.h"
#include "platform/interface/SharingService.h"
#include "platform/interface/WindowController.h"
#include "platform/interface/Workspace.h"

#include <QMenu>
#include <QToolButton>

HBSettingsMenu::HBSettingsMenu(QObject* parent) : QObject(parent) {}

HBSettingsMenu::~HBSettingsMenu() = default;

void HBSettingsMenu::build(QToolButton* button)
{
    m_settingsButton = button;
    m_settingsMenu = new QMenu(button);
    m_settingsMenu->setAccessibleName(QStringLiteral("Settings menu"));

    m_startAtLoginItem = m_settingsMenu->addAction(QStringLiteral("Start at Login"));
    m_startAtLoginItem->setCheckable(true);
    connect(m_startAtLoginItem, &QAction::triggered, this, [this] { addToLogin(m_startAtLoginItem); });
    connect(m_settingsMenu, &QMenu::aboutToShow, this,
            [this] { m_startAtLoginItem->setChecked(hb::LoginItem::isEnabled(helperBundleIdentifier)); });
    m_settingsMenu->addSeparator();
    connect(m_settingsMenu->addAction(QStringLiteral("About Harbrill")), &QAction::triggered, this,
            [this] { showAboutBox(); });
    connect(m_settingsMenu->addAction(QStringLiteral("Contact Support")), &QAction::triggered, this,
            [this] { contactSupport(); });
    connect(m_settingsMenu->addAction(QStringLiteral("Open Scripts Folder")), &QAction::triggered, this,
            [this] { openScriptsFolder(); });

    if (const std::optional<hb::Storyboard> main = hb::Storyboard::storyboardWithName(QStringLiteral("Main"))) {
        m_menuActions = main->instantiateController<QMenu>(QStringLiteral("MenuActions"));
        if (m_menuActions && !m_menuActions->actions().isEmpty()) {
            m_settingsMenu->addSeparator();
            m_settingsMenu->addActions(m_menuActions->actions());
        }
    }
    button->setMenu(m_settingsMenu);
}

void HBSettingsMenu::addToLogin(QAction* sender)
{
    // A checkable item has already taken its new state when it reports the trigger.
    addToLoginWithState(sender->isChecked());
    sender->setChecked(hb::LoginItem::isEnabled(helperBundleIdentifier));
}

void HBSettingsMenu::addToLoginWithState(bool state)
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

void HBSettingsMenu::showAboutBox()
{
    m_aboutStoryBoard = hb::Storyboard::storyboardWithName(QStringLiteral("HBAboutStoryBoard"));
    if (!m_aboutStoryBoard)
        return;
    m_aboutWindowController = m_aboutStoryBoard->instantiateController<hb::WindowController>(
        QStringLiteral("AboutBox"));
    if (m_aboutWindowController)
        hb::Application::shared().makeKeyAndOrderFront(m_aboutWindowController->window());
}

void HBSettingsMenu::closeAboutBox()
{
    m_aboutWindowController.reset();
    m_aboutStoryBoard.reset();
}

void HBSettingsMenu::contactSupport()
{
    std::optional<hb::SharingService> service = hb::SharingService::sharingServiceNamed(
        hb::NSSharingServiceNameComposeEmail);
    if (!service)
        return;
    service->recipients = {hb::Bundle::objectForInfoDictionaryKey(QStringLiteral("HBSupportEmail")).toString()};
    service->subject = QStringLiteral("Need Harbrill help");
    service->perform();
}

void HBSettingsMenu::openScriptsFolder()
{
    const std::optional<hb::URL> folder = hb::UserScriptTask::applicationScriptsDirectory(true);
    if (!folder) {
        HBDebug() << "Can't reach user scripts folder";
        return;
    }
    hb::Workspace::openFile(*folder);
}

QToolButton* HBSettingsMenu::settingsButton() const
{
    return m_settingsButton;
}

QMenu* HBSettingsMenu::settingsMenu() const
{
    return m_settingsMenu;
}

QAction* HBSettingsMenu::startAtLoginItem() const
{
    return m_startAtLoginItem;
}
