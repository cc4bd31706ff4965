// The main view controller's small services: the Desktop reminder, starting at login, the hot-key
// action and the launchers of the settings menu, each handed to the part that does it.

#include "mainwindow/ViewController.h"

#include "mainwindow/HBDesktopReminder.h"
#include "mainwindow/HBSettingsMenu.h"

// The Desktop reminder

void ViewController::scheduleCheckUp()
{
    m_desktopReminder->scheduleCheckUp();
}

void ViewController::desktopClutter()
{
    m_desktopReminder->desktopClutter();
}

QTimer* ViewController::desktopCheckTimer() const
{
    return m_desktopReminder->desktopCheckTimer();
}

void ViewController::setUserNotificationCenter(hb::UserNotificationCenter* center)
{
    m_desktopReminder->setUserNotificationCenter(center);
}

// Hot key and login item

void ViewController::addHotKey()
{
    addHotKeyToLaunchAppOnSelection();
}

void ViewController::addToLogin(QAction* sender)
{
    m_settings->addToLogin(sender);
}

void ViewController::addToLoginWithState(bool state)
{
    m_settings->addToLoginWithState(state);
}

// The settings menu and its launchers

QToolButton* ViewController::settingsButton() const
{
    return m_settings->settingsButton();
}

QMenu* ViewController::settingsMenu() const
{
    return m_settings->settingsMenu();
}

QAction* ViewController::startAtLoginItem() const
{
    return m_settings->startAtLoginItem();
}

const std::optional<hb::Storyboard>& ViewController::aboutStoryBoard() const
{
    return m_settings->aboutStoryBoard();
}

hb::WindowController* ViewController::aboutWindowController() const
{
    return m_settings->aboutWindowController();
}

void ViewController::showAboutBox()
{
    m_settings->showAboutBox();
}

void ViewController::contactSupport()
{
    m_settings->contactSupport();
}

void ViewController::openScriptsFolder()
{
    m_settings->openScriptsFolder();
}
