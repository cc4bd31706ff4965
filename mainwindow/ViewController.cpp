#include "mainwindow/ViewController.h"

#include "core/engine/HBConstants.h"
#include "core/hotkey/HBHotKeyManage.h"
#include "core/sources/HBFinderData.h"
#include "core/sources/HBServiceReply.h"
#include "mainwindow/controls/HBScrollView.h"
#include "mainwindow/grid/HBCollectionView.h"
#include "mainwindow/grid/HBCollectionViewItem.h"
#include "mainwindow/grid/HBCollectionViewNib.h"
#include "mainwindow/grid/LocationArrayController.h"
#include "mainwindow/status/HBHotKeyNotification.h"
#include "mainwindow/status/HBStatusTabViewController.h"
#include "platform/base/Log.h"
#include "platform/base/MainQueue.h"
#include "platform/base/UserDefaults.h"
#include "platform/base/UserDefaultsController.h"
#include "platform/desktop/UserNotificationCenter.h"
#include "platform/desktop/UserScriptTask.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/ResourceValues.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Application.h"
#include "platform/interface/CursorStack.h"
#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/WindowController.h"

#include "ui_MainViewController.h"

#include <QKeyEvent>
#include <QMenu>
#include <QSet>
#include <QVBoxLayout>

HB_REGISTER_SCENE("Main", "MainViewController", ViewController);

namespace {

constexpr int holderWidth = 332;
constexpr int holderWidthWithScroller = 347;

QList<hb::URL> urlsOf(const QVariant& value)
{
    QList<hb::URL> urls;
    for (const QVariant& element : value.toList()) {
        if (element.canConvert<hb::URL>())
            urls << element.value<hb::URL>();
    }
    return urls;
}

hb::UserDefaults& standardDefaults() { return hb::UserDefaults::standard(); }

// The reply of a service request that the notification carries, if any.
HBServiceReply* serviceReplyOf(const hb::Notification& notification)
{
    const QVariant value = notification.userInfo.value(serviceReplyUserInfoKey);
    return value.canConvert<HBServiceReplyRef>() ? value.value<HBServiceReplyRef>().get() : nullptr;
}

}  // namespace

ViewController::ViewController(QWidget* parent)
    : hb::ViewController(parent),
      hotKeyManager(&HBHotKeyManage::sharedInstance()),
      userNotificationCenter(&hb::UserNotificationCenter::defaultUserNotificationCenter()),
      hotKeyNotification(new HBHotKeyNotification(
          [this] {
              hb::Application::shared().makeKeyAndOrderFront(window());
              hb::Application::shared().activateIgnoringOtherApps(true);
          },
          this))
{
    // Every quit, asked for or signalled, stops what still runs, as the quit alert says.
    connect(&hb::Application::shared(), &hb::Application::didTerminate, this,
            [this] { fileOperationServices.stopAllOperations(); });
    destinationCollection.setUIDelegate(&m_coreUIDelegate);
    fileOperationServices.setUIDelegate(&m_coreUIDelegate);
}

ViewController::~ViewController()
{
    stopObservingWhileShown();
    hb::NotificationCenter::defaultCenter().removeObserver(this);
    fileOperationServices.delegate = nullptr;
    dropSource();
}

hb::UserDefaultsController& ViewController::defaults() const { return hb::UserDefaultsController::shared(); }

void ViewController::setStopSourceManager(bool stop)
{
    if (m_stopSourceManager == stop)
        return;
    m_stopSourceManager = stop;
    emit stopSourceManagerChanged(stop);
}

void ViewController::setUndoEnabled(bool enabled)
{
    if (m_undoEnabled == enabled)
        return;
    m_undoEnabled = enabled;
    emit undoEnabledChanged(enabled);
}

// Life cycle

void ViewController::loadView()
{
    destinationCollection.fillDefaultData();
    initializeApp();
    dropSource();
    if (!standardDefaults().boolForKey(firstRunDefaultsKey) && canWeGoWithScript())
        startFinderSource();
    addObservers();

    m_ui = std::make_unique<Ui::MainViewController>();
    m_ui->setupUi(this);
    visualEffectsView = m_ui->visualEffectsView;
    collectionViewMainHolder = m_ui->collectionViewMainHolder;
    undoButton = m_ui->undoButton;
    instructionTextField = m_ui->instructionTextField;
    thumbdrives = m_ui->thumbdrives;
    thumbdrives->hide();
    undoButton->setEnabled(m_undoEnabled);
    connect(this, &ViewController::undoEnabledChanged, undoButton, &QWidget::setEnabled);
    connect(undoButton, &QPushButton::clicked, this, [this] { undoLastShift(); });
    addDestinationObservers();
    buildSettingsMenu();
}

