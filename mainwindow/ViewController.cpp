#include "mainwindow/ViewController.h"

#include "core/store/HBConstants.h"
#include "core/hotkey/HBHotKeyManage.h"
#include "core/sources/HBFinderData.h"
#include "core/sources/HBServiceReply.h"
#include "mainwindow/HBDesktopReminder.h"
#include "mainwindow/HBDestinationEditor.h"
#include "mainwindow/HBSettingsMenu.h"
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
#include "platform/desktop/UserScriptTask.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/ResourceValues.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Application.h"
#include "platform/interface/StoryboardRegistry.h"

#include "ui_MainViewController.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
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

hb::UserDefaults& standardDefaults()
{
    return hb::UserDefaults::standard();
}

// The reply of a service request that the notification carries, if any.
HBServiceReply* serviceReplyOf(const hb::Notification& notification)
{
    const QVariant value = notification.userInfo.value(serviceReplyUserInfoKey);
    return value.canConvert<HBServiceReplyRef>() ? value.value<HBServiceReplyRef>().get() : nullptr;
}

}  // namespace

ViewController::ViewController(QWidget* parent)
    : hb::ViewController(parent),
      m_source(m_coreUIDelegate),
      m_destinations(new HBDestinationEditor(m_destinationCollection, this)),
      m_settings(new HBSettingsMenu(this)),
      m_hotKeyManager(&HBHotKeyManage::sharedInstance()),
      m_desktopReminder(new HBDesktopReminder(this)),
      m_hotKeyNotification(new HBHotKeyNotification(
          [this] {
              hb::Application::shared().makeKeyAndOrderFront(window());
              hb::Application::shared().activateIgnoringOtherApps(true);
          },
          this))
{
    // Every quit, asked for or signalled, stops what still runs, as the quit alert says.
    connect(&hb::Application::shared(), &hb::Application::didTerminate, this,
            [this] { m_fileOperationServices.stopAllOperations(); });
    m_destinationCollection.setUIDelegate(&m_coreUIDelegate);
    m_fileOperationServices.setUIDelegate(&m_coreUIDelegate);
}

ViewController::~ViewController()
{
    stopObservingWhileShown();
    hb::NotificationCenter::defaultCenter().removeObserver(this);
    m_fileOperationServices.delegate = nullptr;
    m_source.dropSource();
}

hb::UserDefaultsController& ViewController::defaults() const
{
    return hb::UserDefaultsController::shared();
}

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
    m_destinationCollection.fillDefaultData();
    initializeApp();
    m_source.dropSource();
    if (!standardDefaults().boolForKey(firstRunDefaultsKey) && canWeGoWithScript())
        m_source.startFinderSource();
    addObservers();

    m_ui = std::make_unique<Ui::MainViewController>();
    m_ui->setupUi(this);
    m_visualEffectsView = m_ui->visualEffectsView;
    m_collectionViewMainHolder = m_ui->collectionViewMainHolder;
    m_undoButton = m_ui->undoButton;
    m_instructionTextField = m_ui->instructionTextField;
    m_thumbdrives = m_ui->thumbdrives;
    m_thumbdrives->hide();
    m_destinations->setDrivesHint(m_thumbdrives, m_instructionTextField);
    m_undoButton->setEnabled(m_undoEnabled);
    connect(this, &ViewController::undoEnabledChanged, m_undoButton, &QWidget::setEnabled);
    connect(m_undoButton, &QPushButton::clicked, this, [this] { undoLastShift(); });
    addDestinationObservers();
    m_settings->build(m_ui->settingsButton);
}

void ViewController::initializeApp()
{
    m_fileOperationServices.delegate = this;
    m_fileOperationServices.removeLeftoversOfKilledCopies();
    addHotKeyToLaunchAppOnSelection();
    m_destinationCollection.setFirstItem(true);
    standardDefaults().setBool(sourceAvailableDefaultsKey, false);
}

