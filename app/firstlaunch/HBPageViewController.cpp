#include "app/firstlaunch/HBPageViewController.h"

#include "core/store/HBConstants.h"
#include "platform/base/NotificationCenter.h"
#include "platform/interface/StoryboardRegistry.h"

#include <QVBoxLayout>
#include <QWheelEvent>

HB_REGISTER_SCENE("Main", "PageViewController", HBPageViewController);

namespace {
// One look for every first-launch page: light text on the window's dark background, one accent button.
const char* const pagesStyleSheet = R"(
QLabel { color: rgb(225, 229, 236); font-size: 13px; }
QLabel[role="heading"] { color: white; font-size: 20px; font-weight: 600; }
QLabel[role="status"] { color: rgb(160, 200, 255); }
QLabel[role="error"] { color: rgb(255, 150, 140); }
QPushButton { color: rgb(225, 229, 236); background-color: rgb(52, 59, 74); border: 1px solid rgb(70, 78, 96);
              border-radius: 6px; padding: 6px 16px; font-size: 13px; }
QPushButton:hover { background-color: rgb(62, 70, 88); }
QPushButton:focus { border-color: rgb(94, 129, 244); }
QPushButton[role="primary"] { background-color: rgb(64, 110, 235); border-color: rgb(84, 128, 245); color: white; }
QPushButton[role="primary"]:hover { background-color: rgb(80, 124, 245); }
hb--PlayerView, QFrame#videoFrame { background-color: rgb(28, 31, 40); border-radius: 8px; }
)";
}  // namespace

HBPageViewController::HBPageViewController(QWidget* parent) : hb::PageController(parent)
{
    setAccessibleName(QStringLiteral("First launch"));
    setStyleSheet(QString::fromLatin1(pagesStyleSheet));
    // Every page in one window size, so the window does not jump while turning pages.
    setMinimumSize(580, 500);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pageArea());
}

HBPageViewController::~HBPageViewController()
{
    stopObserving();
}

void HBPageViewController::linkData()
{
    setDelegate(&pageDelegate);
    setArrangedObjects(QVariantList(pageDelegate.controllerIds.cbegin(), pageDelegate.controllerIds.cend()));
    setSelectedIndex(0);
}

void HBPageViewController::viewWillAppear()
{
    hb::PageController::viewWillAppear();
    // Observed while on screen: the program hides its windows whenever it resigns, and the pages must
    // turn again once it is back.
    if (m_observing)
        return;
    auto& center = hb::NotificationCenter::defaultCenter();
    center.addObserver(this, nextControllerNotification, nullptr, [this](const hb::Notification&) { next(); });
    center.addObserver(this, backControllerNotification, nullptr, [this](const hb::Notification&) { back(); });
    m_observing = true;
}

void HBPageViewController::viewDidDisappear()
{
    hb::PageController::viewDidDisappear();
    stopObserving();
}

void HBPageViewController::stopObserving()
{
    if (!m_observing)
        return;
    hb::NotificationCenter::defaultCenter().removeObserver(this);
    m_observing = false;
}

void HBPageViewController::next()
{
    navigateForward();
    currentIndex = selectedIndex();
}

void HBPageViewController::back()
{
    navigateBack();
    currentIndex = selectedIndex();
}

void HBPageViewController::wheelEvent(QWheelEvent* event)
{
    event->accept();
}
