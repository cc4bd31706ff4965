#pragma once

#include "core/engine/HBFileShiftOperations.h"
#include "core/engine/HBOperationsProtocol.h"
#include "core/engine/DataSource.h"
#include "core/store/HBDataManager.h"
#include "mainwindow/HBCurrentSource.h"
#include "mainwindow/HBCoreUIDelegate.h"
#include "mainwindow/recent/RecentViewController.h"
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
class HBDesktopReminder;
class HBDestinationEditor;
class HBHotKeyManage;
class HBHotKeyNotification;
class HBSettingsMenu;
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
}  // namespace hb
namespace Ui {
class MainViewController;
}

// The main window's content and the program's hub: it owns the destination store, the operations
// manager and the current source; turns every way of picking files into a new source; keeps the first
// tile in step with whether files are waiting; and starts, completes and undoes shifts. The source, the
// editing of the destination list, the settings menu and the Desktop reminder are parts of their own
// that it hands the work to. Main thread only.
class ViewController : public hb::ViewController,
                       public HBOperationsProtocol,
                       public hb::CollectionViewDelegate,
                       public recentFilesProtocol {
    Q_OBJECT
    Q_PROPERTY(bool stopSourceManager READ stopSourceManager WRITE setStopSourceManager NOTIFY stopSourceManagerChanged)
    Q_PROPERTY(bool undoEnabled READ undoEnabled WRITE setUndoEnabled NOTIFY undoEnabledChanged)

public:
    explicit ViewController(QWidget* parent = nullptr);
    ~ViewController() override;

    HBDataManager& destinationCollection() { return m_destinationCollection; }
    // Replaced, never reused, for every new source; emptied before it is let go.
    const std::shared_ptr<HBSourceManager>& sourceManager() const { return m_source.manager(); }
    HBFileShiftOperations& fileOperationServices() { return m_fileOperationServices; }
    QWidget* visualEffectsView() const { return m_visualEffectsView; }
    QWidget* collectionViewMainHolder() const { return m_collectionViewMainHolder; }
    // The top-level view of the "CollectionView" layout that holds the grid.
    QWidget* collectionViewHolder() const { return m_collectionViewHolder; }
    // Arranges the store's entries for the grid.
    LocationArrayController* locationArrayController() const;
    HBCollectionView* collectionView() const;
    HBHotKeyManage* hotKeyManager() const { return m_hotKeyManager; }
    // From a hot-key firing until the view disappears or the program resigns.
    bool hotKeyPressed() const { return m_hotKeyPressed; }
    std::int64_t numFilesToBeMoved() const { return m_numFilesToBeMoved; }
    // The current source was read from the file manager's selection.
    bool isFinderData() const { return m_source.isFinderData(); }
    QPushButton* undoButton() const;
    QLineEdit* instructionTextField() const;
    QPushButton* thumbdrives() const;
    // The indexes of the tiles being dragged.
    const std::optional<hb::IndexSet>& sourceIndexSet() const;
    // Where the tile being reordered stands; -1 while none is.
    std::int64_t lastEmptyIndex() const;
    bool madness() const { return m_madness; }
    // The holder's width (332 or 347) while it is constrained.
    std::optional<int> horizontalConstraint() const { return m_horizontalConstraint; }
    // Pins the holder to the full height of its container.
    QBoxLayout* verticalConstraint() const;
    // The status panes below the grid, set when they are handed over.
    HBStatusTabViewController* statusTabController() const;
    // The recent-files browser, while its popover is shown.
    RecentViewController* recentFilesViewController() const { return m_recentFilesViewController; }
    // The Desktop reminder's pending one-shot timer.
    QTimer* desktopCheckTimer() const;
    // Where the Desktop reminder goes: the desktop's notification server unless another is given.
    void setUserNotificationCenter(hb::UserNotificationCenter* center);
    // Tells at once of a hot key another program holds; its button brings the window forward.
    HBHotKeyNotification* hotKeyNotification() const { return m_hotKeyNotification; }
    // The about box, made anew on each request; none when its scene is not there.
    const std::optional<hb::Storyboard>& aboutStoryBoard() const;
    hb::WindowController* aboutWindowController() const;
    // The settings button and its menu.
    QToolButton* settingsButton() const;
    QMenu* settingsMenu() const;
    QAction* startAtLoginItem() const;

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
    std::optional<QList<hb::URL>> sourceURLs() const;
    std::optional<DataSource> dataSource() const;

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
    bool collectionViewWriteItemsAtIndexesToPasteboard(hb::CollectionView& collectionView, const hb::IndexSet& indexes,
                                                       hb::DraggingPasteboard& pasteboard) override;
    void collectionViewDraggingSessionEnded(hb::CollectionView& collectionView, const QPoint& screenPoint,
                                            std::uint64_t operation) override;

    void forRecentFiles(const hb::Notification& notification);
    void onResult(const QList<hb::URL>& urls) override;
    void onClose() override;

    // The file-manager script can be run.
    bool canWeGoWithScript();
    // Escape: the program hides.
    void cancelOperation();

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

    void showAboutBox();
    // A new e-mail to the support address.
    void contactSupport();
    // The Application Scripts folder in the file manager (made when missing).
    void openScriptsFolder();

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
    void showWindowWhenHidden();
    void applyHorizontalConstraint();
    void observeWhileShown();
    void stopObservingWhileShown();
    void addDestinationObservers();
    void loadCollectionView();

    // The store's, the manager's and the sources' alerts, panels and progress window; declared first, so
    // that it outlives all three.
    HBCoreUIDelegate m_coreUIDelegate;
    HBDataManager m_destinationCollection;
    HBCurrentSource m_source;
    HBFileShiftOperations m_fileOperationServices;
    HBDestinationEditor* const m_destinations;
    HBSettingsMenu* const m_settings;
    HBHotKeyManage* const m_hotKeyManager;
    HBDesktopReminder* const m_desktopReminder;
    HBHotKeyNotification* const m_hotKeyNotification;
    std::unique_ptr<Ui::MainViewController> m_ui;
    QPointer<QWidget> m_visualEffectsView;
    QPointer<QWidget> m_collectionViewMainHolder;
    QPointer<QWidget> m_collectionViewHolder;
    QPointer<LocationArrayController> m_locationArrayController;
    QPointer<HBCollectionView> m_collectionView;
    QPointer<QPushButton> m_undoButton;
    QPointer<QLineEdit> m_instructionTextField;
    QPointer<QPushButton> m_thumbdrives;
    std::optional<int> m_horizontalConstraint;
    QPointer<QBoxLayout> m_verticalConstraint;
    QPointer<HBStatusTabViewController> m_statusTabController;
    QPointer<RecentViewController> m_recentFilesViewController;
    QPointer<hb::Popover> m_recentFilesPopover;
    bool m_hotKeyPressed = false;
    std::int64_t m_numFilesToBeMoved = 0;
    bool m_madness = false;
    bool m_stopSourceManager = false;
    bool m_undoEnabled = false;
    QList<QMetaObject::Connection> m_defaultsObservations;
};
