#pragma once

#include "app/feedback/CustomFeedbackTextField.h"
#include "platform/interface/ViewController.h"

#include <QPointer>

#include <memory>

namespace Ui {
class FeedbackWindow;
}

// The feedback form ("FeedbackWindow"): its look and its close button. What the user types is read
// and sent by the feedback window's controller (DMFeedbackController), not here.
class FeedbackViewController : public hb::ViewController {
    Q_OBJECT
public:
    explicit FeedbackViewController(QWidget* parent = nullptr);
    ~FeedbackViewController() override;

    QPointer<CustomFeedbackTextField> mailTextField;
    QPointer<CustomFeedbackTextField> nameTextField;
    QString mailPlaceholder;
    QString namePlaceholder;

    // Take over the field's placeholder, when it has one.
    void namePlaceholderString();
    void mailPlaceholderString();
    // Ends the modal run of the feedback window and closes it.
    void closeButtonAction();

protected:
    void loadView() override;
    void viewDidAppear() override;

private:
    std::unique_ptr<Ui::FeedbackWindow> ui;
};
