#include "mainwindow/HBDestinationEditor.h"

#include "core/store/HBConstants.h"
#include "core/sources/HBServiceReply.h"
#include "core/store/HBDataManager.h"
#include "core/store/HBURL.h"
#include "mainwindow/folders/HBVolumesPermissionController.h"
#include "mainwindow/grid/HBCollectionView.h"
#include "mainwindow/grid/HBCollectionViewItem.h"
#include "platform/base/Log.h"
#include "platform/base/MainQueue.h"
#include "platform/files/ResourceValues.h"
#include "platform/files/Volumes.h"
#include "platform/interface/DraggingInfo.h"
#include "platform/interface/OpenPanel.h"
#include "platform/interface/Popover.h"
#include "platform/interface/StoryboardRegistry.h"

#include <QDataStream>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

void HBDestinationEditor::setGrid(HBCollectionView* grid)
{
    m_grid = grid;
}

HBDestinationEditor::HBDestinationEditor(HBDataManager& destinations, QObject* parent)
    : QObject(parent), m_destinations(destinations)
{
}

void HBDestinationEditor::setDrivesHint(QPushButton* thumbdrives, QLineEdit* instructionTextField)
{
    m_thumbdrives = thumbdrives;
    m_instructionTextField = instructionTextField;
}

// Adding and removing

void HBDestinationEditor::addFolders(const QList<hb::URL>& urls, bool announcePresent, HBServiceReply* reply)
{
    using Outcome = HBServiceReply::Outcome;
    for (const hb::URL& url : urls) {
        Outcome outcome = Outcome::alreadyPresent;
        if (!m_destinations.doesLocationExist(url)) {
            switch (m_destinations.addLocation(url)) {
            case HBDataManager::AddOutcome::added:
                outcome = Outcome::taken;
                break;
            case HBDataManager::AddOutcome::addedWithoutAccess:
                outcome = Outcome::takenWithoutAccess;
                break;
            case HBDataManager::AddOutcome::notWritable:
                outcome = Outcome::notWritable;
                break;
            case HBDataManager::AddOutcome::notReadable:
            case HBDataManager::AddOutcome::none:
                outcome = Outcome::notReadable;
                break;
            }
        } else if (announcePresent) {
            hb::MainQueue::async([store = QPointer(&m_destinations), url] {
                if (store)
                    store->showAlreadyPresentAlert(url);
            });
        }
        if (reply)
            reply->note(url.path(), outcome);
        m_destinations.syncData();
    }
}

void HBDestinationEditor::addFoldersFromPanel()
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

void HBDestinationEditor::removeFolderOf(const HBCollectionViewItem& tile)
{
    const QString path = tile.locationEntry().value(HBLocationEntryKey::path);
    if (path.isEmpty())
        return;
    HBLocationList locations = m_destinations.dropLocations();
    for (qsizetype index = 0; index < locations.size(); ++index) {
        if (locations[index].value(HBLocationEntryKey::path) != path)
            continue;
        locations.removeAt(index);
        m_destinations.setDropLocations(locations);
        m_destinations.syncData();
        return;
    }
}

void HBDestinationEditor::hideDrivesHint()
{
    if (m_thumbdrives)
        m_thumbdrives->hide();
    if (m_instructionTextField)
        m_instructionTextField->setPlaceholderText(instructionPlaceholder);
}

void HBDestinationEditor::addRemovableDrives()
{
    bool driveNeedsAccess = false;
    hideDrivesHint();

    const QList<hb::VolumeInfo> volumes = hb::Volumes::mountedVolumes(true);
    for (const hb::VolumeInfo& volume : volumes) {
        hb::Error error;
        const std::optional<QVariantMap> values = hb::resourceValues(
            volume.root, {hb::NSURLVolumeIsInternalKey, hb::NSURLVolumeIsReadOnlyKey}, &error);
        if (!values) {
            HBDebug() << "Error encountered while ascertaining volumes";
            continue;
        }
        if (!values->contains(hb::NSURLVolumeIsInternalKey) || !values->contains(hb::NSURLVolumeIsReadOnlyKey)) {
            HBDebug() << "Cannot detect drive";
            continue;
        }
        if (values->value(hb::NSURLVolumeIsReadOnlyKey).toBool()
            || values->value(hb::NSURLVolumeIsInternalKey).toBool())
            continue;
        if (!HBURL::shared().isReadable(volume.root)) {
            driveNeedsAccess = true;
            continue;
        }
        if (!HBURL::shared().isWritable(volume.root) || m_destinations.doesLocationExist(volume.root))
            continue;
        m_destinations.addLocation(volume.root, QStringLiteral("drive"));
        m_destinations.syncData();
    }
    if (driveNeedsAccess) {
        if (m_thumbdrives)
            m_thumbdrives->show();
        if (m_instructionTextField)
            m_instructionTextField->setPlaceholderText(instructionPlaceholderShort);
    }
}

