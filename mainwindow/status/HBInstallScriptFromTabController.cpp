#include "mainwindow/status/HBInstallScriptFromTabController.h"

#include "core/store/HBConstants.h"
#include "core/sources/HBFinderData.h"
#include "mainwindow/status/HBStatusPaneLayout.h"
#include "platform/base/Bundle.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/UserScriptTask.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/FileManager.h"

#include <QLabel>
#include <QPushButton>

HBInstallScriptFromTabController::HBInstallScriptFromTabController(QWidget* parent) : HBHotKeyStatusPane(parent) {}

void HBInstallScriptFromTabController::loadView()
{
    HBStatusPaneLayout layout(this);
    statusLine = layout.addLine(QStringLiteral("Install the file-manager script"), QStringLiteral("Status"));
    subText = layout.addSubLine(QStringLiteral("to move the files you select, or pick recent files"));
    installButton = layout.addButton(QStringLiteral("Install Script"), QStringLiteral("Install Script"));
    connect(installButton, &QPushButton::clicked, this, [this] { installScript(); });
    recentFilesButton = layout.addButton(QStringLiteral("Recent Files"), QStringLiteral("Recent Files"));
    connect(recentFilesButton, &QPushButton::clicked, this, [this] { getRecentFiles(); });
    finishLayout(layout);
}

void HBInstallScriptFromTabController::viewDidLoad()
{
    stopObserving();
}

std::optional<hb::Error> HBInstallScriptFromTabController::installScript()
{
    hb::Error error;
    const std::optional<QByteArray> contents = hb::Bundle::resourceData(HBFinderData::scriptFileName);
    const std::optional<hb::URL> folder = hb::UserScriptTask::applicationScriptsDirectory(true, &error);
    bool installed = false;
    if (!contents) {
        error = hb::Error{hb::NSCocoaErrorDomain,
                          hb::NSFileReadNoSuchFileError,
                          {{hb::NSLocalizedDescriptionKey, QStringLiteral("The script is missing from the program.")}}};
    } else if (folder) {
        // Pressing Install is the user's consent to write there, as choosing the folder in a panel would be.
        hb::AccessRegistry::grantStanding(folder->path());
        hb::startAccessingSecurityScopedResource(*folder);
        const hb::URL destination = folder->appendingPathComponent(HBFinderData::scriptFileName);
        installed = hb::UserScriptTask::writeScriptFile(*contents, destination, &error);
        if (!installed && error.domain == hb::NSCocoaErrorDomain && error.code == hb::NSFileWriteFileExistsError)
            installed = hb::FileManager::defaultManager().removeItem(destination, &error)
                        && hb::UserScriptTask::writeScriptFile(*contents, destination, &error);
        hb::stopAccessingSecurityScopedResource(*folder);
    }
    if (!installed) {
        if (statusLine)
            statusLine->setText(QStringLiteral("The script could not be installed"));
        if (subText)
            subText->setText(error.localizedDescription());
        return error;
    }
    hb::UserDefaults::standard().setBool(scriptInstalledDefaultsKey, true);
    hb::UserDefaults::standard().synchronize();
    return std::nullopt;
}
