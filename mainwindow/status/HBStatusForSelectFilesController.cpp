#include "mainwindow/status/HBStatusForSelectFilesController.h"

#include "core/hotkey/HBHotKeyManage.h"
#include "core/store/HBConstants.h"
#include "mainwindow/controls/HBCustomViews.h"
#include "mainwindow/status/HBStatusHints.h"
#include "mainwindow/status/HBStatusPaneLayout.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaultsController.h"

#include <QLabel>
#include <QPushButton>

HBStatusForSelectFilesController::HBStatusForSelectFilesController(QWidget* parent) : hb::ViewController(parent) {}

HBStatusForSelectFilesController::~HBStatusForSelectFilesController() { stopObserving(); }

void HBStatusForSelectFilesController::loadView()
{
    HBStatusPaneLayout layout(this);
    statusLine = layout.addLine(QStringLiteral("Select files in your file manager"), QStringLiteral("Status"));
    subText = layout.addSubLine(HBHotKeyMessages::selectFilesHint({}));
    recentFilesButton = layout.addButton(QStringLiteral("Recent Files"), QStringLiteral("Recent Files"));
    connect(recentFilesButton, &QPushButton::clicked, this, [this] { getRecentFiles(); });
    hotKeyNotice = layout.addNotice();
    hotKeyLabel = layout.addHotKeyLabel();
    connect(&HBHotKeyManage::sharedInstance(), &HBHotKeyManage::stateChanged, this, [this] { hotKeyStateChanged(); });
    hotKeyStateChanged();
}

void HBStatusForSelectFilesController::viewDidAppear()
{
    if (ifAppear)
        return;
    hb::UserDefaultsController& defaults = hb::UserDefaultsController::shared();
    for (const QString& keyPath : {hotKeyKeyPath, launchedHotkeyKeyPath})
        m_observations << defaults.addObserver(keyPath, this,
                                               [this, keyPath](const QVariant&) { observeValueForKeyPath(keyPath); });
    ifAppear = true;
}

void HBStatusForSelectFilesController::viewDidDisappear()
{
    if (ifAppear)
        stopObserving();
}

void HBStatusForSelectFilesController::stopObserving()
{
    for (const QMetaObject::Connection& connection : std::as_const(m_observations))
        hb::UserDefaultsController::shared().removeObserver(connection);
    m_observations.clear();
    ifAppear = false;
}

void HBStatusForSelectFilesController::observeValueForKeyPath(const QString& keyPath)
{
    HBStatusHints::hotKeyHintChanged(hotKeyLabel, keyPath);
}

void HBStatusForSelectFilesController::hotKeyStateChanged()
{
    const HBHotKeyState& state = HBHotKeyManage::sharedInstance().state();
    HBStatusHints::showHotKeyNotice(hotKeyNotice, state);
    if (subText)
        subText->setText(HBHotKeyMessages::selectFilesHint(state));
}

void HBStatusForSelectFilesController::shakeStatusLine() { HBStatusHints::shake(statusLine); }

void HBStatusForSelectFilesController::getRecentFiles()
{
    hb::NotificationCenter::defaultCenter().post(forRecentFilesNotification, nullptr);
}
