#pragma once

#include "mainwindow/grid/HBHeldVolumes.h"
#include "platform/interface/CollectionView.h"
#include "platform/interface/EventMonitor.h"
#include "platform/interface/RepeatingTimer.h"
#include "platform/interface/TrackingArea.h"

#include <QCursor>
#include <QHash>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <optional>

class HBCollectionViewItem;

// The destination grid. Besides laying out the tiles it keeps the mode of the next tile click: move
// (16) once a source is held, copy (1) while a copy modifier (Ctrl, or Alt where the window manager lets
// it through) is held with the modifier monitor installed. The tile under the pointer or the keyboard
// focus shows the copy look also when its folder is on another volume than the held files, since the
// click will copy there, and the grid says in words what that click does. Tiles light up under a drag of
// files. It scrolls by itself while something dragged is outside it, and a press in it never moves the
// window. Its delegate, dragged types and content belong to the main view controller.
class HBCollectionView : public hb::CollectionView {
    Q_OBJECT
public:
    explicit HBCollectionView(QWidget* parent = nullptr);
    ~HBCollectionView() override;

    std::unique_ptr<hb::RepeatingTimer> timer;  // autoscroll while a drag is outside
    std::optional<hb::EventMonitor::Token> modifierMonitor;
    bool optionPressed = false;  // a copy modifier was down at the last modifier change
    QCursor copyCursor{Qt::DragCopyCursor};
    QCursor moveCursor{Qt::PointingHandCursor};
    std::shared_ptr<hb::TrackingArea> trackingArea;
    bool isMouseInView = true;
    bool beganScrolling = false;
    std::optional<std::int64_t> oldCursorState = 0;  // the last mode given to changeCursor; none after a reset
    std::int64_t currentDragOperation = 0;           // 1 copy, 16 move, 0 none yet

    void ensureTrackingArea();
    bool acceptsFirstResponder() const override { return true; }
    // Installs the Option monitor, only while the grid is first responder and none is installed.
    void addMonitor();
    void removeMonitor();  // also forgets a held Option
    bool mouseDownCanMoveWindow() const { return false; }

    std::uint64_t draggingEntered(hb::DraggingInfo& info) override;
    void draggingExited(hb::DraggingInfo* info) override;
    void startTimer();
    void scrollBy();
    void draggingEnded(hb::DraggingInfo* info) override;

    void updateTrackingAreas();
    const hb::TrackingAreas& trackingAreas() const { return m_trackingAreas; }
    void mouseEntered();
    void mouseExited();

    // The modifiers that turn a click into a copy: Ctrl, the copy modifier of every Linux file manager's
    // drag and drop, and Alt (Option), which most window managers keep for moving windows.
    static constexpr std::uint64_t copyModifierFlags = hb::NSEventModifierFlagControl | hb::NSEventModifierFlagOption;
    static bool holdsCopyModifier(std::uint64_t modifierFlags) { return modifierFlags & copyModifierFlags; }

    // A copy modifier down: copy mode; all released after one was seen down: move mode.
    void modifierPressed(const hb::Event& event);
    // Applies the same rule to the modifiers held now, while the monitor is installed: a key pressed
    // while another window had the focus gave no event.
    void syncModifiers();
    std::int64_t getCurrentOperation() const { return currentDragOperation; }
    // Sets the mode and, while a source is held, the cursor over the grid.
    void changeCursor(std::int64_t operation);
    void resetCursorRects();

    // The held files, for telling which folders a move would copy into; none without a source.
    void setHeldItems(const QList<hb::URL>& items);
    bool clickCopiesInto(const QString& folderPath);
    // Tiles report the pointer and the keyboard focus; the tile pointed at is the one under the
    // pointer, else the one with the focus.
    void tileHovered(HBCollectionViewItem* tile, bool hovered);
    void tileFocused(HBCollectionViewItem* tile, bool focused);
    HBCollectionViewItem* pointedTile() const;
    // What a click on the pointed tile does now, in words; empty when no folder tile is pointed at or
    // nothing is held.
    QString clickHint() const { return m_clickHint; }

    std::uint64_t draggingUpdated(hb::DraggingInfo& info) override;
    bool performDragOperation(hb::DraggingInfo& info) override;

signals:
    void clickHintChanged(const QString& hint);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void stopTimer();
    void lightDropTarget(const hb::DraggingInfo* info);
    void updateLook();

    hb::TrackingAreas m_trackingAreas;
    HBHeldVolumes m_heldVolumes;
    QHash<QString, bool> m_copiesInto;  // by folder path, for the held files
    QPointer<HBCollectionViewItem> m_hoveredTile;
    QPointer<HBCollectionViewItem> m_focusedTile;
    QPointer<HBCollectionViewItem> m_litTile;
    bool m_copyLook = false;  // the pointed tile copies although the mode is move
    QString m_clickHint;
};
