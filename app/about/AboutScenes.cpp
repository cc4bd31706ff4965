#include "app/about/AboutScenes.h"

#include "app/about/HBAboutWindowController.h"
#include "app/about/MenuActionsClass.h"
#include "platform/interface/StoryboardRegistry.h"

void registerAboutScenes()
{
    hb::StoryboardRegistry::registerScene(QStringLiteral("HBAboutStoryBoard"), QStringLiteral("AboutBox"),
                                          [] { return std::make_unique<HBAboutWindowController>(); });
    hb::StoryboardRegistry::registerScene(QStringLiteral("Main"), QStringLiteral("MenuActions"),
                                          [] { return std::make_unique<MenuActionsClass>(); });
}
