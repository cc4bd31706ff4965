#include "mainwindow/folders/HBVolumesPermissionController.h"

#include "core/store/HBURL.h"
#include "platform/files/ResourceValues.h"
#include "platform/files/Volumes.h"
#include "platform/interface/Alert.h"
#include "platform/interface/OpenPanel.h"
#include "platform/interface/StoryboardRegistry.h"

#include <QVBoxLayout>

HB_REGISTER_SCENE("Main", "volumePermission", HBVolumesPermissionController);

namespace {
// The name the platform gives the root volume when it has no label of its own.
const QString defaultDriveName = QStringLiteral("Computer");
}  // namespace

HBVolumesPermissionController::HBVolumesPermissionController(QWidget* parent) : hb::ViewController(parent) {}

void HBVolumesPermissionController::loadView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    auto* button = new QPushButton(this);
    button->setAccessibleName(QStringLiteral("Select Drive"));
    button->setMinimumSize(220, 36);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: white; font-size: 15px; background: rgb(52, 120, 246); border: none;"
                       " border-radius: 6px; padding: 6px 14px; }"
                       "QPushButton:pressed { background: rgb(32, 96, 210); }"));
    layout->addWidget(button);
    selectDriveButton = button;
    connect(button, &QPushButton::clicked, this, &HBVolumesPermissionController::selectRootDrive);

    for (const hb::VolumeInfo& volume : hb::Volumes::mountedVolumes(true)) {
        const hb::URL& root = volume.root;
        const QStringList keys = {hb::NSURLVolumeIsInternalKey, hb::NSURLVolumeIsReadOnlyKey,
                                  hb::NSURLVolumeLocalizedNameKey};
        const std::optional<QVariantMap> values = hb::resourceValues(root, keys);
        if (!values)
            continue;
        const QString name = values->value(hb::NSURLVolumeLocalizedNameKey).toString();
        if (values->value(hb::NSURLVolumeIsInternalKey).toBool()
            && !values->value(hb::NSURLVolumeIsReadOnlyKey).toBool() && !name.isEmpty()
            && root.path() == QLatin1String("/")) {
            driveName = name;
            driveURL = root;
        }
    }
}

QString HBVolumesPermissionController::shownName() const
{
    return driveName.value_or(defaultDriveName);
}

void HBVolumesPermissionController::viewWillAppear()
{
    if (selectDriveButton)
        selectDriveButton->setText(QStringLiteral("Select ") + shownName());
    hb::ViewController::viewWillAppear();
}

void HBVolumesPermissionController::selectRootDrive()
{
    // The transient popover closes, and this controller goes, once the panel takes the focus.
    const QPointer<QObject> target = delegate;
    if (run() && target)
        QMetaObject::invokeMethod(target, "addRemovableDrives");
}

hb::URL HBVolumesPermissionController::rootURL() const
{
    // Without a volume found the root is still the one place the grant is for.
    return driveURL.value_or(hb::URL::fileURLWithPath(QStringLiteral("/"), true));
}

bool HBVolumesPermissionController::run()
{
    // Nothing of this controller is used once the panel has run: it may be gone by then.
    const QString name = shownName();
    const QString root = rootURL().path();
    hb::OpenPanel panel;
    panel.title = QStringLiteral("Choose ") + name;
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    panel.canCreateDirectories = false;
    panel.prompt = QStringLiteral("Choose");
    panel.message = QStringLiteral("Choose ") + name + QStringLiteral(" and start using Harbrill");
    panel.directoryURL = rootURL();
    // Only the root itself can be chosen.
    panel.shouldEnableURL = [root](const hb::URL& url) { return url.path() == root; };
    if (panel.runModal() != hb::NSModalResponseOK || panel.URLs().isEmpty())
        return false;
    if (HBURL::shared().bookmark(panel.URLs().first(), false))
        return true;
    hb::Alert alert;
    alert.messageText = QStringLiteral("Access could not be saved");
    alert.informativeText = QStringLiteral("Harbrill could not keep access to ") + name
                            + QStringLiteral(". Please try again.");
    alert.runModal();
    return false;
}
