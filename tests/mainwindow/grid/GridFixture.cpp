#include "GridFixture.h"

#include <QCoreApplication>

void GridTest::SetUp()
{
    reports = env.makeFolder("home/Reports");
    music = env.makeFolder("home/Music");
    env.grant(music);
    store = std::make_unique<HBDataManager>();
    HBLocationEntry usable = HBLocationEntries::folderEntry(music);
    usable[HBLocationEntryKey::icon] = "Music";
    const HBLocationEntry locked{
        {"Name", "Add Reports"}, {"Path", reports}, {"Icon", "folder"}, {"Rule", ""}, {"permissionStatus", "TRUE"}};
    HBLocationEntry drive = HBLocationEntries::folderEntry(env.makeFolder("media/USB"));
    drive[HBLocationEntryKey::icon] = "drive";
    store->setDropLocations({HBLocationEntries::pseudoEntry(true), usable, locked, drive});

    window = std::make_unique<QWidget>();
    window->resize(332, 330);
    std::optional<HBCollectionViewNib> nib = loadCollectionViewNib(window.get(), store.get());
    ASSERT_TRUE(nib);
    nib->holder->setParent(window.get());
    nib->holder->setGeometry(0, 0, 332, 330);
    grid = nib->collectionView;
    window->show();
    QCoreApplication::processEvents();

    for (const QString& name : {destinationSelectedNotification, permissionGrantedNotification,
                                removeSelectedNotification, addToGridNotification}) {
        hb::NotificationCenter::defaultCenter().addObserver(
            this, name, nullptr, [this](const hb::Notification& notification) { posted << notification; });
    }
    hb::Workspace::setOpener([this](const QUrl& url) {
        opened << url;
        return true;
    });
    hb::OpenPanel::setPresenter([this](const hb::OpenPanel& panel) {
        ++panelsShown;
        panelTitles << panel.title;
        return panelAnswer;
    });
}

void GridTest::TearDown()
{
    hb::NotificationCenter::defaultCenter().removeObserver(this);
    hb::Workspace::setOpener(nullptr);
    hb::OpenPanel::setPresenter(nullptr);
    hb::CollectionView::setDragPerformer(nullptr);
    window.reset();
    while (hb::CursorStack::depth() > 0)
        hb::CursorStack::pop();
}

HBCollectionViewItem& GridTest::tile(std::int64_t index) const
{
    return *static_cast<HBCollectionViewItem*>(grid->itemAtIndex(index));
}

void GridTest::setSourceAvailable(bool available) const
{
    hb::UserDefaults::standard().setBool(sourceAvailableDefaultsKey, available);
}

QStringList GridTest::postedNames() const
{
    QStringList names;
    for (const hb::Notification& notification : posted)
        names << notification.name;
    return names;
}

namespace {
void send(QWidget& target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers modifiers)
{
    QMouseEvent event(type, QPointF(at), QPointF(target.mapToGlobal(at)), button, buttons, modifiers);
    QCoreApplication::sendEvent(&target, &event);
}
const QPoint pressPoint(50, 50);
}  // namespace

void GridTest::press(QWidget& target, Qt::KeyboardModifiers modifiers, Qt::MouseButton button)
{
    send(target, QEvent::MouseButtonPress, pressPoint, button, button, modifiers);
}

void GridTest::drag(QWidget& target, int step)
{
    send(target, QEvent::MouseMove, pressPoint + QPoint(4 * step, 0), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
}

void GridTest::release(QWidget& target)
{
    send(target, QEvent::MouseButtonRelease, pressPoint, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
}

void GridTest::doubleClick(QWidget& target)
{
    press(target);
    release(target);
    send(target, QEvent::MouseButtonDblClick, pressPoint, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    release(target);
}
