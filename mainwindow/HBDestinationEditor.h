#pragma once

#include "platform/base/URL.h"
#include "platform/interface/CollectionView.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <optional>

class HBCollectionView;
class HBCollectionViewItem;
class HBDataManager;
class HBServiceReply;
class QLineEdit;
class QPushButton;
namespace hb {
class DraggingPasteboard;
}

// Edits the destination list the grid shows: folders added from panels and the Services menu, a tile's
// folder removed, mounted external drives added (with a hint while one lacks access), and tiles
// reordered by dragging them inside the grid. Every change is written at once. Main thread only.
class HBDestinationEditor : public QObject {
    Q_OBJECT
public:
    HBDestinationEditor(HBDataManager& destinations, QObject* parent = nullptr);

    void setGrid(HBCollectionView* grid);
    // The drives button and the hint field above the grid, which invite to grant access to drives.
    void setDrivesHint(QPushButton* thumbdrives, QLineEdit* instructionTextField);

    // Adds the folders not yet among the destinations; `reply` learns what became of each. A folder
    // already there is announced when `announcePresent`.
    void addFolders(const QList<hb::URL>& urls, bool announcePresent, HBServiceReply* reply = nullptr);
    // Folders chosen in an open panel.
    void addFoldersFromPanel();
    // The tile's folder leaves the list; the add tile always stays.
    void removeFolderOf(const HBCollectionViewItem& tile);
    // Adds the writable external drives not yet there; the hint shows while a drive cannot be read.
    Q_INVOKABLE void addRemovableDrives();
    // Restores the hint field and hides the drives button.
    void hideDrivesHint();
    // The popover that grants a drive, beside `sender`; after a grant the drives are added.
    void volumePermission(QWidget* sender);

    // The indexes of the tiles being dragged.
    const std::optional<hb::IndexSet>& sourceIndexSet() const { return m_sourceIndexSet; }
    // Where the tile being reordered stands; -1 while none is.
    std::int64_t lastEmptyIndex() const { return m_lastEmptyIndex; }

    bool canDragItemsAtIndexes(const hb::IndexSet& indexes);
    bool writeItemsAtIndexesToPasteboard(const hb::IndexSet& indexes, hb::DraggingPasteboard& pasteboard);
    std::uint64_t validateReorderDrop(std::int64_t& proposedDropIndex,
                                      hb::CollectionViewDropOperation& proposedDropOperation);
    void acceptReorderDrop();
    void draggingSessionEnded(std::uint64_t operation);

private:
    HBCollectionViewItem* tileAt(std::int64_t index) const;

    HBDataManager& m_destinations;
    QPointer<HBCollectionView> m_grid;
    QPointer<QPushButton> m_thumbdrives;
    QPointer<QLineEdit> m_instructionTextField;
    std::optional<hb::IndexSet> m_sourceIndexSet;
    std::int64_t m_lastEmptyIndex = -1;
};
