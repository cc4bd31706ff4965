// The main controller's share that edits the destination list (handed to its destination editor) and
// that makes files dropped on the window the source.
#include "mainwindow/ViewController.h"

#include "core/store/HBConstants.h"
#include "mainwindow/HBDestinationEditor.h"
#include "mainwindow/controls/HBDropHighlight.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/VolumeWatcher.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Application.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPushButton>

namespace {

std::uint64_t sourceOperation(const hb::DraggingInfo& draggingInfo)
{
    return (draggingInfo.draggingSourceOperationMask() & hb::NSDragOperationMove) ? hb::NSDragOperationMove
                                                                                  : hb::NSDragOperationCopy;
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
        m_destinationCollection.updateData();
        if (!hb::UserDefaults::standard().boolForKey(hideExternalDrivesDefaultsKey))
            addRemovableDrives();
    });
    if (m_thumbdrives)
        connect(m_thumbdrives, &QPushButton::clicked, this, [this] { volumePermission(m_thumbdrives); });
}

void ViewController::didBecomeActive(const hb::Notification&)
{
    if (!hb::UserDefaults::standard().boolForKey(hideExternalDrivesDefaultsKey))
        addRemovableDrives();
}

// Adding and removing

void ViewController::addToLocationTest()
{
    m_destinations->addFoldersFromPanel();
}

void ViewController::addRemovableDrives()
{
    m_destinations->addRemovableDrives();
}

void ViewController::volumePermission(QWidget* sender)
{
    m_destinations->volumePermission(sender);
}

bool ViewController::confirmToHoldData()
{
    hb::Alert alert;
    alert.alertStyle = hb::AlertStyle::informational;
    alert.messageText = QStringLiteral("Replace previous items?");
    alert.informativeText = QStringLiteral(
        "Replacing will clear the items selected earlier and replace them with the new ones");
    alert.addButtonWithTitle(QStringLiteral("Keep earlier items"));
    alert.addButtonWithTitle(QStringLiteral("Replace Items"));
    return alert.runModal() == hb::NSAlertFirstButtonReturn;
}

// Files dropped outside the grid

std::uint64_t ViewController::draggingEntered(const hb::DraggingInfo& draggingInfo) const
{
    return sourceOperation(draggingInfo);
}

bool ViewController::prepareForDragOperation(const hb::DraggingInfo&) const
{
    return true;
}

bool ViewController::performDragOperation(const hb::DraggingInfo& draggingInfo)
{
    m_source.setFinderData(false);
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
    m_source.setFinderData(false);
    sourceAsDrag(source.value<hb::DraggingInfo>());
    sendReport(QStringLiteral("DataSource"), QStringLiteral("PasteBoard"), QStringLiteral("DraggedToTab"), {});
}

// Reordering tiles

const std::optional<hb::IndexSet>& ViewController::sourceIndexSet() const
{
    return m_destinations->sourceIndexSet();
}

std::int64_t ViewController::lastEmptyIndex() const
{
    return m_destinations->lastEmptyIndex();
}

bool ViewController::collectionViewCanDragItemsAtIndexes(hb::CollectionView&, const hb::IndexSet& indexes,
                                                         const QMouseEvent&)
{
    return m_destinations->canDragItemsAtIndexes(indexes);
}

bool ViewController::collectionViewWriteItemsAtIndexesToPasteboard(hb::CollectionView&, const hb::IndexSet& indexes,
                                                                   hb::DraggingPasteboard& pasteboard)
{
    return m_destinations->writeItemsAtIndexesToPasteboard(indexes, pasteboard);
}

void ViewController::collectionViewDraggingSessionEnded(hb::CollectionView&, const QPoint&, std::uint64_t operation)
{
    m_destinations->draggingSessionEnded(operation);
}
