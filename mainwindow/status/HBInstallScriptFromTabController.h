#pragma once

#include "mainwindow/status/HBHotKeyStatusPane.h"
#include "platform/base/Error.h"

#include <optional>

// The status tab shown while the file-manager script is missing: installs it, offers the recent-files
// browser instead, and shows the hot key (dimmed while the recorder is open).
class HBInstallScriptFromTabController : public HBHotKeyStatusPane {
    Q_OBJECT
public:
    explicit HBInstallScriptFromTabController(QWidget* parent = nullptr);

    QPointer<QPushButton> installButton;

    // The observations of the hot-key settings are installed.
    bool didAppearAlready() const { return isObserving(); }

    // The script ships with the program: it is copied into the Application Scripts folder, executable,
    // replacing an older copy, and "ScriptInstalled" is set. A failure is shown on the status line.
    std::optional<hb::Error> installScript();

protected:
    void loadView() override;
    void viewDidLoad() override;
};
