#pragma once

#include "core/engine/HBFileShiftOperations.h"
#include "core/engine/HBOperationsProtocol.h"
#include "core/sources/DataSource.h"
#include "core/sources/HBSourceManager.h"
#include "core/store/HBDataManager.h"
#include "mainwindow/HBCoreUIDelegate.h"
#include "mainwindow/recent/RecentViewController.h"
#include "mainwindow/status/HBSourceProtocol.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/interface/CollectionView.h"
#include "platform/interface/DraggingInfo.h"
#include "platform/interface/Popover.h"
#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/StoryboardSegue.h"
#include "platform/interface/ViewController.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class HBCollectionView;
class HBHotKeyManage;
class HBHotKeyNotification;
class HBServiceReply;
class HBStatusTabViewController;
class LocationArrayController;
class QAction;
class QBoxLayout;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
namespace hb {
class UserDefaultsController;
class UserNotificationCenter;
class WindowController;
}
namespace Ui {
class MainViewController;
}

// The main window's content and the program's hub: it owns the destination store, the operations
// manager and the current source; turns every way of picking files into a new source; keeps the first
// tile in step with whether files are waiting; and starts, completes and undoes shifts. Main thread only.
class ViewController : public hb::ViewController, public HBOperationsProtocol, public hb::CollectionViewDelegate, public HBSourceProtocol, public recentFilesProtocol {
    Q_OBJECT
    Q_PROPERTY(bool stopSourceManager READ stopSourceManager WRITE setStopSourceManager NOTIFY stopSourceManagerChanged)
    Q_PROPERTY(bool undoEnabled READ undoEnabled WRITE setUndoEnabled NOTIFY undoEnabledChanged)

public:
    explicit ViewController(QWidget* parent = nullptr);
    ~ViewController() override;

    HBDataManager destinationCollection;
    // Replaced, never reused, for every new source; emptied before it is let go.
    std::shared_ptr<HBSourceManager> sourceManager;
    HBFileShiftOperations fileOperationServices;
    QPointer<QWidget> visualEffectsView;
    QPointer<QWidget> collectionViewMainHolder;
    // The top-level view of the "CollectionView" layout that holds the grid.
    QPointer<QWidget> collectionViewHolder;
    // Arranges the store's entries for the grid.
    QPointer<LocationArrayController> locationArrayController;
    QPointer<HBCollectionView> collectionView;
    HBHotKeyManage* hotKeyManager;
    // From a hot-key firing until the view disappears or the program resigns.
    bool hotKeyPressed = false;
    std::int64_t numFilesToBeMoved = 0;
    // The current source was read from the file manager's selection.
    bool isFinderData = false;
    QPointer<QPushButton> undoButton;
    QPointer<QLineEdit> instructionTextField;
    QPointer<QPushButton> thumbdrives;
    // The indexes of the tiles being dragged.
    std::optional<hb::IndexSet> sourceIndexSet;
    // Where the tile being reordered stands; -1 while none is.
    std::int64_t lastEmptyIndex = -1;
    bool madness = false;
    // The holder's width (332 or 347) while it is constrained.
    std::optional<int> horizontalConstraint;
    // Pins the holder to the full height of its container.
    QPointer<QBoxLayout> verticalConstraint;
    // The status panes below the grid, set when they are handed over.
    QPointer<HBStatusTabViewController> statusTabController;

    // The shared defaults controller, for bindings.
    hb::UserDefaultsController& defaults() const;

    // When true at the next activation, the source is dropped and no file-manager source is started.
    bool stopSourceManager() const { return m_stopSourceManager; }
    void setStopSourceManager(bool stop);
    // Whether the last shift can be undone; the undo button follows it.
    bool undoEnabled() const { return m_undoEnabled; }
    void setUndoEnabled(bool enabled);

    void initializeApp();
    void addObservers();

    // Notification handlers.
    void changeSize(const hb::Notification& notification);
    void willBecomeActive(const hb::Notification& notification);
    void willResignActive(const hb::Notification& notification);
    void receivedData(const hb::Notification& notification);
    void cancelSelection(const hb::Notification& notification);
    void hotKeyFired();
    void destinationChosen(const hb::Notification& notification);
    // Folders from the Services menu: added (an already present one is announced), the window comes forward.
    void locationAdded(const hb::Notification& notification);
    // Folders from the add tile's panel: added silently.
    void locationAddedFomOpenPanel(const hb::Notification& notification);
    // The tile's folder leaves the list.
    void removeSelected(const hb::Notification& notification);
    void showPermissionAlert(const hb::Notification& notification);
    // A change of an observed defaults key path ("values.ScriptInstalled", "values.sourceAvailable").
    void observeValueForKeyPath(const QString& keyPath);

    // Sources.
    void sourceFinderWithStateAndMonitor();
    // Files dropped on the window, the drop bar or a tile become the source; the grid takes the mode
    // the drag's source allows (move when it may, else copy).
    void sourceAsDrag(const hb::DraggingInfo& draggingInfo);
    void sourceAsRecentFilesWithSourceURLS(const QList<hb::URL>& urls);
    void cleanUpSourceAndResetState();
    void updateStatus();
    bool isDataAvailable() const;
    std::optional<QList<hb::URL>> getURLS() const;
    std::optional<QList<hb::URL>> sourceURLs() const override;
    std::optional<DataSource> dataSource() const override;

    // Observes "HotKeyFired" (once) and registers the stored hot key again.
    void addHotKeyToLaunchAppOnSelection();

