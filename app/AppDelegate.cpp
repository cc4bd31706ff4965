#include "app/AppDelegate.h"

#include "app/about/DevmateIntegrate.h"
#include "app/firstlaunch/HBPageViewController.h"
#include "core/analytics/GoogleReporter.h"
#include "core/store/HBConstants.h"
#include "mainwindow/ViewController.h"
#include "mainwindow/controls/HBValueTransformers.h"
#include "mainwindow/controls/HotKeyToStringTransformer.h"
#include "mainwindow/controls/HBWindowController.h"
#include "platform/base/Bundle.h"
#include "platform/base/Log.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/Services.h"

#include <QAction>
#include <QIcon>
#include <QTimer>

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {}

AppDelegate::~AppDelegate()
{
    hb::NotificationCenter::defaultCenter().removeObserver(this);
    hb::Services::setServicesProvider(nullptr);
}

QVariantMap AppDelegate::registeredDefaults()
{
    return {{scriptInstalledDefaultsKey, false},      {initialToolTipDelayDefaultsKey, qlonglong(5)},
            {setupCompleteDefaultsKey, false},        {scriptRunDefaultsKey, qlonglong(0)},
            {notificationsActiveDefaultsKey, true},   {firstRunDefaultsKey, true},
            {launchAtLoginDefaultsKey, qlonglong(0)}, {hideExternalDrivesDefaultsKey, false},
            {playSoundEffectsDefaultsKey, true}};
}

void AppDelegate::applicationDidFinishLaunching()
{
    DevmateIntegrate::shared().startUpServices();
    hb::UserDefaults::standard().registerDefaults(registeredDefaults());
    m_setAsideNotice.start();

    if (std::optional<hb::Error> error = hb::Services::setServicesProvider(this))
        qWarning().noquote() << "Services are not offered:" << error->localizedDescription();
    // Writing the desktop entries waits until start-up is done: nothing needs them before.
    QTimer::singleShot(0, this, [] {
        if (std::optional<hb::Error> error = hb::Services::updateDynamicServices())
            HBDebug() << "Services entries not written:" << error->localizedDescription();
    });

    setUpStatusItem();
    registerValueTransformers();

    GoogleReporter::shared().configure(GoogleReporter::bundledTrackerId());
    GoogleReporter::shared().session(true);

    storyBoard = hb::Storyboard::storyboardWithName(QStringLiteral("Main"));
    if (storyBoard)
        windowController = storyBoard->instantiateController<HBWindowController>(QStringLiteral("MainWC"));
    if (!windowController) {
        qCritical().noquote() << "This build of Harbrill has no main window; it cannot start.";
        hb::Application::shared().terminate();
        return;
    }
    window = windowController->window();
    hb::Application::shared().setMainWindow(window);

    if (hb::UserDefaults::standard().boolForKey(setupCompleteDefaultsKey)) {
        // The window waits until the tray item, the hot key or a second start asks for it.
        loadMainController();
        return;
    }

    hb::NotificationCenter::defaultCenter().addObserver(this, setupCompleteNotification, nullptr,
                                                        [this](const hb::Notification&) { setUpComplete(); });
    std::unique_ptr<HBPageViewController> pages = storyBoard->instantiateController<HBPageViewController>(
        QStringLiteral("PageViewController"));
    if (!pages) {
        qCritical().noquote() << "This build of Harbrill has no first-launch pages; it cannot start.";
        hb::Application::shared().terminate();
        return;
    }
    pages->linkData();
    setupViewController = pages.get();
    windowController->setContentViewController(pages.release());
    adjustWindowToContent();
    windowController->showWindow();
    hb::Application::shared().makeKeyAndOrderFront(window);
    hb::Application::shared().activateIgnoringOtherApps(true);
}

bool AppDelegate::performService(const QString& messageName, hb::Pasteboard& pasteboard, const QString& userData,
                                 hb::ServiceAnswer& answer)
{
    if (!mainViewController) {
        answer = {false, QStringLiteral("Harbrill is not set up yet: finish its first-launch pages, then try again.")};
        return true;
    }
    return handleServiceObject.performService(messageName, pasteboard, userData, answer);
}

void AppDelegate::setUpStatusItem()
{
    hbStatusItem.setTitle(QStringLiteral("Harbrill"));
    const QString icon = hb::Bundle::pathForResource(QStringLiteral("images"), QStringLiteral("statusBarIcon"),
                                                     {QStringLiteral("svg"), QStringLiteral("png")});
    if (!icon.isEmpty())
        hbStatusItem.setImage(QIcon(icon), true);
    hbStatusItem.setAction([this] { statusClicked(); });
    hbStatusItem.addMenuItem(QStringLiteral("Open Harbrill"), [this] { statusClicked(); });
    hbStatusItem.addMenuItem(QStringLiteral("Quit Harbrill"), [this] { quitFromMenu(); });
    hbStatusItem.show();
}

void AppDelegate::registerValueTransformers()
{
    using hb::ValueTransformer;
    ValueTransformer::setValueTransformer(std::make_shared<URLFolderNameTransformer>(),
                                          QStringLiteral("URLFolderNameTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<FolderImageNameToImageTransformer>(),
                                          QStringLiteral("FolderImageNameToImageTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<FilePathToIconTransformer>(),
                                          QStringLiteral("FilePathToIconTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<HBUltaBoolTransformer>(),
                                          QStringLiteral("HBUltaBoolTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<HotKeyToStringTransformer>(),
                                          QStringLiteral("HotKeyToStringTransformer"));
}

void AppDelegate::loadMainController()
{
    std::unique_ptr<ViewController> controller = storyBoard ? storyBoard->instantiateController<ViewController>(
                                                     QStringLiteral("MainViewController"))
                                                            : nullptr;
    if (!controller) {
        qCritical().noquote() << "This build of Harbrill has no main controller.";
        return;
    }
    mainViewController = controller.get();
    windowController->setContentViewController(controller.release());
    adjustWindowToContent();
}

void AppDelegate::adjustWindowToContent()
{
    if (window)
        window->adjustSize();
}

void AppDelegate::statusClicked()
{
    // Also when the program is already active: the window may be behind another one.
    if (windowController)
        windowController->showWindow();
    hb::Application::shared().makeKeyAndOrderFront(window);
    hb::Application::shared().activateIgnoringOtherApps(true);
}

void AppDelegate::setUpComplete()
{
    hb::NotificationCenter::defaultCenter().removeObserver(this, setupCompleteNotification);
    if (!windowController)
        return;
    windowController->orderOut();
    windowController->setContentViewController(nullptr);
    setupViewController = nullptr;
    loadMainController();
    windowController->showWindow();
}

void AppDelegate::quitFromMenu()
{
    if (mainViewController)
        mainViewController->quitApp();
    else
        hb::Application::shared().terminate();
}

void AppDelegate::applicationWillResignActive()
{
    hb::Application::shared().hide();
    hb::NotificationCenter::defaultCenter().post(willResignActiveNotification);
}

void AppDelegate::applicationWillBecomeActive()
{
    hb::NotificationCenter::defaultCenter().post(willBecomeActiveNotification);
}

void AppDelegate::applicationDidBecomeActive()
{
    hb::NotificationCenter::defaultCenter().post(didBecomeActiveNotification);
}

void AppDelegate::applicationWillTerminate()
{
    GoogleReporter::shared().session(false);
}
