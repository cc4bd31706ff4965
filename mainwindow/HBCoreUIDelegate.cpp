#include "mainwindow/HBCoreUIDelegate.h"

#include "mainwindow/progress/HBProgressViewController.h"
#include "mainwindow/progress/HBProgressWindowController.h"
#include "platform/interface/Alert.h"
#include "platform/interface/OpenPanel.h"

HBCoreUIDelegate::HBCoreUIDelegate() = default;

HBCoreUIDelegate::~HBCoreUIDelegate() = default;

int HBCoreUIDelegate::runAlert(const HBAlertRequest& request)
{
    hb::Alert alert;
    alert.messageText = request.messageText;
    alert.informativeText = request.informativeText;
    for (const QString& title : request.buttons)
        alert.addButtonWithTitle(title);
    return alert.runModal() - hb::NSAlertFirstButtonReturn;
}

bool HBCoreUIDelegate::isShowingAlert() const
{
    return hb::Modal::depth() > 0;
}

std::optional<QList<hb::URL>> HBCoreUIDelegate::runOpenPanel(const HBOpenPanelRequest& request)
{
    hb::OpenPanel panel;
    panel.canChooseFiles = request.canChooseFiles;
    panel.canChooseDirectories = request.canChooseDirectories;
    panel.showsHiddenFiles = request.showsHiddenFiles;
    panel.directoryURL = request.directoryURL;
    panel.message = request.message;
    panel.prompt = request.prompt;
    if (panel.runModal() != hb::NSModalResponseOK)
        return std::nullopt;
    return panel.URLs();
}

void HBCoreUIDelegate::showProgressWindow(HBProgressDataSource& rows)
{
    if (m_progressWindowController) {
        m_progressWindowController->showWindow();
        return;
    }
    m_storyBoard = hb::Storyboard::storyboardWithName(QStringLiteral("HBProgress"));
    if (!m_storyBoard)
        return;
    m_progressWindowController = m_storyBoard->instantiateController<HBProgressWindowController>(
        QStringLiteral("EntryPoint"));
    if (!m_progressWindowController)
        return;
    if (HBProgressViewController* list = m_progressWindowController->getViewController())
        list->setDataSource(&rows);
    m_progressWindowController->showWindow();
}

bool HBCoreUIDelegate::isProgressWindowVisible() const
{
    return m_progressWindowController && m_progressWindowController->isVisible();
}

void HBCoreUIDelegate::reloadProgress(const std::optional<QList<std::int64_t>>& rows, bool reloadAll)
{
    if (!m_progressWindowController || !m_progressWindowController->isWindowLoaded()
        || !m_progressWindowController->isVisible())
        return;
    if (HBProgressViewController* list = m_progressWindowController->getViewController())
        list->reloadData(rows, reloadAll);
}

void HBCoreUIDelegate::orderOutProgressWindow()
{
    if (m_progressWindowController)
        m_progressWindowController->orderOut();
}

void HBCoreUIDelegate::closeProgressWindow()
{
    if (!m_progressWindowController)
        return;
    m_progressWindowController->close();
    m_progressWindowController.reset();
}
