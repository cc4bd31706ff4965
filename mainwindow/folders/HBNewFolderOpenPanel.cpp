#include "mainwindow/folders/HBNewFolderOpenPanel.h"

#include "platform/interface/OpenPanel.h"

#include <QCheckBox>

HBNewFolderOpenPanel::HBNewFolderOpenPanel(HBNewFolderOpenPanelDelegate& panelDelegate) : delegate(panelDelegate) {}

void HBNewFolderOpenPanel::presentPanelWithURL(const std::optional<hb::URL>& url,
                                               const std::optional<QString>& actionString)
{
    QCheckBox addToGridBox;
    hb::OpenPanel panel;
    if (actionString && nibLoadState) {
        addToGridBox.setText(QStringLiteral("Add to Grid"));
        addToGridBox.setAccessibleName(QStringLiteral("Add to Grid"));
        addToGridBox.setChecked(true);
        addToGridBox.adjustSize();
        panel.accessoryView = &addToGridBox;
    }
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    panel.canCreateDirectories = true;
    if (actionString) {
        panel.title = *actionString + QStringLiteral(" To...");
        panel.prompt = *actionString;
        panel.message = QStringLiteral("Choose/Create a folder to ") + *actionString + QStringLiteral(" contents");
        panel.allowsMultipleSelection = false;
    } else {
        panel.title = QStringLiteral("Add To Grid");
        panel.prompt = QStringLiteral("Add to Grid");
        panel.message = QStringLiteral("Add a new folder to your most used folder");
        panel.allowsMultipleSelection = true;
    }
    if (url)
        panel.directoryURL = *url;
    if (panel.runModal() != hb::NSModalResponseOK)
        return;
    const bool addToGrid = !actionString || (panel.accessoryView && addToGridBox.isChecked());
    delegate.openPanelDidEnd(panel.URLs(), actionString, addToGrid);
}
