#pragma once

#include "core/store/HBLocationEntry.h"
#include "mainwindow/controls/HBCustomBox.h"
#include "mainwindow/folders/HBNewFolderController.h"
#include "mainwindow/folders/HBNewFolderOpenPanel.h"
#include "platform/base/URL.h"
#include "platform/interface/CollectionView.h"

#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class HBCollectionView;
class QAbstractAnimation;
class QMouseEvent;

namespace Ui {
class HBCollectionViewItem;
}

// One destination tile: a favourite folder, a drive, or at index 0 the "Add Folder" / "Choose Folder"
// tile. A click shifts the held source into the tile's folder (posting "destinationSelected"), asks for
// access to a folder the program may not reach, or adds folders; a press dragged far enough starts a
// drag of the tile; the context menu (right button, menu key) and the hover buttons open, remove and
// choose folders. The keyboard reaches it too (Tab and the arrow keys, Enter or Space for a click), and
// so do screen readers (its Press and ShowMenu actions). Its represented object is its HBLocationEntry.
namespace hb {
class Popover;
}

class HBCollectionViewItem : public hb::CollectionViewItem,
                             public HBNewFolderOpenPanelDelegate,
                             public HBNewFolderControllerDelegate {
    Q_OBJECT
public:
    explicit HBCollectionViewItem(QWidget* parent = nullptr);
    ~HBCollectionViewItem() override;

    // Parts of the tile's form.
    QPointer<QLabel> pathImageView;
    QPointer<QLabel> pathName;
    std::unique_ptr<QMenu> contextualMenu;
    QPointer<QPushButton> newFolderButton;
    QPointer<QPushButton> newFolderPanel;
    QPointer<HBCustomBox> backgroundBox;
    QPointer<hb::Popover> newFolderPopOver;

    std::unique_ptr<QMouseEvent> lastMouseDownEvent;  // a plain press, held until a drag starts
    std::int64_t timesMouseDraggedInView = 0;
    bool inCreateFolderMode = false;
    bool mouseInCellState = false;

    void setRepresentedObject(const QVariant& object) override;
    HBLocationEntry locationEntry() const;

    bool isDataAvailable() const;  // a source is held ("sourceAvailable")
    bool isPermitted() const;      // "permissionStatus" is exactly "true"
    bool isAction() const;         // the pseudo tile (empty "Path")

    void newFolderCreated(const QString& folderPath, const std::optional<QString>& actionString) override;
    void newFolderCancelled() override;
    QString copyMove() const;  // "Copy" in the grid's copy mode, else "Move"
    // The same, with the modifiers of the gesture itself: a copy modifier held at the press (also one
    // pressed while the window did not have the focus) makes it "Copy".
    QString copyMove(std::uint64_t gestureModifierFlags) const;
    void animateBoxOnSelection();
    // The tile's click, from the pointer, the keyboard or a screen reader.
    void click(std::uint64_t gestureModifierFlags);
    void showContextMenu(const QPoint& globalPosition);
    // Lit as the tile files dragged over the grid would be dropped on.
    void setDropHighlight(bool lit);

    void rightMouseDown(const QMouseEvent& event);
    void mouseDown(const QMouseEvent& event);
    void mouseDragged(const QMouseEvent& event);
    void mouseUp(const QMouseEvent& event);
    void mouseEntered();
    void mouseExited();

    void hideViews();
    void showViews();
    void hideAll();
    void unHideAll();

    void openFolder();
    void getPermission();
    // The new-folder popover below the new-folder button: a subfolder made and shifted into.
    void newFolder();
    void newFolderWithPanel();
    void addNewFolder();
    void openPanelDidEnd(const QList<hb::URL>& urls, const std::optional<QString>& actionString,
                         bool addToGrid) override;
    void removeFolder();

    QStringList accessibilityActionNames() const override;
    void accessibilityPerformAction(const QString& name) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void selectDestination(const std::optional<QString>& path, const std::optional<QString>& action);
    void newFolderWithPanel(const QString& actionString);
    void showFocus(bool focused);  // the ring, and the grid told
    void fadeHoverButtons(bool visible);
    void showContent(const HBLocationEntry& entry);
    HBCollectionView* grid() const;

    std::unique_ptr<Ui::HBCollectionViewItem> ui;
    // The press of the click under way reached the tile (a window manager may keep Alt+press for
    // itself and pass on only the release), and whether it held a copy modifier.
    bool m_pressSeen = false;
    bool m_pressCopies = false;
    QPointer<QAbstractAnimation> m_hoverAnimation;
    QPointer<QAbstractAnimation> m_flashAnimation;
};
