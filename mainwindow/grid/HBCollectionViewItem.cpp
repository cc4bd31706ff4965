#include "mainwindow/grid/HBCollectionViewItem.h"

#include "ui_HBCollectionViewItem.h"

#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "mainwindow/controls/HBCollectionItemView.h"
#include "mainwindow/controls/HBCustomBox.h"
#include "mainwindow/controls/HBValueTransformers.h"
#include "mainwindow/folders/HBPermissionPanel.h"
#include "mainwindow/grid/HBCollectionView.h"
#include "platform/base/MainQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/EventMonitor.h"
#include "platform/interface/Popover.h"
#include "platform/interface/Workspace.h"

#include <QAccessibleActionInterface>
#include <QGraphicsOpacityEffect>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>

#include <utility>

namespace {

constexpr int hoverFadeMilliseconds = 200;
constexpr int dragEventsBeforeDrag = 5;
const QString imageTransformerName = QStringLiteral("FolderImageNameToImageTransformer");

QString hoverButtonStyle()
{
    return QStringLiteral(
        "QPushButton { color: white; background: rgba(255, 255, 255, 46); border: none; border-radius: 11px;"
        "  font-size: 15px; font-weight: bold; padding: 0 0 2px 0; }"
        "QPushButton:hover { background: rgba(255, 255, 255, 90); }"
        "QPushButton:pressed { background: rgba(255, 255, 255, 140); }");
}

}  // namespace

HBCollectionViewItem::HBCollectionViewItem(QWidget* parent)
    : hb::CollectionViewItem(parent), ui(std::make_unique<Ui::HBCollectionViewItem>())
{
    ui->setupUi(this);
    // The keyboard reaches tiles by Tab and the arrow keys; a click leaves the focus where it is.
    setFocusPolicy(Qt::TabFocus);
    pathImageView = ui->pathImageView;
    pathName = ui->pathName;
    newFolderButton = ui->newFolderButton;
    newFolderPanel = ui->newFolderPanel;
    backgroundBox = ui->backgroundBox;

    for (QPushButton* button : {ui->newFolderButton, ui->newFolderPanel}) {
        button->setStyleSheet(hoverButtonStyle());
        button->setCursor(Qt::ArrowCursor);
        button->hide();
    }
    connect(ui->newFolderButton, &QPushButton::clicked, this, &HBCollectionViewItem::newFolder);
    connect(ui->newFolderPanel, &QPushButton::clicked, this, [this] { newFolderWithPanel(); });

    contextualMenu = std::make_unique<QMenu>();
    contextualMenu->setAccessibleName(QStringLiteral("Destination Menu"));
    contextualMenu->addAction(ui->actionOpenFolder);
    contextualMenu->addAction(ui->actionNewFolderWithPanel);
    contextualMenu->addSeparator();
    contextualMenu->addAction(ui->actionRemoveFolder);
    connect(ui->actionOpenFolder, &QAction::triggered, this, &HBCollectionViewItem::openFolder);
    connect(ui->actionNewFolderWithPanel, &QAction::triggered, this, [this] { newFolderWithPanel(); });
    connect(ui->actionRemoveFolder, &QAction::triggered, this, &HBCollectionViewItem::removeFolder);
    // Shifting into a subfolder needs something to shift.
    connect(contextualMenu.get(), &QMenu::aboutToShow, this,
            [this] { ui->actionNewFolderWithPanel->setEnabled(isDataAvailable()); });

    connect(ui->itemView, &HBCollectionItemView::mouseEntered, this, &HBCollectionViewItem::mouseEntered);
    connect(ui->itemView, &HBCollectionItemView::mouseExited, this, &HBCollectionViewItem::mouseExited);
}

HBCollectionViewItem::~HBCollectionViewItem() = default;

HBCollectionView* HBCollectionViewItem::grid() const
{
    return qobject_cast<HBCollectionView*>(collectionView());
}

HBLocationEntry HBCollectionViewItem::locationEntry() const
{
    return representedObject().value<HBLocationEntry>();
}

