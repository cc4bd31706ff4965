#include "mainwindow/status/HBStatusTabViewController.h"

#include "core/store/HBConstants.h"
#include "mainwindow/status/HBInstallScriptFromTabController.h"
#include "mainwindow/status/HBSourceProtocol.h"
#include "mainwindow/status/HBStatusChooseFolderController.h"
#include "mainwindow/status/HBStatusForSelectFilesController.h"
#include "platform/base/Log.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"

namespace {
enum TabIndex : qsizetype { selectFilesIndex = 0, chooseFolderIndex = 1, noScriptIndex = 2 };
}

HBStatusTabViewController::HBStatusTabViewController(QWidget* parent) : hb::TabViewController(parent)
{
    setAccessibleName(QStringLiteral("Status"));
    addChildViewController(new HBStatusForSelectFilesController);
    addChildViewController(new HBStatusChooseFolderController);
    addChildViewController(new HBInstallScriptFromTabController);
}

HBStatusTabViewController::~HBStatusTabViewController()
{
    // Whoever observed on the tabs' behalf stops with them.
    hb::NotificationCenter::defaultCenter().removeObserver(this);
}

void HBStatusTabViewController::viewDidLoad()
{
    if (!hb::UserDefaults::standard().boolForKey(scriptInstalledDefaultsKey))
        updateTab(noScriptTab);
}

void HBStatusTabViewController::updateTab(const QString& tabName)
{
    if (tabName == selectFilesTab) {
        setSelectedTabViewItemIndex(selectFilesIndex);
    } else if (tabName == chooseFolderTab) {
        setSelectedTabViewItemIndex(chooseFolderIndex);
        auto* pane = qobject_cast<HBStatusChooseFolderController*>(viewControllerAtIndex(chooseFolderIndex));
        if (!pane)
            return;
        pane->updateStatus(delegate ? delegate->sourceURLs() : std::nullopt,
                           delegate ? delegate->dataSource() : std::nullopt);
    } else if (tabName == noScriptTab) {
        setSelectedTabViewItemIndex(noScriptIndex);
    } else {
        HBDebug() << "Unrecognized tab";
    }
}

void HBStatusTabViewController::shakeStatusLine()
{
    ViewController* shown = selectedViewController();
    if (auto* selectFiles = qobject_cast<HBStatusForSelectFilesController*>(shown))
        selectFiles->shakeStatusLine();
    else if (auto* noScript = qobject_cast<HBInstallScriptFromTabController*>(shown))
        noScript->shakeStatusLine();
}

void HBStatusTabViewController::showClickHint(const QString& hint)
{
    if (auto* pane = qobject_cast<HBStatusChooseFolderController*>(viewControllerAtIndex(chooseFolderIndex)))
        pane->showClickHint(hint);
}
