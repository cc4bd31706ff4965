#pragma once

#include "platform/base/URL.h"
#include "platform/interface/ViewController.h"

#include <QPointer>
#include <QPushButton>
#include <QString>

#include <optional>

// The popover that grants the program the whole start-up volume at once: its button names the volume,
// the panel it opens lets the user confirm only the volume's root, and the root's bookmark (stored under
// "/") then covers every folder on it. After a grant the delegate adds the mounted drives.
class HBVolumesPermissionController : public hb::ViewController {
    Q_OBJECT
public:
    explicit HBVolumesPermissionController(QWidget* parent = nullptr);

    std::optional<QString> driveName;
    std::optional<hb::URL> driveURL;
    QPointer<QPushButton> selectDriveButton;
    // Told `addRemovableDrives` (an invokable method) after a grant.
    QPointer<QObject> delegate;

    void selectRootDrive();
    // Shows the open panel limited to the volume's root; true when the user confirmed and the root's
    // bookmark was stored. A failed bookmark is told to the user and answers false.
    bool run();

protected:
    void loadView() override;
    void viewWillAppear() override;

private:
    QString shownName() const;
    hb::URL rootURL() const;
};
