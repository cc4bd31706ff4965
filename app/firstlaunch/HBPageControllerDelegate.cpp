#include "app/firstlaunch/HBPageControllerDelegate.h"

#include "app/firstlaunch/HBFirstLaunchController.h"
#include "app/firstlaunch/HBFirstLaunchFeaturesPage.h"
#include "app/firstlaunch/HBFirstLaunchScriptInstall.h"
#include "app/firstlaunch/HBFirstLaunchSecondVideoController.h"
#include "app/firstlaunch/HBFirstLaunchVideoController.h"
#include "app/firstlaunch/HBViewControllerNavigation.h"
#include "platform/base/Log.h"

// The pages in the order a new user meets them; the home-folder page ends set-up.
HB_REGISTER_SCENE("HBFirstLaunch", "1", HBFirstLaunchVideoController);
HB_REGISTER_SCENE("HBFirstLaunch", "2", HBFirstLaunchFeaturesPage);
HB_REGISTER_SCENE("HBFirstLaunch", "3", HBFirstLaunchSecondVideoController);
HB_REGISTER_SCENE("HBFirstLaunch", "4", HBFirstLaunchScriptInstall);
HB_REGISTER_SCENE("HBFirstLaunch", "5", HBFirstLaunchController);

namespace {
HBViewControllerNavigation* navigationOf(hb::ViewController* page)
{
    auto* navigation = dynamic_cast<HBViewControllerNavigation*>(page);
    if (page && !navigation)
        HBDebug() << "First-launch page" << page->metaObject()->className() << "cannot be told it appears";
    return navigation;
}
}  // namespace

QString HBPageControllerDelegate::identifierForObject(hb::PageController*, const QVariant& object)
{
    return object.toString();
}

std::unique_ptr<hb::ViewController> HBPageControllerDelegate::viewControllerForIdentifier(hb::PageController*,
                                                                                          const QString& identifier)
{
    storyBoard = hb::Storyboard::storyboardWithName(QStringLiteral("HBFirstLaunch"));
    if (!storyBoard) {
        qWarning().noquote() << "The first-launch pages are missing from this build";
        return nullptr;
    }
    std::unique_ptr<hb::ViewController> page = storyBoard->instantiateController<hb::ViewController>(identifier);
    if (!page)
        qWarning().noquote() << "No first-launch page" << identifier;
    return page;
}

void HBPageControllerDelegate::pageControllerWillStartLiveTransition(hb::PageController* pageController)
{
    if (HBViewControllerNavigation* page = navigationOf(pageController->selectedViewController()))
        page->disappear();
}

void HBPageControllerDelegate::pageControllerDidTransitionToObject(hb::PageController*, const QVariant&) {}

void HBPageControllerDelegate::pageControllerDidEndLiveTransition(hb::PageController* pageController)
{
    pageController->completeTransition();
    if (HBViewControllerNavigation* page = navigationOf(pageController->selectedViewController()))
        page->appear();
}
