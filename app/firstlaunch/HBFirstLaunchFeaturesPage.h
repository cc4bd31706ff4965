#pragma once

#include "app/firstlaunch/FirstLaunchVideoPage.h"

#include <memory>

namespace Ui {
class HBFirstLaunchFeaturesPage;
}

// Moving files to new sub-folders, shown in a short video.
class HBFirstLaunchFeaturesPage : public FirstLaunchVideoPage {
    Q_OBJECT
public:
    explicit HBFirstLaunchFeaturesPage(QWidget* parent = nullptr);
    ~HBFirstLaunchFeaturesPage() override;

protected:
    void loadView() override;

private:
    std::unique_ptr<Ui::HBFirstLaunchFeaturesPage> ui;
};