    // Shifts, completion, undo and quit.
    void getDestination(const hb::URL& destination);
    // What the "Destination" event reports for a folder: "Drive", "Home", a home folder's own name,
    // "Other", or the path with a leading home folder shown as "/Users/Home".
    static QString destinationKind(const hb::URL& destination);
    void operationComplete(const hb::URL& destination) override;
    void canUndo(bool canUndo) override;
    void undoLastShift();
    bool isOperationInProgress() const;
    void quitApp();
    void sendReport(const QString& category, const QString& action);
    void sendReport(const QString& category, const QString& action, const QString& label,
                    const QMap<QString, QString>& parameters);

    // Files dropped on a tile (or past the last one, which counts as the first) become the source.
    std::uint64_t collectionViewValidateDrop(hb::CollectionView& collectionView, hb::DraggingInfo& draggingInfo,
                                             std::int64_t& proposedDropIndex,
                                             hb::CollectionViewDropOperation& proposedDropOperation) override;
    bool collectionViewAcceptDrop(hb::CollectionView& collectionView, hb::DraggingInfo& draggingInfo,
                                  std::int64_t index, hb::CollectionViewDropOperation dropOperation) override;

    // Destination list editing (tiles added through panels and drives, reordered by dragging).
    void addToLocationTest();
    Q_INVOKABLE void addRemovableDrives();
    void didBecomeActive(const hb::Notification& notification);
    void fromDragSource(const hb::Notification& notification);
    void volumePermission(QWidget* sender);
    bool confirmToHoldData();
    // Files dropped on the window outside the grid.
    std::uint64_t draggingEntered(const hb::DraggingInfo& draggingInfo) const;
    bool prepareForDragOperation(const hb::DraggingInfo& draggingInfo) const;
    bool performDragOperation(const hb::DraggingInfo& draggingInfo);
    bool collectionViewCanDragItemsAtIndexes(hb::CollectionView& collectionView, const hb::IndexSet& indexes,
                                             const QMouseEvent& event) override;
    bool collectionViewWriteItemsAtIndexesToPasteboard(hb::CollectionView& collectionView,
                                                       const hb::IndexSet& indexes,
                                                       hb::DraggingPasteboard& pasteboard) override;
    void collectionViewDraggingSessionEnded(hb::CollectionView& collectionView, const QPoint& screenPoint,
                                            std::uint64_t operation) override;

    // The recent-files browser, while its popover is shown.
    QPointer<RecentViewController> recentFilesViewController;
    QPointer<hb::Popover> recentFilesPopover;
    void forRecentFiles(const hb::Notification& notification);
    void onResult(const QList<hb::URL>& urls) override;
    void onClose() override;

    // The file-manager script can be run.
    bool canWeGoWithScript();
    // Escape: the program hides.
    void cancelOperation();

    // The Desktop reminder: one pending one-shot timer; each check schedules the next three days on.
    QPointer<QTimer> desktopCheckTimer;
    // Where the reminder goes: the desktop's notification server.
    hb::UserNotificationCenter* userNotificationCenter;
    // Tells at once of a hot key another program holds; its button brings the window forward.
    HBHotKeyNotification* hotKeyNotification;
    // Schedules the next Desktop check from the time of the last one ("checkDesktop").
    void scheduleCheckUp();
    // Reminds of a Desktop of more than 20 entries (while "notificationsActive"); schedules the next check.
    void desktopClutter();

    // Observes "HotKeyFired" (once) and registers the hot key again.
    void addHotKey();
    // The settings menu's "Start at Login" item asks for its new state; the item then shows the real one.
    void addToLogin(QAction* sender);
    // Turns starting at login on or off; a failure is shown with its reason.
    void addToLoginWithState(bool state);

    // The about box, made anew on each request; none when its scene is not there.
    std::optional<hb::Storyboard> aboutStoryBoard;
    std::unique_ptr<hb::WindowController> aboutWindowController;
    void showAboutBox();
    // A new e-mail to the support address.
    void contactSupport();
    // The Application Scripts folder in the file manager (made when missing).
    void openScriptsFolder();

    // The settings button and its menu: start at login, about, support, scripts folder, and the menu
    // actions of the "Main" storyboard when they are there.
    QPointer<QToolButton> settingsButton;
    QPointer<QMenu> settingsMenu;
    QPointer<QAction> startAtLoginItem;

    // Status area: the tabs are handed over by the segue "statusControllers".
    void prepareForSegue(const hb::StoryboardSegue& segue);
    void embedStatusControllers();
    // Shows the pane that fits the source: the chooser while files are held, else the hint to select
    // files, or to install the script while it is missing.
    void updateStatusTabs();

signals:
    void stopSourceManagerChanged(bool stop);
    void undoEnabledChanged(bool enabled);

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewWillDisappear() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void startFinderSource();
    void dropSource();
    void armGrid();
    void addModifierMonitorWhenFirstResponder();
    void showWindowWhenHidden();
    // Adds the folders not yet among the destinations; `reply` learns what became of each.
    void addFolders(const QList<hb::URL>& urls, bool announcePresent, HBServiceReply* reply = nullptr);
    void applyHorizontalConstraint();
    void observeWhileShown();
    void stopObservingWhileShown();
    void addDestinationObservers();
    void loadCollectionView();
    void buildSettingsMenu();
    void scheduleDesktopCheck(qint64 seconds);
    std::uint64_t validateReorderDrop(hb::DraggingInfo& draggingInfo, std::int64_t& proposedDropIndex,
                                      hb::CollectionViewDropOperation& proposedDropOperation);
    void acceptReorderDrop();

    std::unique_ptr<Ui::MainViewController> m_ui;
    // The storyboard's menu actions live as long as the settings menu that shows them.
    std::unique_ptr<QMenu> m_menuActions;
    bool m_stopSourceManager = false;
    bool m_undoEnabled = false;
    QList<QMetaObject::Connection> m_defaultsObservations;
    // The store's, the manager's and the sources' alerts, panels and progress window.
    HBCoreUIDelegate m_coreUIDelegate;
};
