// The main view controller's status area: the tabs below the grid and the drop bar that holds them.

#include "mainwindow/ViewController.h"

#include "mainwindow/controls/HBCustomViews.h"
#include "mainwindow/status/HBStatusTabViewController.h"

#include "ui_MainViewController.h"

#include <QVBoxLayout>

namespace {
const QString statusControllersSegue = QStringLiteral("statusControllers");
}

void ViewController::embedStatusControllers()
{
    if (m_statusTabController || !m_ui)
        return;
    auto* areaLayout = new QVBoxLayout(m_ui->statusArea);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new HBBottomBarView(m_ui->statusArea);
    areaLayout->addWidget(bar);
    auto* barLayout = new QVBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    auto* tabs = new HBStatusTabViewController(bar);
    barLayout->addWidget(tabs);
    prepareForSegue({statusControllersSegue, this, tabs});
    // Loaded after the hand-over, so a missing script still shows its tab.
    tabs->loadViewIfNeeded();
}

void ViewController::prepareForSegue(const hb::StoryboardSegue& segue)
{
    if (segue.identifier != statusControllersSegue)
        return;
    auto* tabs = qobject_cast<HBStatusTabViewController*>(segue.destinationController.data());
    if (!tabs)
        return;
    m_statusTabController = tabs;
    tabs->delegate = &m_source;
    tabs->setSelectedTabViewItemIndex(0);
}

void ViewController::updateStatusTabs()
{
    if (!m_statusTabController)
        return;
    if (isDataAvailable()) {
        m_statusTabController->updateTab(HBStatusTabViewController::chooseFolderTab);
        return;
    }
    if (canWeGoWithScript()) {
        if (m_statusTabController->selectedTabViewItemIndex() != 0)
            m_statusTabController->updateTab(HBStatusTabViewController::selectFilesTab);
    } else {
        m_statusTabController->updateTab(HBStatusTabViewController::noScriptTab);
    }
}
