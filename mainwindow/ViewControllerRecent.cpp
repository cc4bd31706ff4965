#include "mainwindow/ViewController.h"

#include "mainwindow/recent/RecentViewController.h"
#include "platform/interface/Popover.h"
#include "platform/interface/StoryboardRegistry.h"

void ViewController::forRecentFiles(const hb::Notification&)
{
    if (m_recentFilesViewController)
        return;
    const std::optional<hb::Storyboard> storyboard = hb::Storyboard::storyboardWithName(
        QStringLiteral("HBRecentFiles"));
    if (!storyboard)
        return;
    std::unique_ptr<RecentViewController> controller = storyboard->instantiateController<RecentViewController>(
        QStringLiteral("RecentViewController"));
    if (!controller)
        return;
    controller->delegate = this;
    m_recentFilesViewController = controller.get();
    auto* popover = new hb::Popover(std::move(controller), hb::PopoverBehavior::applicationDefined);
    m_recentFilesPopover = popover;
    // Escape closes the popover without the browser: it is gone all the same.
    connect(popover, &hb::Popover::didClose, this, [this] { m_recentFilesViewController = nullptr; });
    popover->showRelativeToRect(visibleRegion().boundingRect(), this, hb::RectEdge::maxX);
}

void ViewController::onResult(const QList<hb::URL>& urls)
{
    sourceAsRecentFilesWithSourceURLS(urls);
    onClose();
}

void ViewController::onClose()
{
    if (m_recentFilesViewController && m_recentFilesPopover)
        m_recentFilesPopover->close();
    m_recentFilesViewController = nullptr;
}
