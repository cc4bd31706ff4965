// The main controller's share that edits the destination list: folders added from panels, the Services
// menu and mounted drives, tiles removed and reordered, and files dropped on the window made the source.
#include "mainwindow/ViewController.h"

#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "mainwindow/controls/HBDropHighlight.h"
#include "mainwindow/folders/HBVolumesPermissionController.h"
#include "mainwindow/grid/HBCollectionView.h"
#include "mainwindow/grid/HBCollectionViewItem.h"
#include "platform/base/Log.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/VolumeWatcher.h"
#include "platform/files/ResourceValues.h"
#include "platform/files/Volumes.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Application.h"
#include "platform/interface/OpenPanel.h"
#include "platform/interface/Popover.h"
#include "platform/interface/StoryboardRegistry.h"

#include <QDataStream>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QPushButton>

namespace {

std::uint64_t sourceOperation(const hb::DraggingInfo& draggingInfo)
{
    return (draggingInfo.draggingSourceOperationMask() & hb::NSDragOperationMove) ? hb::NSDragOperationMove
                                                                                  : hb::NSDragOperationCopy;
}

HBCollectionViewItem* tileAt(HBCollectionView* grid, std::int64_t index)
{
    return grid ? qobject_cast<HBCollectionViewItem*>(grid->itemAtIndex(index)) : nullptr;
}

// Files dragged onto the main view itself (the grid takes its own drops first).
class WindowDropTarget : public QObject {
public:
    explicit WindowDropTarget(ViewController& controller) : QObject(&controller), m_controller(controller)
    {
        controller.setAcceptDrops(true);
        controller.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &m_controller)
            return false;
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            const hb::DraggingInfo info = hb::DraggingInfo::fromDropEvent(*drag);
            if (!info.draggingPasteboard().containsType(hb::fileURLPasteboardType)) {
                drag->ignore();
                return true;
            }
            drag->setDropAction(hb::dropActionFromDragOperation(m_controller.draggingEntered(info)));
            drag->accept();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const hb::DraggingInfo info = hb::DraggingInfo::fromDropEvent(*drop);
            const std::uint64_t operation = m_controller.draggingEntered(info);
            if (info.draggingPasteboard().containsType(hb::fileURLPasteboardType)
                && m_controller.prepareForDragOperation(info) && m_controller.performDragOperation(info)) {
                drop->setDropAction(hb::dropActionFromDragOperation(operation));
                drop->accept();
            } else {
                drop->ignore();
            }
            return true;
        }
        return false;
    }

private:
    ViewController& m_controller;
};

}  // namespace

void ViewController::addDestinationObservers()
{
    new WindowDropTarget(*this);
    new HBDropHighlight(this);
    // A drive plugged in (or taken out) while the program runs changes the tiles without a restart.
    auto* watcher = new hb::VolumeWatcher(this);
    connect(watcher, &hb::VolumeWatcher::volumesChanged, this, [this] {
        destinationCollection.updateData();
        if (!hb::UserDefaults::standard().boolForKey(hideExternalDrivesDefaultsKey))
            addRemovableDrives();
    });
    if (thumbdrives)
        connect(thumbdrives, &QPushButton::clicked, this, [this] { volumePermission(thumbdrives); });
}

void ViewController::didBecomeActive(const hb::Notification&)
{
    if (!hb::UserDefaults::standard().boolForKey(hideExternalDrivesDefaultsKey))
        addRemovableDrives();
}

// Adding and removing

void ViewController::addToLocationTest()
{
    hb::OpenPanel panel;
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    panel.canCreateDirectories = true;
    panel.allowsMultipleSelection = true;
    panel.message = QStringLiteral("Choose a folder to add it for quick access");
    if (panel.runModal() != hb::NSModalResponseOK)
        return;
    addFolders(panel.URLs(), true);
}

void ViewController::addRemovableDrives()
{
    bool driveNeedsAccess = false;
    if (thumbdrives)
        thumbdrives->hide();
    if (instructionTextField)
        instructionTextField->setPlaceholderText(instructionPlaceholder);

    const QList<hb::VolumeInfo> volumes = hb::Volumes::mountedVolumes(true);
    for (const hb::VolumeInfo& volume : volumes) {
        hb::Error error;
        const std::optional<QVariantMap> values =
            hb::resourceValues(volume.root, {hb::NSURLVolumeIsInternalKey, hb::NSURLVolumeIsReadOnlyKey}, &error);
        if (!values) {
            HBDebug() << "Error encountered while ascertaining volumes";
            continue;
        }
        if (!values->contains(hb::NSURLVolumeIsInternalKey) || !values->contains(hb::NSURLVolumeIsReadOnlyKey)) {
            HBDebug() << "Cannot detect drive";
            continue;
        }
        if (values->value(hb::NSURLVolumeIsReadOnlyKey).toBool() || values->value(hb::NSURLVolumeIsInternalKey).toBool())
            continue;
        if (!HBURL::shared().isReadable(volume.root)) {
            driveNeedsAccess = true;
            continue;
        }
        if (!HBURL::shared().isWritable(volume.root) || destinationCollection.doesLocationExist(volume.root))
            continue;
        destinationCollection.addLocation(volume.root, QStringLiteral("drive"));
        destinationCollection.syncData();
    }
    if (driveNeedsAccess) {
        if (thumbdrives)
            thumbdrives->show();
        if (instructionTextField)
            instructionTextField->setPlaceholderText(instructionPlaceholderShort);
    }
}

