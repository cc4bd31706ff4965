#pragma once

#include "platform/interface/StoryboardRegistry.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QAction;
class QMenu;
class QToolButton;
namespace hb {
class WindowController;
}

// The settings button's menu and what its items do: start at login, the about box, a support mail, the
// Application Scripts folder, and the menu actions of the "Main" storyboard when they are there.
class HBSettingsMenu : public QObject {
    Q_OBJECT
public:
    explicit HBSettingsMenu(QObject* parent = nullptr);
    ~HBSettingsMenu() override;

    // Gives the button its menu.
    void build(QToolButton* button);

    QToolButton* settingsButton() const;
    QMenu* settingsMenu() const;
    QAction* startAtLoginItem() const;
    const std::optional<hb::Storyboard>& aboutStoryBoard() const { return m_aboutStoryBoard; }
    hb::WindowController* aboutWindowController() const { return m_aboutWindowController.get(); }

    // The "Start at Login" item asks for its new state; the item then shows the real one.
    void addToLogin(QAction* sender);
    // Turns starting at login on or off; a failure is shown with its reason.
    void addToLoginWithState(bool state);

    // The about box, made anew on each request; none when its scene is not there.
    void showAboutBox();
    void closeAboutBox();
    // A new e-mail to the support address.
    void contactSupport();
    // The Application Scripts folder in the file manager (made when missing).
    void openScriptsFolder();

private:
    QPointer<QToolButton> m_settingsButton;
    QPointer<QMenu> m_settingsMenu;
    QPointer<QAction> m_startAtLoginItem;
    // The storyboard's menu actions live as long as the menu that shows them.
    std::unique_ptr<QMenu> m_menuActions;
    std::optional<hb::Storyboard> m_aboutStoryBoard;
    std::unique_ptr<hb::WindowController> m_aboutWindowController;
};
