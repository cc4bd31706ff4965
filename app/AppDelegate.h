#pragma once

#include "app/SetAsideNotice.h"
#include "core/sources/HBExternalServices.h"
#include "platform/interface/Application.h"
#include "platform/interface/StatusItem.h"
#include "platform/interface/StoryboardRegistry.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class HBPageViewController;
class HBWindowController;
class ViewController;

namespace hb {
class Window;
}

// Sets the program up once launching has finished (the vendor component's launch record, issue
// reporter and update check, defaults, Services, tray item, transformers, analytics, the main window), shows the
// first-launch pages until set-up is complete, and hides the program whenever it stops being active.
class AppDelegate : public QObject, public hb::ApplicationDelegate, public hb::ServicesProvider {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    hb::StatusItem hbStatusItem;
    std::unique_ptr<HBWindowController> windowController;
    QPointer<ViewController> mainViewController;
    QPointer<HBPageViewController> setupViewController;
    std::optional<hb::Storyboard> storyBoard;
    HBExternalServices handleServiceObject;
    QPointer<hb::Window> window;

    void applicationDidFinishLaunching() override;
    void applicationWillResignActive() override;
    void applicationWillBecomeActive() override;
    void applicationDidBecomeActive() override;
    void applicationWillTerminate() override;

    void loadMainController();
    // The tray item's action, and what a second start of the program asks for.
    void statusClicked();
    void setUpComplete();
    // "Quit Harbrill" in the tray menu: the main controller asks first while shifts run.
    void quitFromMenu();

    // Service requests reach handleServiceObject once the main controller is there to act on them;
    // before that (during first launch) they are refused rather than silently dropped.
    bool performService(const QString& messageName, hb::Pasteboard& pasteboard, const QString& userData,
                        hb::ServiceAnswer& answer) override;

    // The nine settings every launch registers; the user's own values win.
    static QVariantMap registeredDefaults();

private:
    SetAsideNotice m_setAsideNotice;

    void setUpStatusItem();
    void registerValueTransformers();
    void adjustWindowToContent();
};
