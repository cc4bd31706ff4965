#include "mainwindow/status/HBHotKeyStatusPane.h"

#include "core/store/HBConstants.h"
#include "core/hotkey/HBHotKeyManage.h"
#include "mainwindow/controls/HBCustomViews.h"
#include "mainwindow/status/HBStatusHints.h"
#include "mainwindow/status/HBStatusPaneLayout.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaultsController.h"

#include <QLabel>
#include <QPushButton>

HBHotKeyStatusPane::HBHotKeyStatusPane(QWidget* parent) : hb::ViewController(parent) {}

HBHotKeyStatusPane::~HBHotKeyStatusPane()
{
    stopObserving();
}

void HBHotKeyStatusPane::finishLayout(HBStatusPaneLayout& layout)
{
    hotKeyNotice = layout.addNotice();
    hotKeyLabel = layout.addHotKeyLabel();
    connect(&HBHotKeyManage::sharedInstance(), &HBHotKeyManage::stateChanged, this, [this] { hotKeyStateChanged(); });
    hotKeyStateChanged();
}

void HBHotKeyStatusPane::viewDidAppear()
{
    if (m_observing)
        return;
    hb::UserDefaultsController& defaults = hb::UserDefaultsController::shared();
    for (const QString& keyPath : {hotKeyKeyPath, launchedHotkeyKeyPath})
        m_observations << defaults.addObserver(keyPath, this,
                                               [this, keyPath](const QVariant&) { observeValueForKeyPath(keyPath); });
    m_observing = true;
}

void HBHotKeyStatusPane::viewDidDisappear()
{
    if (m_observing)
        stopObserving();
}

void HBHotKeyStatusPane::stopObserving()
{
    for (const QMetaObject::Connection& connection : std::as_const(m_observations))
        hb::UserDefaultsController::shared().removeObserver(connection);
    m_observations.clear();
    m_observing = false;
}

void HBHotKeyStatusPane::observeValueForKeyPath(const QString& keyPath)
{
    HBStatusHints::hotKeyHintChanged(hotKeyLabel, keyPath);
}

void HBHotKeyStatusPane::hotKeyStateChanged()
{
    HBStatusHints::showHotKeyNotice(hotKeyNotice, HBHotKeyManage::sharedInstance().state());
}

void HBHotKeyStatusPane::shakeStatusLine()
{
    HBStatusHints::shake(statusLine);
}

void HBHotKeyStatusPane::getRecentFiles()
{
    hb::NotificationCenter::defaultCenter().post(forRecentFilesNotification, nullptr);
}
