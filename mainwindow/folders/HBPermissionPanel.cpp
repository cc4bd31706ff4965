#include "mainwindow/folders/HBPermissionPanel.h"

#include "platform/interface/OpenPanel.h"

HBPermissionPanel::HBPermissionPanel(const QString& destinationName, const hb::URL& url)
    : instructionString(QStringLiteral("Add ") + destinationName + QStringLiteral(" to Harbrill")),
      displayName(destinationName),
      URLToShow(url)
{
}

bool HBPermissionPanel::shouldEnableURL(const hb::URL& url) const
{
    return url.path() == URLToShow.path();
}

std::pair<bool, std::optional<hb::URL>> HBPermissionPanel::run() const
{
    hb::OpenPanel panel;
    panel.title = QStringLiteral("Add ") + displayName;
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    panel.canCreateDirectories = false;
    panel.prompt = QStringLiteral("Add");
    panel.message = instructionString;
    panel.directoryURL = URLToShow;
    panel.shouldEnableURL = [this](const hb::URL& url) { return shouldEnableURL(url); };
    const bool accepted = panel.runModal() == hb::NSModalResponseOK;
    if (!accepted || panel.URLs().isEmpty())
        return {accepted, std::nullopt};
    return {true, panel.URLs().first()};
}