void HBCollectionViewItem::setRepresentedObject(const QVariant& object)
{
    hb::CollectionViewItem::setRepresentedObject(object);
    showContent(locationEntry());
}

void HBCollectionViewItem::showContent(const HBLocationEntry& entry)
{
    const QString name = entry.value(HBLocationEntryKey::name);
    setAccessibleName(name);
    ui->pathName->setText(ui->pathName->fontMetrics().elidedText(name, Qt::ElideMiddle, ui->pathName->width()));
    ui->pathName->setToolTip(name);

    std::shared_ptr<hb::ValueTransformer> transformer = hb::ValueTransformer::valueTransformerForName(
        imageTransformerName);
    if (!transformer)
        transformer = std::make_shared<FolderImageNameToImageTransformer>();
    const QVariant image = entry.contains(HBLocationEntryKey::icon)
                               ? transformer->transformedValue(entry.value(HBLocationEntryKey::icon))
                               : QVariant();
    const QIcon icon = image.value<QIcon>();
    ui->pathImageView->setPixmap(
        icon.isNull() ? QPixmap() : icon.pixmap(ui->pathImageView->size(), ui->pathImageView->devicePixelRatioF()));
}

bool HBCollectionViewItem::isDataAvailable() const
{
    return hb::UserDefaults::standard().boolForKey(sourceAvailableDefaultsKey);
}

bool HBCollectionViewItem::isPermitted() const
{
    return locationEntry().value(HBLocationEntryKey::permissionStatus) == QStringLiteral("true");
}

bool HBCollectionViewItem::isAction() const
{
    const HBLocationEntry entry = locationEntry();
    return entry.contains(HBLocationEntryKey::path) && entry.value(HBLocationEntryKey::path).isEmpty();
}

QString HBCollectionViewItem::copyMove() const
{
    const HBCollectionView* collectionView = grid();
    return collectionView && collectionView->currentDragOperation == hb::NSDragOperationCopy ? copyActionValue
                                                                                             : moveActionValue;
}

QString HBCollectionViewItem::copyMove(std::uint64_t gestureModifierFlags) const
{
    return HBCollectionView::holdsCopyModifier(gestureModifierFlags) ? copyActionValue : copyMove();
}

// --- Choosing -----------------------------------------------------------------------------------

void HBCollectionViewItem::selectDestination(const std::optional<QString>& path, const std::optional<QString>& action)
{
    if (action)
        animateBoxOnSelection();
    const QString destination = path ? *path : locationEntry().value(HBLocationEntryKey::path);
    hb::NotificationCenter::defaultCenter().post(destinationSelectedNotification, this,
                                                 {{destinationUserInfoKey, destination},
                                                  {actionUserInfoKey, action.value_or(noneActionValue)},
                                                  {sourceUserInfoKey, finderSourceValue}});
}

void HBCollectionViewItem::animateBoxOnSelection()
{
    if (!backgroundBox)
        return;
    if (m_flashAnimation)
        m_flashAnimation->stop();
    backgroundBox->setFillColor(Qt::transparent);
    const QColor flash = QColor::fromRgbF(0.26f, 0.26f, 0.26f, 0.8f);
    const QColor settled = QColor::fromRgbF(86 / 255.0f, 69 / 255.0f, 0.0f, 0.06f);
    const std::pair<int, QColor> steps[] = {{80, flash}, {80, QColor(Qt::transparent)}, {80, flash}, {300, settled}};
    auto* sequence = new QSequentialAnimationGroup(this);
    for (const auto& [milliseconds, color] : steps) {
        auto* step = new QPropertyAnimation(backgroundBox, "fillColor", sequence);
        step->setDuration(milliseconds);
        step->setEndValue(color);
        sequence->addAnimation(step);
    }
    m_flashAnimation = sequence;
    sequence->start(QAbstractAnimation::DeleteWhenStopped);
}