void ViewController::addHotKeyToLaunchAppOnSelection()
{
    // One observation however often the hot key is registered again.
    hb::NotificationCenter& center = hb::NotificationCenter::defaultCenter();
    center.removeObserver(this, hotKeyFiredNotification);
    center.addObserver(this, hotKeyFiredNotification, nullptr, [this](const hb::Notification&) { hotKeyFired(); });
    if (m_hotKeyManager)
        m_hotKeyManager->registerHotKey();
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
    const std::optional<HBCollectionViewNib> nib = loadCollectionViewNib(this, &m_destinationCollection);
    if (!nib) {
        HBDebug() << "Nib cannot be loaded";
        return;
    }
    m_collectionViewHolder = nib->holder;
    m_locationArrayController = nib->arrayController;
    m_collectionView = nib->collectionView;
    m_source.setGrid(m_collectionView);
    m_destinations->setGrid(m_collectionView);

    if (m_collectionView) {
        // The status pane says what a click on the tile pointed at does.
        connect(m_collectionView, &HBCollectionView::clickHintChanged, this, [this](const QString& hint) {
            if (m_statusTabController)
                m_statusTabController->showClickHint(hint);
        });
        m_collectionView->setDelegate(this);
        m_collectionView->registerForDraggedTypes({reorderPasteboardType, hb::fileURLPasteboardType});
        m_collectionView->setAllowsMultipleSelection(false);
        m_collectionView->setSelectable(true);
    }
    if (m_collectionViewHolder && m_collectionViewMainHolder) {
        m_verticalConstraint = new QVBoxLayout(m_collectionViewMainHolder);
        m_verticalConstraint->setContentsMargins(0, 0, 0, 0);
        m_verticalConstraint->addWidget(m_collectionViewHolder, 1, Qt::AlignHCenter);
        m_horizontalConstraint = holderWidth;
        applyHorizontalConstraint();
    }
}

void ViewController::viewWillAppear()
{
    if (m_collectionView)
        m_collectionView->makeFirstResponder();
    observeWhileShown();
}

void ViewController::viewWillDisappear()
{
    m_destinationCollection.syncData();
    m_hotKeyPressed = false;
    stopObservingWhileShown();
}

void ViewController::observeWhileShown()
{
    stopObservingWhileShown();
    hb::UserDefaultsController& controller = defaults();
    m_defaultsObservations << controller.addObserver(
        scriptInstalledKeyPath, this, [this](const QVariant&) { observeValueForKeyPath(scriptInstalledKeyPath); });
    m_defaultsObservations << controller.addObserver(
        sourceAvailableKeyPath, this, [this](const QVariant&) { observeValueForKeyPath(sourceAvailableKeyPath); });

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
    for (const QString& name : {destinationSelectedNotification, removeSelectedNotification, addToGridNotification,
                                emptySourceNotification, forRecentFilesNotification})
        center.removeObserver(this, name);
}

