#pragma once

#include "app/firstlaunch/HBViewControllerNavigation.h"
#include "platform/base/URL.h"
#include "platform/interface/OpenPanel.h"
#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/ViewController.h"
#include "platform/interface/WindowController.h"

#include <QPointer>

#include <memory>
#include <optional>

class QLabel;
class QPushButton;

namespace Ui {
class HBFirstLaunchController;
}

// The last first-launch page: the user grants access to the home folder, which ends set-up.
class HBFirstLaunchController : public hb::ViewController, public HBViewControllerNavigation {
    Q_OBJECT
public:
    explicit HBFirstLaunchController(QWidget* parent = nullptr);
    ~HBFirstLaunchController() override;

    QPointer<QLabel> driveImage;
    QPointer<QPushButton> selectButton;
    QPointer<QLabel> driveLabel;
    QString driveName;
    std::optional<hb::URL> driveURL;
    hb::OpenPanel choosePanel;
    std::optional<hb::Storyboard> aboutStoryBoard;
    std::unique_ptr<hb::WindowController> aboutWindowController;

    // Asks for the home folder in the open panel and keeps a bookmark of it. False when the user
    // cancels, and when the bookmark cannot be made (the page then says why and stays).
    bool run();
    // Only the home folder itself can be chosen.
    bool panelShouldEnableURL(const hb::URL& url) const;
    void selectRootDrive();
    // Records that set-up is complete and says so to whoever waits for it.
    void setupComplete();
    void quitApp();
    void previousController();
    // Brings the about box ("HBAboutStoryBoard", "AboutBox") to the front.
    void showAboutBox();

    void appear() override {}
    void disappear() override {}

protected:
    void loadView() override;

private:
    void showProblem(const QString& text);
    std::unique_ptr<Ui::HBFirstLaunchController> ui;
    bool m_completing = false;
};