void HBCollectionViewItem::newFolderCreated(const QString& folderPath, const std::optional<QString>& actionString)
{
    inCreateFolderMode = false;
    QPointer<HBCollectionViewItem> self(this);
    selectDestination(folderPath, actionString);
    if (self && !mouseInCellState)
        hideViews();
}

void HBCollectionViewItem::newFolderCancelled()
{
    inCreateFolderMode = false;
    if (!mouseInCellState)
        hideViews();
}

// --- Mouse --------------------------------------------------------------------------------------

void HBCollectionViewItem::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::RightButton) {
        rightMouseDown(*event);
    } else if (event->button() == Qt::LeftButton) {
        m_pressSeen = true;
        m_pressCopies = HBCollectionView::holdsCopyModifier(hb::modifierFlagsFromQt(event->modifiers()));
        mouseDown(*event);
    }
}

void HBCollectionViewItem::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Qt reports the second press of a double click here.
    mousePressEvent(event);
}

void HBCollectionViewItem::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (event->buttons() & Qt::LeftButton)
        mouseDragged(*event);
}

void HBCollectionViewItem::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    if (HBCollectionView* collectionView = grid())
        collectionView->mouseUpOnItem(*this, *event);
    // A release whose press went elsewhere is no click: the window manager took the press (Alt+press
    // moves windows) and nothing must be shifted by mistake.
    if (!std::exchange(m_pressSeen, false))
        return;
    mouseUp(*event);
}

void HBCollectionViewItem::keyPressEvent(QKeyEvent* event)
{
    const std::uint64_t flags = hb::modifierFlagsFromQt(event->modifiers());
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!event->isAutoRepeat())
            click(flags);
        event->accept();
        return;
    case Qt::Key_Menu:
        showContextMenu(mapToGlobal(rect().center()));
        event->accept();
        return;
    case Qt::Key_F10:
        if (flags == hb::NSEventModifierFlagShift) {
            showContextMenu(mapToGlobal(rect().center()));
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    // The arrow keys go on to the grid, which moves the focus.
    hb::CollectionViewItem::keyPressEvent(event);
}

void HBCollectionViewItem::focusInEvent(QFocusEvent* event)
{
    hb::CollectionViewItem::focusInEvent(event);
    showFocus(true);
}

void HBCollectionViewItem::focusOutEvent(QFocusEvent* event)
{
    hb::CollectionViewItem::focusOutEvent(event);
    showFocus(false);
}

void HBCollectionViewItem::showFocus(bool focused)
{
    if (backgroundBox)
        backgroundBox->setShowsFocusRing(focused);
    if (HBCollectionView* collectionView = grid())
        collectionView->tileFocused(this, focused);
}

void HBCollectionViewItem::rightMouseDown(const QMouseEvent& event)
{
    showContextMenu(event.globalPosition().toPoint());
}

void HBCollectionViewItem::showContextMenu(const QPoint& globalPosition)
{
    if (isAction() || !isPermitted())
        return;
    contextualMenu->popup(globalPosition);
}

void HBCollectionViewItem::setDropHighlight(bool lit)
{
    if (backgroundBox)
        backgroundBox->setDropHighlighted(lit);
}

QStringList HBCollectionViewItem::accessibilityActionNames() const
{
    QStringList names{QAccessibleActionInterface::pressAction()};
    if (!isAction() && isPermitted())
        names << QAccessibleActionInterface::showMenuAction();
    return names;
}

void HBCollectionViewItem::accessibilityPerformAction(const QString& name)
{
    // Run after the screen reader's call has been answered: a click may open a modal panel.
    hb::MainQueue::async([self = QPointer<HBCollectionViewItem>(this), name] {
        if (!self)
            return;
        if (name == QAccessibleActionInterface::pressAction())
            self->click(0);
        else if (name == QAccessibleActionInterface::showMenuAction())
            self->showContextMenu(self->mapToGlobal(self->rect().center()));
    });
}

