#pragma once

#include "mainwindow/status/HBHotKeyStatusPane.h"

// The status pane shown while no files are held: asks the user to select files, shows the hot key (dimmed
// while the recorder is open) and offers the recent-files browser.
class HBStatusForSelectFilesController : public HBHotKeyStatusPane {
    Q_OBJECT
public:
    explicit HBStatusForSelectFilesController(QWidget* parent = nullptr);

    // The observations of the hot-key settings are installed.
    bool ifAppear() const { return isObserving(); }

    // The second line also says how to use the hot key, or what to do instead while it does not work.
    void hotKeyStateChanged() override;

protected:
    void loadView() override;
};
