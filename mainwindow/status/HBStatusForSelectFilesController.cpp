#include "mainwindow/status/HBStatusForSelectFilesController.h"

#include "core/hotkey/HBHotKeyManage.h"
#include "mainwindow/status/HBStatusPaneLayout.h"

#include <QLabel>
#include <QPushButton>

HBStatusForSelectFilesController::HBStatusForSelectFilesController(QWidget* parent) : HBHotKeyStatusPane(parent) {}

void HBStatusForSelectFilesController::loadView()
{
    HBStatusPaneLayout layout(this);
    statusLine = layout.addLine(QStringLiteral("Select files in your file manager"), QStringLiteral("Status"));
    subText = layout.addSubLine(HBHotKeyMessages::selectFilesHint({}));
    recentFilesButton = layout.addButton(QStringLiteral("Recent Files"), QStringLiteral("Recent Files"));
    connect(recentFilesButton, &QPushButton::clicked, this, [this] { getRecentFiles(); });
    finishLayout(layout);
}

void HBStatusForSelectFilesController::hotKeyStateChanged()
{
    HBHotKeyStatusPane::hotKeyStateChanged();
    if (subText)
        subText->setText(HBHotKeyMessages::selectFilesHint(HBHotKeyManage::sharedInstance().state()));
}
