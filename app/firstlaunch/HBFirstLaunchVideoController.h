#pragma once

#include "app/firstlaunch/HBViewControllerNavigation.h"
#include "platform/interface/ViewController.h"

#include <memory>

namespace Ui {
class HBFirstLaunchVideoController;
}

// The welcome page: what Harbrill does, and the way on.
class HBFirstLaunchVideoController : public hb::ViewController, public HBViewControllerNavigation {
    Q_OBJECT
public:
    explicit HBFirstLaunchVideoController(QWidget* parent = nullptr);
    ~HBFirstLaunchVideoController() override;

    void nextController();
    void appear() override {}
    void disappear() override {}

protected:
    void loadView() override;

private:
    std::unique_ptr<Ui::HBFirstLaunchVideoController> ui;
};
