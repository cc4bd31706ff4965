#include "mainwindow/folders/HBNewFolderOpenPanel.h"

#include "platform/interface/OpenPanel.h"

HBNewFolderOpenPanel::HBNewFolderOpenPanel(HBNewFolderOpenPanelDelegate& panelDelegate) : delegate(panelDelegate) {}

void HBNewFolderOpenPanel::presentPanelWithURL(const std::optional<hb::URL>& url,
                                               const std::optional<QString>& actionString)
{
    hb::OpenPanel panel;
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
    // The "Add to Grid" box starts on and the panel offers no way to switch it off yet.
    const bool addToGrid = !actionString || nibLoadState;
    delegate.openPanelDidEnd(panel.URLs(), actionString, addToGrid);
}
