#pragma once

#include "platform/interface/PageController.h"
#include "platform/interface/StoryboardRegistry.h"

#include <QMap>
#include <QStringList>

#include <optional>

// Supplies the first-launch pages "1".."5" from the storyboard "HBFirstLaunch" and tells each page when
// it is left and when it is reached.
class HBPageControllerDelegate : public hb::PageControllerDelegate {
public:
    QStringList controllerIds{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                              QStringLiteral("5")};
    // The line of text and the title offered for each page.
    QMap<QString, QString> contentDictionary{
        {QStringLiteral("1"), QStringLiteral("Select files in your file manager & move them to folders in Harbrill.")},
        {QStringLiteral("2"), QStringLiteral("Make new sub-folders and directly move files to them.")},
        {QStringLiteral("3"), QStringLiteral("Launch Harbrill using Shortcut")},
        {QStringLiteral("4"), QStringLiteral("Add your most used folders to quickly move files to them.")},
        {QStringLiteral("5"), QString()}};
    QMap<QString, QString> titleDictionary{{QStringLiteral("1"), QStringLiteral("Moving files using Harbrill.")},
                                           {QStringLiteral("2"), QStringLiteral("Moving files to new sub-folders.")},
                                           {QStringLiteral("3"), QStringLiteral("Launch Harbrill using Shortcut")},
                                           {QStringLiteral("4"), QStringLiteral("Adding folders")},
                                           {QStringLiteral("5"), QString()}};
    std::optional<hb::Storyboard> storyBoard;

    QString identifierForObject(hb::PageController* pageController, const QVariant& object) override;
    std::unique_ptr<hb::ViewController> viewControllerForIdentifier(hb::PageController* pageController,
                                                                    const QString& identifier) override;
    void pageControllerWillStartLiveTransition(hb::PageController* pageController) override;
    void pageControllerDidTransitionToObject(hb::PageController* pageController, const QVariant& object) override;
    void pageControllerDidEndLiveTransition(hb::PageController* pageController) override;
};