void ViewController::volumePermission(QWidget* sender)
{
    const std::optional<hb::Storyboard> storyboard = hb::Storyboard::storyboardWithName(QStringLiteral("Main"));
    if (!storyboard)
        return;
    std::unique_ptr<HBVolumesPermissionController> content =
        storyboard->instantiateController<HBVolumesPermissionController>(QStringLiteral("volumePermission"));
    if (!content)
        return;
    content->delegate = this;
    auto* popover = new hb::Popover(std::move(content), hb::PopoverBehavior::transient);
    popover->showRelativeToRect(sender ? sender->rect() : QRect(), sender, hb::RectEdge::maxX);
}

bool ViewController::confirmToHoldData()
{
    hb::Alert alert;
    alert.alertStyle = hb::AlertStyle::informational;
    alert.messageText = QStringLiteral("Replace previous items?");
    alert.informativeText = QStringLiteral("Replacing will clear the items selected earlier and replace them with the new ones");
    alert.addButtonWithTitle(QStringLiteral("Keep earlier items"));
    alert.addButtonWithTitle(QStringLiteral("Replace Items"));
    return alert.runModal() == hb::NSAlertFirstButtonReturn;
}

// Files dropped outside the grid

std::uint64_t ViewController::draggingEntered(const hb::DraggingInfo& draggingInfo) const
{
    return sourceOperation(draggingInfo);
}

bool ViewController::prepareForDragOperation(const hb::DraggingInfo&) const { return true; }

bool ViewController::performDragOperation(const hb::DraggingInfo& draggingInfo)
{
    isFinderData = false;
    sourceAsDrag(draggingInfo);
    hb::Application::shared().activateIgnoringOtherApps(true);
    showWindowWhenHidden();
    sendReport(QStringLiteral("DataSource"), QStringLiteral("PasteBoard"), QStringLiteral("DraggedToStatusMenu"), {});
    return true;
}

void ViewController::fromDragSource(const hb::Notification& notification)
{
    const QVariant source = notification.userInfo.value(sourceUserInfoKey);
    if (!source.canConvert<hb::DraggingInfo>())
        return;
    isFinderData = false;
    sourceAsDrag(source.value<hb::DraggingInfo>());
    sendReport(QStringLiteral("DataSource"), QStringLiteral("PasteBoard"), QStringLiteral("DraggedToTab"), {});
}

// Reordering tiles

bool ViewController::collectionViewCanDragItemsAtIndexes(hb::CollectionView&, const hb::IndexSet& indexes,
                                                         const QMouseEvent&)
{
    if (indexes.empty())
        return false;
    if (HBCollectionViewItem* tile = tileAt(collectionView, *indexes.begin()))
        tile->hideViews();
    return true;
}

bool ViewController::collectionViewWriteItemsAtIndexesToPasteboard(hb::CollectionView&, const hb::IndexSet& indexes,
                                                                   hb::DraggingPasteboard& pasteboard)
{
    if (indexes.empty())
        return false;
    QByteArray archive;
    QDataStream out(&archive, QIODevice::WriteOnly);
    for (const std::int64_t index : indexes)
        out << qint64(index);
    pasteboard.declareTypes({reorderPasteboardType});
    pasteboard.setData(archive, reorderPasteboardType);
    sourceIndexSet = indexes;
    lastEmptyIndex = *indexes.begin();
    return true;
}

std::uint64_t ViewController::validateReorderDrop(hb::DraggingInfo& draggingInfo, std::int64_t& proposedDropIndex,
                                                  hb::CollectionViewDropOperation& proposedDropOperation)
{
    const std::int64_t count = destinationCollection.numberOfLocations();
    // The first tile never moves and nothing goes behind the last one.
    if (proposedDropIndex >= count || proposedDropIndex == 0)
        return hb::NSDragOperationNone;
    const std::int64_t firstDragged = sourceIndexSet && !sourceIndexSet->empty() ? *sourceIndexSet->begin() : -1;
    std::int64_t target = -1;
    if (proposedDropOperation == hb::CollectionViewDropOperation::before || proposedDropIndex == lastEmptyIndex) {
        // Between tiles: the drop lands on the tile, nothing moves.
    } else if (proposedDropIndex < 0) {
        if (lastEmptyIndex != 0 && lastEmptyIndex != firstDragged)
            target = firstDragged;
    } else {
        target = proposedDropIndex;
    }
    if (target >= 1 && lastEmptyIndex >= 1) {
        destinationCollection.moveItem(lastEmptyIndex, target);
        // Tiles are kept as the list changes: the one that stood for the gap shows its new entry.
        if (HBCollectionViewItem* previous = tileAt(collectionView, lastEmptyIndex))
            previous->unHideAll();
        if (HBCollectionViewItem* gap = tileAt(collectionView, target))
            gap->hideAll();
        lastEmptyIndex = target;
    }
    proposedDropOperation = hb::CollectionViewDropOperation::on;
    draggingInfo.setAnimatesToDestination(true);
    return hb::NSDragOperationMove;
}

void ViewController::acceptReorderDrop()
{
    if (HBCollectionViewItem* tile = tileAt(collectionView, lastEmptyIndex))
        tile->unHideAll();
    lastEmptyIndex = -1;
    // Written at once: quitting from the tray or a crash must not lose the new order.
    destinationCollection.syncData();
}

void ViewController::collectionViewDraggingSessionEnded(hb::CollectionView&, const QPoint&, std::uint64_t operation)
{
    if (operation != hb::NSDragOperationNone || lastEmptyIndex < 0)
        return;
    if (HBCollectionViewItem* tile = tileAt(collectionView, lastEmptyIndex))
        tile->unHideAll();
    lastEmptyIndex = -1;
    // Moves made on the way stay, as shown: keep the stored list in step.
    destinationCollection.syncData();
}
