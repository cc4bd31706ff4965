#include "mainwindow/ViewController.h"

#include "mainwindow/recent/RecentViewController.h"
#include "platform/interface/Popover.h"
#include "platform/interface/StoryboardRegistry.h"

void ViewController::forRecentFiles(const hb::Notification&)
{
    if (recentFilesViewController)
        return;
    const std::optional<hb::Storyboard> storyboard = hb::Storyboard::storyboardWithName(QStringLiteral("HBRecentFiles"));
    if (!storyboard)
        return;
    std::unique_ptr<RecentViewController> controller =
        storyboard->instantiateController<RecentViewController>(QStringLiteral("RecentViewController"));
    if (!controller)
        return;
    controller->delegate = this;
    recentFilesViewController = controller.get();
    auto* popover = new hb::Popover(std::move(controller), hb::PopoverBehavior::applicationDefined);
    recentFilesPopover = popover;
    // Escape closes the popover without the browser: it is gone all the same.
    connect(popover, &hb::Popover::didClose, this, [this] { recentFilesViewController = nullptr; });
    popover->showRelativeToRect(visibleRegion().boundingRect(), this, hb::RectEdge::maxX);
}

void ViewController::onResult(const QList<hb::URL>& urls)
{
    sourceAsRecentFilesWithSourceURLS(urls);
    onClose();
}

void ViewController::onClose()
{
    if (recentFilesViewController && recentFilesPopover)
        recentFilesPopover->close();
    recentFilesViewController = nullptr;
}