void HBDestinationEditor::volumePermission(QWidget* sender)
{
    const std::optional<hb::Storyboard> storyboard = hb::Storyboard::storyboardWithName(QStringLiteral("Main"));
    if (!storyboard)
        return;
    std::unique_ptr<HBVolumesPermissionController> content
        = storyboard->instantiateController<HBVolumesPermissionController>(QStringLiteral("volumePermission"));
    if (!content)
        return;
    content->delegate = this;
    auto* popover = new hb::Popover(std::move(content), hb::PopoverBehavior::transient);
    popover->showRelativeToRect(sender ? sender->rect() : QRect(), sender, hb::RectEdge::maxX);
}

// Reordering tiles

HBCollectionViewItem* HBDestinationEditor::tileAt(std::int64_t index) const
{
    return m_grid ? qobject_cast<HBCollectionViewItem*>(m_grid->itemAtIndex(index)) : nullptr;
}

bool HBDestinationEditor::canDragItemsAtIndexes(const hb::IndexSet& indexes)
{
    if (indexes.empty())
        return false;
    if (HBCollectionViewItem* tile = tileAt(*indexes.begin()))
        tile->hideViews();
    return true;
}

bool HBDestinationEditor::writeItemsAtIndexesToPasteboard(const hb::IndexSet& indexes,
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
    m_sourceIndexSet = indexes;
    m_lastEmptyIndex = *indexes.begin();
    return true;
}

std::uint64_t HBDestinationEditor::validateReorderDrop(std::int64_t& proposedDropIndex,
                                                       hb::CollectionViewDropOperation& proposedDropOperation)
{
    const std::int64_t count = m_destinations.numberOfLocations();
    // The first tile never moves and nothing goes behind the last one.
    if (proposedDropIndex >= count || proposedDropIndex == 0)
        return hb::NSDragOperationNone;
    const std::int64_t firstDragged = m_sourceIndexSet && !m_sourceIndexSet->empty() ? *m_sourceIndexSet->begin() : -1;
    std::int64_t target = -1;
    if (proposedDropOperation == hb::CollectionViewDropOperation::before || proposedDropIndex == m_lastEmptyIndex) {
        // Between tiles: the drop lands on the tile, nothing moves.
    } else if (proposedDropIndex < 0) {
        if (m_lastEmptyIndex != 0 && m_lastEmptyIndex != firstDragged)
            target = firstDragged;
    } else {
        target = proposedDropIndex;
    }
    if (target >= 1 && m_lastEmptyIndex >= 1) {
        m_destinations.moveItem(m_lastEmptyIndex, target);
        // Tiles are kept as the list changes: the one that stood for the gap shows its new entry.
        if (HBCollectionViewItem* previous = tileAt(m_lastEmptyIndex))
            previous->unHideAll();
        if (HBCollectionViewItem* gap = tileAt(target))
            gap->hideAll();
        m_lastEmptyIndex = target;
    }
    proposedDropOperation = hb::CollectionViewDropOperation::on;
    return hb::NSDragOperationMove;
}

void HBDestinationEditor::acceptReorderDrop()
{
    if (HBCollectionViewItem* tile = tileAt(m_lastEmptyIndex))
        tile->unHideAll();
    m_lastEmptyIndex = -1;
    // Written at once: quitting from the tray or a crash must not lose the new order.
    m_destinations.syncData();
}

void HBDestinationEditor::draggingSessionEnded(std::uint64_t operation)
{
    if (operation != hb::NSDragOperationNone || m_lastEmptyIndex < 0)
        return;
    if (HBCollectionViewItem* tile = tileAt(m_lastEmptyIndex))
        tile->unHideAll();
    m_lastEmptyIndex = -1;
    // Moves made on the way stay, as shown: keep the stored list in step.
    m_destinations.syncData();
}