void ViewController::observeValueForKeyPath(const QString& keyPath)
{
    if (keyPath == sourceAvailableKeyPath) {
        const std::shared_ptr<HBSourceManager>& source = m_source.manager();
        const bool armable = source
                             && (source->dataSource() == DataSource::finder
                                 || source->dataSource() == DataSource::recentFiles)
                             && !source->getSourceURLs().isEmpty()
                             && defaults().valueForKeyPath(sourceAvailableKeyPath).toBool();
        if (armable)
            m_source.armGrid();
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

void ViewController::cancelOperation()
{
    hb::Application::shared().hide();
}

// Notifications

void ViewController::changeSize(const hb::Notification& notification)
{
    const QVariant value = notification.userInfo.value(sizeUserInfoKey);
    bool isNumber = false;
    const double size = value.toDouble(&isNumber);
    if (!isNumber || !m_collectionViewHolder || !m_horizontalConstraint)
        return;
    if (size > 332.0)
        m_horizontalConstraint = holderWidth;
    else if (size < 332.0)
        m_horizontalConstraint = holderWidthWithScroller;
    applyHorizontalConstraint();
}

void ViewController::applyHorizontalConstraint()
{
    m_collectionViewHolder->setFixedWidth(*m_horizontalConstraint);
    m_collectionViewHolder->updateGeometry();
    if (m_collectionViewMainHolder && m_collectionViewMainHolder->layout())
        m_collectionViewMainHolder->layout()->activate();
}

void ViewController::willBecomeActive(const hb::Notification&)
{
    m_destinationCollection.updateData();
    if (m_stopSourceManager) {
        m_source.dropSource();
    } else if (!m_source.manager() && canWeGoWithScript()) {
        m_source.setFinderData(true);
        m_source.startFinderSource();
    }
    setStopSourceManager(false);
    m_destinations->hideDrivesHint();
}

void ViewController::willResignActive(const hb::Notification&)
{
    m_settings->closeAboutBox();
    setStopSourceManager(false);
    cleanUpSourceAndResetState();
    m_hotKeyPressed = false;
}

void ViewController::hotKeyFired()
{
    m_hotKeyPressed = true;
    hb::Application::shared().makeKeyAndOrderFront(window());
    hb::Application::shared().activateIgnoringOtherApps(true);
    sendReport(QStringLiteral("DataSource"), QStringLiteral("Finder"), QStringLiteral("HotKey"), {});
}

void ViewController::receivedData(const hb::Notification& notification)
{
    if (!notification.userInfo.contains(receivedDataUserInfoKey))
        return;
    m_source.setFinderData(false);
    cleanUpSourceAndResetState();
    const QList<hb::URL> urls = urlsOf(notification.userInfo.value(receivedDataUserInfoKey));
    const std::shared_ptr<HBSourceManager> source = m_source.replace(DataSource::service, urls);
    if (HBServiceReply* reply = serviceReplyOf(notification)) {
        reply->setHeard();
        QSet<QString> taken;
        for (const hb::URL& url : source->getSourceURLs())
            taken.insert(url.path());
        for (const hb::URL& url : urls)
            reply->note(url.path(), taken.contains(url.path()) ? HBServiceReply::Outcome::taken
                                                               : HBServiceReply::Outcome::unusable);
    }
    if (!source->getSourceURLs().isEmpty()) {
        m_source.armGrid();
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
    m_destinations->addFolders(urlsOf(notification.userInfo.value(locationAddedUserInfoKey)), true, reply);
    setStopSourceManager(true);
    hb::Application::shared().activateIgnoringOtherApps(true);
    showWindowWhenHidden();
}

void ViewController::locationAddedFomOpenPanel(const hb::Notification& notification)
{
    if (!notification.userInfo.contains(locationAddedUserInfoKey))
        return;
    m_destinations->addFolders(urlsOf(notification.userInfo.value(locationAddedUserInfoKey)), false);
    setStopSourceManager(true);
}

void ViewController::removeSelected(const hb::Notification& notification)
{
    const QObject* selected = notification.userInfo.value(collectionviewSelectedUserInfoKey).value<QObject*>();
    if (const auto* tile = qobject_cast<const HBCollectionViewItem*>(selected))
        m_destinations->removeFolderOf(*tile);
}

void ViewController::showWindowWhenHidden()
{
    if (!window()->isVisible())
        hb::Application::shared().makeKeyAndOrderFront(window());
}

// Sources

void ViewController::sourceFinderWithStateAndMonitor()
{
    m_source.setFinderData(true);
    m_source.startFinderSource();
}

void ViewController::sourceAsDrag(const hb::DraggingInfo& draggingInfo)
{
    cleanUpSourceAndResetState();
    const std::shared_ptr<HBSourceManager> source = m_source.replace(DataSource::pasteBoard,
                                                                     draggingInfo.draggingPasteboard().fileURLs());
    updateStatus();
    if (source->getSourceURLs().isEmpty() || !m_collectionView)
        return;
    m_source.showDragMode(draggingInfo);
    // A drop from another program leaves the focus with that program: the window comes forward, so that
    // the click that shifts the files can follow, instead of the program resigning and letting them go.
    if (!draggingInfo.sourceIsInProgram())
        hb::Application::shared().activateIgnoringOtherApps(true);
}

void ViewController::sourceAsRecentFilesWithSourceURLS(const QList<hb::URL>& urls)
{
    m_source.setFinderData(false);
    cleanUpSourceAndResetState();
    if (!m_source.replace(DataSource::recentFiles, urls)->getSourceURLs().isEmpty()) {
        m_source.armGridWithFocus();
        sendReport(QStringLiteral("DataSource"), QStringLiteral("RecentFiles"));
    }
    updateStatus();
    hb::Application::shared().activateIgnoringOtherApps(true);
    showWindowWhenHidden();
}

void ViewController::cleanUpSourceAndResetState()
{
    m_source.cleanUpSourceAndResetState();
}

void ViewController::updateStatus()
{
    m_destinationCollection.setFirstItem(!isDataAvailable());
    updateStatusTabs();
    if (m_collectionView)
        m_collectionView->setHeldItems(getURLS().value_or(QList<hb::URL>()));
}

bool ViewController::isDataAvailable() const
{
    return m_source.isDataAvailable();
}

std::optional<QList<hb::URL>> ViewController::getURLS() const
{
    return m_source.getURLS();
}

std::optional<QList<hb::URL>> ViewController::sourceURLs() const
{
    return m_source.sourceURLs();
}

std::optional<DataSource> ViewController::dataSource() const
{
    return m_source.dataSource();
}

// Grid drops

std::uint64_t ViewController::collectionViewValidateDrop(hb::CollectionView&, hb::DraggingInfo& draggingInfo,
                                                         std::int64_t& proposedDropIndex,
                                                         hb::CollectionViewDropOperation& proposedDropOperation)
{
    if (draggingInfo.draggingPasteboard().containsType(reorderPasteboardType))
        return m_destinations->validateReorderDrop(proposedDropIndex, proposedDropOperation);
    if (!draggingInfo.draggingPasteboard().containsType(hb::fileURLPasteboardType))
        return hb::NSDragOperationMove;
    if (proposedDropIndex >= m_destinationCollection.numberOfLocations())
        proposedDropIndex = 0;
    proposedDropOperation = hb::CollectionViewDropOperation::on;
    return (draggingInfo.draggingSourceOperationMask() & hb::NSDragOperationMove) ? hb::NSDragOperationMove
                                                                                  : hb::NSDragOperationCopy;
}

bool ViewController::collectionViewAcceptDrop(hb::CollectionView&, hb::DraggingInfo& draggingInfo, std::int64_t index,
                                              hb::CollectionViewDropOperation)
{
    m_source.setFinderData(false);
    if (draggingInfo.draggingPasteboard().containsType(reorderPasteboardType))
        m_destinations->acceptReorderDrop();
    else if (draggingInfo.draggingPasteboard().containsType(hb::fileURLPasteboardType)) {
        sourceAsDrag(draggingInfo);
        if (index != 0 && m_collectionView) {
            if (auto* tile = qobject_cast<HBCollectionViewItem*>(m_collectionView->itemAtIndex(index)))
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

// Accessors

LocationArrayController* ViewController::locationArrayController() const
{
    return m_locationArrayController;
}

HBCollectionView* ViewController::collectionView() const
{
    return m_collectionView;
}

QPushButton* ViewController::undoButton() const
{
    return m_undoButton;
}

QLineEdit* ViewController::instructionTextField() const
{
    return m_instructionTextField;
}

QPushButton* ViewController::thumbdrives() const
{
    return m_thumbdrives;
}

QBoxLayout* ViewController::verticalConstraint() const
{
    return m_verticalConstraint;
}

HBStatusTabViewController* ViewController::statusTabController() const
{
    return m_statusTabController;
}