void ViewController::initializeApp()
{
    fileOperationServices.delegate = this;
    fileOperationServices.removeLeftoversOfKilledCopies();
    addHotKeyToLaunchAppOnSelection();
    destinationCollection.setFirstItem(true);
    standardDefaults().setBool(sourceAvailableDefaultsKey, false);
}

void ViewController::addHotKeyToLaunchAppOnSelection()
{
    // One observation however often the hot key is registered again.
    hb::NotificationCenter& center = hb::NotificationCenter::defaultCenter();
    center.removeObserver(this, hotKeyFiredNotification);
    center.addObserver(this, hotKeyFiredNotification, nullptr, [this](const hb::Notification&) { hotKeyFired(); });
    if (hotKeyManager)
        hotKeyManager->registerHotKey();
}

void ViewController::addObservers()
{
    // These stay for the controller's life: the window is hidden whenever the program resigns, and
    // activation, Services input, failures and resizing must still reach it then.
    hb::NotificationCenter& center = hb::NotificationCenter::defaultCenter();
    const std::pair<QString, void (ViewController::*)(const hb::Notification&)> observed[] = {
        {changeSizeNotification, &ViewController::changeSize},
        {willBecomeActiveNotification, &ViewController::willBecomeActive},
        {willResignActiveNotification, &ViewController::willResignActive},
        {locationAddedNotification, &ViewController::locationAdded},
        {receivedDataNotification, &ViewController::receivedData},
        {showAlertNotification, &ViewController::showPermissionAlert},
        {didBecomeActiveNotification, &ViewController::didBecomeActive},
        {fromDragSourceNotification, &ViewController::fromDragSource},
    };
    for (const auto& [name, handler] : observed) {
        center.removeObserver(this, name);
        center.addObserver(this, name, nullptr,
                           [this, handler](const hb::Notification& notification) { (this->*handler)(notification); });
    }
}

void ViewController::viewDidLoad()
{
    embedStatusControllers();
    loadCollectionView();
    scheduleCheckUp();
}

void ViewController::loadCollectionView()
{
    const std::optional<HBCollectionViewNib> nib = loadCollectionViewNib(this, &destinationCollection);
    if (!nib) {
        HBDebug() << "Nib cannot be loaded";
        return;
    }
    collectionViewHolder = nib->holder;
    locationArrayController = nib->arrayController;
    collectionView = nib->collectionView;

    if (collectionView) {
        // The status pane says what a click on the tile pointed at does.
        connect(collectionView, &HBCollectionView::clickHintChanged, this, [this](const QString& hint) {
            if (statusTabController)
                statusTabController->showClickHint(hint);
        });
        collectionView->setDelegate(this);
        collectionView->registerForDraggedTypes({reorderPasteboardType, hb::fileURLPasteboardType});
        collectionView->setAllowsMultipleSelection(false);
        collectionView->setSelectable(true);
    }
    if (collectionViewHolder && collectionViewMainHolder) {
        verticalConstraint = new QVBoxLayout(collectionViewMainHolder);
        verticalConstraint->setContentsMargins(0, 0, 0, 0);
        verticalConstraint->addWidget(collectionViewHolder, 1, Qt::AlignHCenter);
        horizontalConstraint = holderWidth;
        applyHorizontalConstraint();
    }
}

void ViewController::viewWillAppear()
{
    if (collectionView)
        collectionView->makeFirstResponder();
    observeWhileShown();
}

void ViewController::viewWillDisappear()
{
    destinationCollection.syncData();
    hotKeyPressed = false;
    stopObservingWhileShown();
}

void ViewController::observeWhileShown()
{
    stopObservingWhileShown();
    hb::UserDefaultsController& controller = defaults();
    m_defaultsObservations << controller.addObserver(scriptInstalledKeyPath, this, [this](const QVariant&) {
        observeValueForKeyPath(scriptInstalledKeyPath);
    });
    m_defaultsObservations << controller.addObserver(sourceAvailableKeyPath, this, [this](const QVariant&) {
        observeValueForKeyPath(sourceAvailableKeyPath);
    });

    hb::NotificationCenter& center = hb::NotificationCenter::defaultCenter();
    center.addObserver(this, destinationSelectedNotification, nullptr,
                       [this](const hb::Notification& notification) { destinationChosen(notification); });
    center.addObserver(this, removeSelectedNotification, nullptr,
                       [this](const hb::Notification& notification) { removeSelected(notification); });
    center.addObserver(this, addToGridNotification, nullptr,
                       [this](const hb::Notification& notification) { locationAddedFomOpenPanel(notification); });
    center.addObserver(this, emptySourceNotification, nullptr,
                       [this](const hb::Notification& notification) { cancelSelection(notification); });
    center.addObserver(this, forRecentFilesNotification, nullptr,
                       [this](const hb::Notification& notification) { forRecentFiles(notification); });
}

