#pragma once

#include "platform/interface/PlayerView.h"
#include "platform/interface/ViewController.h"

#include <QPointer>

#include <memory>

namespace Ui {
class HBHelpVideoViewController;
}

// The tutorial video, shown from the script page in a window of its own, with a way to ask support.
// The video waits for the user to start it and stops on its last frame.
class HBHelpVideoViewController : public hb::ViewController {
    Q_OBJECT
public:
    explicit HBHelpVideoViewController(QWidget* parent = nullptr);
    ~HBHelpVideoViewController() override;

    QPointer<hb::PlayerView> playerView;

    // A new mail to the support address with the subject "Need Harbrill help"; nothing without a way
    // to compose mail.
    void showSupport();

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewDidDisappear() override;

private:
    std::unique_ptr<Ui::HBHelpVideoViewController> ui;
};