void HBCollectionViewItem::mouseDown(const QMouseEvent& event)
{
    const int clickCount = event.type() == QEvent::MouseButtonDblClick ? 2 : 1;
    if (clickCount == 2 && !isDataAvailable()) {
        openFolder();
        return;
    }
    timesMouseDraggedInView = 0;
    lastMouseDownEvent.reset(static_cast<QMouseEvent*>(event.clone()));
}

void HBCollectionViewItem::mouseDragged(const QMouseEvent& event)
{
    ++timesMouseDraggedInView;
    HBCollectionView* collectionView = grid();
    if (timesMouseDraggedInView == dragEventsBeforeDrag) {
        // The grid takes over the press and drags the tile from where the press began.
        m_pressSeen = false;
        const std::unique_ptr<QMouseEvent> press = std::move(lastMouseDownEvent);
        if (press && collectionView) {
            collectionView->mouseDownOnItem(*this, *press);
            // The drag runs here; the tile may be gone when it ends.
            collectionView->mouseDraggedOnItem(*this, event);
        }
    } else if (timesMouseDraggedInView > dragEventsBeforeDrag && collectionView) {
        collectionView->mouseDraggedOnItem(*this, event);
    }
}

void HBCollectionViewItem::mouseUp(const QMouseEvent& event)
{
    click((m_pressCopies ? hb::NSEventModifierFlagControl : 0) | hb::modifierFlagsFromQt(event.modifiers()));
}

void HBCollectionViewItem::click(std::uint64_t gestureModifierFlags)
{
    if (isAction()) {
        if (isDataAvailable())
            newFolderWithPanel(copyMove(gestureModifierFlags));
        else
            addNewFolder();
        return;
    }
    if (!isPermitted()) {
        getPermission();
        return;
    }
    if (isDataAvailable()) {
        QPointer<HBCollectionViewItem> self(this);
        selectDestination(std::nullopt, copyMove(gestureModifierFlags));
        if (self)
            hideViews();
        return;
    }
    selectDestination(std::nullopt, std::nullopt);
}

void HBCollectionViewItem::mouseEntered()
{
    mouseInCellState = true;
    if (HBCollectionView* collectionView = grid())
        collectionView->tileHovered(this, true);
    if (isAction())
        return;
    hb::MainQueue::async([self = QPointer<HBCollectionViewItem>(this)] {
        if (self)
            self->showViews();
    });
}

void HBCollectionViewItem::mouseExited()
{
    mouseInCellState = false;
    if (HBCollectionView* collectionView = grid())
        collectionView->tileHovered(this, false);
    hb::MainQueue::async([self = QPointer<HBCollectionViewItem>(this)] {
        if (self)
            self->hideViews();
    });
}

// --- Showing and hiding -------------------------------------------------------------------------