void ViewController::stopObservingWhileShown()
{
    for (const QMetaObject::Connection& connection : std::as_const(m_defaultsObservations))
        defaults().removeObserver(connection);
    m_defaultsObservations.clear();
    hb::NotificationCenter& center = hb::NotificationCenter::defaultCenter();
    for (const QString& name :
         {destinationSelectedNotification, removeSelectedNotification, addToGridNotification, emptySourceNotification,
          forRecentFilesNotification})
        center.removeObserver(this, name);
}

void ViewController::observeValueForKeyPath(const QString& keyPath)
{
    if (keyPath == sourceAvailableKeyPath) {
        const bool armable = sourceManager
            && (sourceManager->dataSource() == DataSource::finder
                || sourceManager->dataSource() == DataSource::recentFiles)
            && !sourceManager->getSourceURLs().isEmpty() && defaults().valueForKeyPath(sourceAvailableKeyPath).toBool();
        if (armable)
            armGrid();
    }
    updateStatus();
}

void ViewController::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        cancelOperation();
        return;
    }
    hb::ViewController::keyPressEvent(event);
}

void ViewController::cancelOperation() { hb::Application::shared().hide(); }

// Notifications

void ViewController::changeSize(const hb::Notification& notification)
{
    const QVariant value = notification.userInfo.value(sizeUserInfoKey);
    bool isNumber = false;
    const double size = value.toDouble(&isNumber);
    if (!isNumber || !collectionViewHolder || !horizontalConstraint)
        return;
    if (size > 332.0)
        horizontalConstraint = holderWidth;
    else if (size < 332.0)
        horizontalConstraint = holderWidthWithScroller;
    applyHorizontalConstraint();
}

void ViewController::applyHorizontalConstraint()
{
    collectionViewHolder->setFixedWidth(*horizontalConstraint);
    collectionViewHolder->updateGeometry();
    if (collectionViewMainHolder && collectionViewMainHolder->layout())
        collectionViewMainHolder->layout()->activate();
}

void ViewController::willBecomeActive(const hb::Notification&)
{
    destinationCollection.updateData();
    if (m_stopSourceManager) {
        dropSource();
    } else if (!sourceManager && canWeGoWithScript()) {
        isFinderData = true;
        startFinderSource();
    }
    setStopSourceManager(false);
    if (thumbdrives)
        thumbdrives->hide();
    if (instructionTextField)
        instructionTextField->setPlaceholderText(instructionPlaceholder);
}

void ViewController::willResignActive(const hb::Notification&)
{
    aboutWindowController.reset();
    aboutStoryBoard.reset();
    setStopSourceManager(false);
    cleanUpSourceAndResetState();
    hotKeyPressed = false;
}

void ViewController::hotKeyFired()
{
    hotKeyPressed = true;
    hb::Application::shared().makeKeyAndOrderFront(window());
    hb::Application::shared().activateIgnoringOtherApps(true);
    sendReport(QStringLiteral("DataSource"), QStringLiteral("Finder"), QStringLiteral("HotKey"), {});
}

void ViewController::receivedData(const hb::Notification& notification)
{
    if (!notification.userInfo.contains(receivedDataUserInfoKey))
        return;
    isFinderData = false;
    cleanUpSourceAndResetState();
    const QList<hb::URL> urls = urlsOf(notification.userInfo.value(receivedDataUserInfoKey));
    sourceManager = HBSourceManager::create(DataSource::service, urls, &m_coreUIDelegate);
    if (HBServiceReply* reply = serviceReplyOf(notification)) {
        reply->setHeard();
        QSet<QString> taken;
        for (const hb::URL& url : sourceManager->getSourceURLs())
            taken.insert(url.path());
        for (const hb::URL& url : urls)
            reply->note(url.path(), taken.contains(url.path()) ? HBServiceReply::Outcome::taken
                                                               : HBServiceReply::Outcome::unusable);
    }
    if (!sourceManager->getSourceURLs().isEmpty()) {
        armGrid();
        sendReport(QStringLiteral("DataSource"), QStringLiteral("Services"));
    }
    updateStatus();
    hb::Application::shared().activateIgnoringOtherApps(true);
    showWindowWhenHidden();
}

