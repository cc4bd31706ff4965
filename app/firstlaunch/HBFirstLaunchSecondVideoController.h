#pragma once

#include "app/firstlaunch/FirstLaunchVideoPage.h"

#include <memory>

namespace Ui {
class HBFirstLaunchSecondVideoController;
}

// Bringing Harbrill up with its shortcut, shown in a short video.
class HBFirstLaunchSecondVideoController : public FirstLaunchVideoPage {
    Q_OBJECT
public:
    explicit HBFirstLaunchSecondVideoController(QWidget* parent = nullptr);
    ~HBFirstLaunchSecondVideoController() override;

protected:
    void loadView() override;

private:
    std::unique_ptr<Ui::HBFirstLaunchSecondVideoController> ui;
};
