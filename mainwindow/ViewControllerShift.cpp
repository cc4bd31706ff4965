#include "mainwindow/ViewController.h"

#include "core/analytics/GoogleReporter.h"
#include "core/engine/HBFileShiftServices.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "mainwindow/status/HBStatusTabViewController.h"
#include "platform/base/Locations.h"
#include "platform/base/Log.h"
#include "platform/base/MainQueue.h"
#include "platform/base/UserDefaults.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Application.h"
#include "platform/interface/Sound.h"

#include <QPushButton>

#include <algorithm>

namespace {

// Folders of the home folder that are reported by their own name when they sit directly in it.
const QStringList homeFolderNames = {QStringLiteral("Desktop"), QStringLiteral("Documents"), QStringLiteral("Music"),
                                     QStringLiteral("Pictures"), QStringLiteral("Movies")};

}  // namespace

void ViewController::destinationChosen(const hb::Notification& notification)
{
    if (!isDataAvailable()) {
        // Nothing held: draw the eye to the status line instead.
        if (m_statusTabController)
            m_statusTabController->shakeStatusLine();
        return;
    }
    const QString destinationPath = notification.userInfo.value(destinationUserInfoKey).toString();
    if (!destinationPath.startsWith(QLatin1Char('/')))
        return;
    if (m_source.isFinderData() && !m_hotKeyPressed)
        sendReport(QStringLiteral("DataSource"), QStringLiteral("Finder"), QStringLiteral("StatusMenuClick"), {});

    const hb::URL destination = hb::URL::fileURLWithPath(destinationPath, true);
    const QString action = notification.userInfo.value(actionUserInfoKey).toString();
    const std::shared_ptr<HBSourceManager> source = m_source.manager();
    const QList<hb::URL> sources = source->getSourceURLs();
    if (action == copyActionValue) {
        m_fileOperationServices.shiftFiles(sources, destination, Action::copy, false, source->dataSource());
        sendReport(QStringLiteral("ActionChosen"), copyActionValue);
    } else if (action == moveActionValue) {
        m_fileOperationServices.shiftFiles(sources, destination, Action::move, false, source->dataSource());
        sendReport(QStringLiteral("ActionChosen"), moveActionValue);
    }
    getDestination(destination);
    cleanUpSourceAndResetState();
}

void ViewController::getDestination(const hb::URL& destination)
{
    sendReport(QStringLiteral("Destination"), destinationKind(destination));
}

QString ViewController::destinationKind(const hb::URL& destination)
{
    const QString home = hb::URL::normalisedPath(hb::Locations::userDatabaseHome());
    const QString path = destination.path();
    if (HBURL::shared().isVolume(destination))
        return QStringLiteral("Drive");
    if (path == home)
        return QStringLiteral("Home");
    const QString name = destination.lastPathComponent();
    if (homeFolderNames.contains(name))
        return path == hb::Path::join(home, name) ? name : QStringLiteral("Other");
    // Only a whole leading home folder is neutralised: "/home/al" leaves "/home/alice/x" as it is.
    if (home.isEmpty() || !hb::URL::fileURLWithPath(home, true).contains(destination))
        return path;
    QString rest = path.mid(home.size());
    if (!rest.startsWith(QLatin1Char('/')))
        rest.prepend(QLatin1Char('/'));
    return QStringLiteral("/Users/Home") + rest;
}

void ViewController::operationComplete(const hb::URL&)
{
    if (hb::UserDefaults::standard().boolForKey(playSoundEffectsDefaultsKey)) {
        std::optional<hb::Sound> sound = hb::Sound::named(QStringLiteral("Confirm"));
        if (!sound || !sound->play())
            HBDebug() << "Did not play sound";
    }
    setUndoEnabled(m_fileOperationServices.undoManager().canUndo());
}

void ViewController::canUndo(bool)
{
    setUndoEnabled(m_fileOperationServices.undoManager().canUndo());
}

void ViewController::undoLastShift()
{
    if (!m_undoEnabled)
        return;
    m_fileOperationServices.undoLastShift();
    sendReport(QStringLiteral("Button"), QStringLiteral("Undo"));
}

bool ViewController::isOperationInProgress() const
{
    // A shift that has ended, its end not yet handled by the manager's next tick, no longer runs.
    const auto& operations = m_fileOperationServices.operations();
    return std::any_of(operations.begin(), operations.end(), [](const auto& entry) {
        return entry.second->getProgressData().operationState != OperationState::complete;
    });
}

void ViewController::quitApp()
{
    if (isOperationInProgress()) {
        hb::Alert alert;
        alert.alertStyle = hb::AlertStyle::critical;
        alert.messageText = QStringLiteral("Move or copying operation in progress");
        alert.informativeText = QStringLiteral(
            "There are items being moved/copied which will be canceled if you quit. Are you sure you want to quit "
            "Harbrill? ");
        alert.addButtonWithTitle(QStringLiteral("Cancel"));
        alert.addButtonWithTitle(QStringLiteral("Quit"));
        if (alert.runModal() != hb::NSAlertSecondButtonReturn)
            return;
    }
    hb::Application::shared().terminate();
}

void ViewController::sendReport(const QString& category, const QString& action)
{
    sendReport(category, action, {}, {});
}

void ViewController::sendReport(const QString& category, const QString& action, const QString& label,
                                const QMap<QString, QString>& parameters)
{
    hb::MainQueue::sync([&] { GoogleReporter::shared().event(category, action, label, parameters); });
}

void ViewController::showPermissionAlert(const hb::Notification& notification)
{
    const QVariant value = notification.userInfo.value(errorDataUserInfoKey);
    if (!value.canConvert<hb::Error>())
        return;
    const hb::Error error = value.value<hb::Error>();
    if (error.code != placeholderFrameworkError().code) {
        hb::Alert::alertWithError(error).runModal();
        return;
    }
    hb::Alert alert;
    alert.alertStyle = hb::AlertStyle::critical;
    alert.messageText = QStringLiteral("Harbrill is not activated for this drive");
    alert.informativeText = QStringLiteral(
        "Once activated, you will be able to quickly move or copy files within this drive");
    alert.addButtonWithTitle(QStringLiteral("Select drive..."));
    alert.addButtonWithTitle(QStringLiteral("Cancel"));
    if (alert.runModal() != hb::NSAlertFirstButtonReturn)
        return;
    // The drive is granted from the volume popover, beside the drives button when it shows.
    hb::Application::shared().makeKeyAndOrderFront(window());
    volumePermission(m_thumbdrives && m_thumbdrives->isVisible() ? static_cast<QWidget*>(m_thumbdrives) : this);
}