void ViewController::cancelSelection(const hb::Notification&)
{
    cleanUpSourceAndResetState();
    updateStatus();
}

void ViewController::locationAdded(const hb::Notification& notification)
{
    if (!notification.userInfo.contains(locationAddedUserInfoKey))
        return;
    HBServiceReply* reply = serviceReplyOf(notification);
    if (reply)
        reply->setHeard();
    addFolders(urlsOf(notification.userInfo.value(locationAddedUserInfoKey)), true, reply);
    setStopSourceManager(true);
    hb::Application::shared().activateIgnoringOtherApps(true);
    showWindowWhenHidden();
}

void ViewController::locationAddedFomOpenPanel(const hb::Notification& notification)
{
    if (!notification.userInfo.contains(locationAddedUserInfoKey))
        return;
    addFolders(urlsOf(notification.userInfo.value(locationAddedUserInfoKey)), false);
    setStopSourceManager(true);
}

void ViewController::addFolders(const QList<hb::URL>& urls, bool announcePresent, HBServiceReply* reply)
{
    using Outcome = HBServiceReply::Outcome;
    for (const hb::URL& url : urls) {
        Outcome outcome = Outcome::alreadyPresent;
        if (!destinationCollection.doesLocationExist(url)) {
            switch (destinationCollection.addLocation(url)) {
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
            hb::MainQueue::async([store = QPointer(&destinationCollection), url] {
                if (store)
                    store->showAlreadyPresentAlert(url);
            });
        }
        if (reply)
            reply->note(url.path(), outcome);
        destinationCollection.syncData();
    }
}

void ViewController::removeSelected(const hb::Notification& notification)
{
    const QObject* selected = notification.userInfo.value(collectionviewSelectedUserInfoKey).value<QObject*>();
    const auto* tile = qobject_cast<const HBCollectionViewItem*>(selected);
    if (!tile)
        return;
    // The add tile (no folder of its own) always stays.
    const QString path = tile->locationEntry().value(HBLocationEntryKey::path);
    if (path.isEmpty())
        return;
    HBLocationList locations = destinationCollection.dropLocations();
    for (qsizetype index = 0; index < locations.size(); ++index) {
        if (locations[index].value(HBLocationEntryKey::path) != path)
            continue;
        locations.removeAt(index);
        destinationCollection.setDropLocations(locations);
        destinationCollection.syncData();
        return;
    }
}

void ViewController::showWindowWhenHidden()
{
    if (!window()->isVisible())
        hb::Application::shared().makeKeyAndOrderFront(window());
}

// Sources

void ViewController::startFinderSource()
{
    sourceManager = HBSourceManager::create(DataSource::finder, {}, &m_coreUIDelegate);
    sourceManager->requestFinderSelection();
}

void ViewController::dropSource()
{
    if (!sourceManager)
        return;
    sourceManager->emptySource();
    sourceManager.reset();
}

void ViewController::sourceFinderWithStateAndMonitor()
{
    isFinderData = true;
    startFinderSource();
}

void ViewController::sourceAsDrag(const hb::DraggingInfo& draggingInfo)
{
    cleanUpSourceAndResetState();
    sourceManager = HBSourceManager::create(DataSource::pasteBoard, draggingInfo.draggingPasteboard().fileURLs(),
                                            &m_coreUIDelegate);
    updateStatus();
    if (sourceManager->getSourceURLs().isEmpty() || !collectionView)
        return;
    const std::int64_t operation = (draggingInfo.draggingSourceOperationMask() & hb::NSDragOperationMove)
        ? static_cast<std::int64_t>(hb::NSDragOperationMove)
        : static_cast<std::int64_t>(hb::NSDragOperationCopy);
    if (collectionView->modifierMonitor)
        collectionView->removeMonitor();
    collectionView->modifierMonitor.reset();
    collectionView->optionPressed = false;
    collectionView->changeCursor(operation);
    // A drop from another program leaves the focus with that program: the window comes forward, so that
    // the click that shifts the files can follow, instead of the program resigning and letting them go.
    if (!draggingInfo.sourceIsInProgram())
        hb::Application::shared().activateIgnoringOtherApps(true);
}

void ViewController::sourceAsRecentFilesWithSourceURLS(const QList<hb::URL>& urls)
{
    isFinderData = false;
    cleanUpSourceAndResetState();
    sourceManager = HBSourceManager::create(DataSource::recentFiles, urls, &m_coreUIDelegate);
    if (!sourceManager->getSourceURLs().isEmpty()) {
        if (collectionView) {
            collectionView->changeCursor(static_cast<std::int64_t>(hb::NSDragOperationMove));
            collectionView->makeFirstResponder();
            addModifierMonitorWhenFirstResponder();
        }
        sendReport(QStringLiteral("DataSource"), QStringLiteral("RecentFiles"));
    }
    updateStatus();
    hb::Application::shared().activateIgnoringOtherApps(true);
    showWindowWhenHidden();
}

void ViewController::armGrid()
{
    if (!collectionView)
        return;
    collectionView->changeCursor(static_cast<std::int64_t>(hb::NSDragOperationMove));
    addModifierMonitorWhenFirstResponder();
}

void ViewController::addModifierMonitorWhenFirstResponder()
{
    if (!collectionView->modifierMonitor && collectionView->isFirstResponder())
        collectionView->addMonitor();
}

void ViewController::cleanUpSourceAndResetState()
{
    dropSource();
    if (!collectionView)
        return;
    if (collectionView->modifierMonitor)
        collectionView->removeMonitor();
    collectionView->modifierMonitor.reset();
    collectionView->optionPressed = false;
    collectionView->oldCursorState.reset();
    hb::CursorStack::pop();
    collectionView->currentDragOperation = 0;
}

void ViewController::updateStatus()
{
    destinationCollection.setFirstItem(!isDataAvailable());
    updateStatusTabs();
    if (collectionView)
        collectionView->setHeldItems(getURLS().value_or(QList<hb::URL>()));
}

bool ViewController::isDataAvailable() const { return sourceManager && !sourceManager->getSourceURLs().isEmpty(); }

std::optional<QList<hb::URL>> ViewController::getURLS() const
{
    if (!isDataAvailable())
        return std::nullopt;
    return sourceManager->getSourceURLs();
}

std::optional<QList<hb::URL>> ViewController::sourceURLs() const { return getURLS(); }

std::optional<DataSource> ViewController::dataSource() const
{
    if (!sourceManager)
        return std::nullopt;
    return sourceManager->dataSource();
}

// Grid drops

std::uint64_t ViewController::collectionViewValidateDrop(hb::CollectionView&, hb::DraggingInfo& draggingInfo,
                                                         std::int64_t& proposedDropIndex,
                                                         hb::CollectionViewDropOperation& proposedDropOperation)
{
    if (draggingInfo.draggingPasteboard().containsType(reorderPasteboardType))
        return validateReorderDrop(draggingInfo, proposedDropIndex, proposedDropOperation);
    if (!draggingInfo.draggingPasteboard().containsType(hb::fileURLPasteboardType))
        return hb::NSDragOperationMove;
    if (proposedDropIndex >= destinationCollection.numberOfLocations())
        proposedDropIndex = 0;
    proposedDropOperation = hb::CollectionViewDropOperation::on;
    draggingInfo.setAnimatesToDestination(true);
    return (draggingInfo.draggingSourceOperationMask() & hb::NSDragOperationMove) ? hb::NSDragOperationMove
                                                                                  : hb::NSDragOperationCopy;
}

bool ViewController::collectionViewAcceptDrop(hb::CollectionView&, hb::DraggingInfo& draggingInfo,
                                              std::int64_t index, hb::CollectionViewDropOperation)
{
    isFinderData = false;
    if (draggingInfo.draggingPasteboard().containsType(reorderPasteboardType))
        acceptReorderDrop();
    else if (draggingInfo.draggingPasteboard().containsType(hb::fileURLPasteboardType)) {
        sourceAsDrag(draggingInfo);
        if (index != 0 && collectionView) {
            if (auto* tile = qobject_cast<HBCollectionViewItem*>(collectionView->itemAtIndex(index)))
                tile->showViews();
        }
    }
    sendReport(QStringLiteral("DataSource"), QStringLiteral("PasteBoard"), QStringLiteral("DraggedToGrid"), {});
    return true;
}

// The file-manager script

bool ViewController::canWeGoWithScript()
{
    if (standardDefaults().boolForKey(scriptInstalledDefaultsKey))
        return true;
    const std::optional<hb::URL> folder = hb::UserScriptTask::applicationScriptsDirectory(true);
    if (!folder) {
        HBDebug() << "Caught";
        return false;
    }
    hb::startAccessingSecurityScopedResource(*folder);
    const bool reachable = hb::checkResourceIsReachable(folder->appendingPathComponent(HBFinderData::scriptFileName));
    if (reachable)
        standardDefaults().setBool(scriptInstalledDefaultsKey, true);
    hb::stopAccessingSecurityScopedResource(*folder);
    return reachable;
}