void HBCollectionViewItem::fadeHoverButtons(bool visible)
{
    if (m_hoverAnimation)
        m_hoverAnimation->stop();
    auto* group = new QParallelAnimationGroup(this);
    for (QPushButton* button : {newFolderButton.data(), newFolderPanel.data()}) {
        if (!button)
            continue;
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(button->graphicsEffect());
        if (!effect) {
            effect = new QGraphicsOpacityEffect(button);
            effect->setOpacity(button->isVisible() ? 1.0 : 0.0);
            button->setGraphicsEffect(effect);
        }
        if (visible) {
            if (button->isHidden())
                effect->setOpacity(0.0);
            button->show();
        }
        auto* fade = new QPropertyAnimation(effect, "opacity", group);
        fade->setDuration(hoverFadeMilliseconds);
        fade->setEndValue(visible ? 1.0 : 0.0);
        group->addAnimation(fade);
        if (!visible) {
            connect(group, &QAbstractAnimation::finished, button, &QWidget::hide);
        }
    }
    m_hoverAnimation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

void HBCollectionViewItem::showViews()
{
    if (!isDataAvailable() || !isPermitted() || inCreateFolderMode)
        return;
    fadeHoverButtons(true);
}

void HBCollectionViewItem::hideViews()
{
    if (inCreateFolderMode)
        return;
    fadeHoverButtons(false);
}

void HBCollectionViewItem::hideAll()
{
    if (!pathImageView)
        return;
    pathImageView->hide();
    if (pathName)
        pathName->hide();
    if (backgroundBox)
        backgroundBox->hide();
}

void HBCollectionViewItem::unHideAll()
{
    if (!pathImageView)
        return;
    pathImageView->show();
    if (pathName)
        pathName->show();
    if (backgroundBox)
        backgroundBox->show();
}

// --- Folder actions -----------------------------------------------------------------------------

void HBCollectionViewItem::openFolder()
{
    const QString path = locationEntry().value(HBLocationEntryKey::path);
    if (path.isEmpty())
        return;
    const hb::URL folder = hb::URL::fileURLWithPath(path, true);
    const std::optional<hb::URL> scoped = HBURL::shared().bookmarkedURL(folder);
    const bool started = scoped && hb::startAccessingSecurityScopedResource(*scoped);
    hb::Workspace::openFile(folder);
    if (started)
        hb::stopAccessingSecurityScopedResource(*scoped);
}

void HBCollectionViewItem::getPermission()
{
    const QString path = locationEntry().value(HBLocationEntryKey::path);
    if (path.isEmpty())
        return;
    const hb::URL folder = hb::URL::fileURLWithPath(path, true);
    // The folder's own name: the entry's name of a folder without access already reads "Add ...".
    const HBPermissionPanel panel(folder.lastPathComponent(), folder);
    const auto [granted, url] = panel.run();
    if (granted && url)
        hb::NotificationCenter::defaultCenter().post(permissionGrantedNotification, this,
                                                     {{urlUserInfoKey, QVariant::fromValue(*url)}});
}

void HBCollectionViewItem::newFolder()
{
    auto controller = std::make_unique<HBNewFolderController>();
    const QString path = locationEntry().value(HBLocationEntryKey::path);
    if (!path.isEmpty())
        controller->parentFolder = hb::URL::fileURLWithPath(path, true);
    controller->collectionItem = this;
    controller->actionString = copyMove();
    inCreateFolderMode = true;
    newFolderPopOver = new hb::Popover(std::move(controller), hb::PopoverBehavior::transient);
    newFolderPopOver->showRelativeToRect(newFolderButton ? newFolderButton->rect() : rect(),
                                         newFolderButton ? static_cast<QWidget*>(newFolderButton) : this,
                                         hb::RectEdge::maxY);
}

void HBCollectionViewItem::newFolderWithPanel()
{
    newFolderWithPanel(copyMove());
}

void HBCollectionViewItem::newFolderWithPanel(const QString& actionString)
{
    const QString path = locationEntry().value(HBLocationEntryKey::path);
    std::optional<hb::URL> start;
    if (!path.isEmpty())
        start = hb::URL::fileURLWithPath(path, true);
    HBNewFolderOpenPanel panel(*this);
    panel.presentPanelWithURL(start, actionString);
}

void HBCollectionViewItem::addNewFolder()
{
    HBNewFolderOpenPanel panel(*this);
    panel.presentPanelWithURL(std::nullopt, std::nullopt);
}

void HBCollectionViewItem::openPanelDidEnd(const QList<hb::URL>& urls, const std::optional<QString>& actionString,
                                           bool addToGrid)
{
    if (actionString && !urls.isEmpty())
        selectDestination(urls.first().path(), actionString);
    if (addToGrid) {
        QVariantList locations;
        for (const hb::URL& url : urls)
            locations << QVariant::fromValue(url);
        hb::NotificationCenter::defaultCenter().post(addToGridNotification, nullptr,
                                                     {{locationAddedUserInfoKey, locations}});
    }
}

void HBCollectionViewItem::removeFolder()
{
    hb::MainQueue::async([self = QPointer<HBCollectionViewItem>(this)] {
        if (!self)
            return;
        hb::NotificationCenter::defaultCenter().post(
            removeSelectedNotification, nullptr,
            {{collectionviewSelectedUserInfoKey, QVariant::fromValue<QObject*>(self.data())}});
    });
}
