#include "app/feedback/FeedbackViewController.h"

#include "platform/vendor/ModalSession.h"
#include "ui_FeedbackWindow.h"

FeedbackViewController::FeedbackViewController(QWidget* parent) : hb::ViewController(parent) {}

FeedbackViewController::~FeedbackViewController() = default;

void FeedbackViewController::loadView()
{
    ui = std::make_unique<Ui::FeedbackWindow>();
    ui->setupUi(this);
    // The dark form paints its own background from its style sheet.
    setAttribute(Qt::WA_StyledBackground);
    nameTextField = ui->nameField;
    mailTextField = ui->emailField;
    connect(ui->closeButton, &QPushButton::clicked, this, &FeedbackViewController::closeButtonAction);
}

void FeedbackViewController::namePlaceholderString()
{
    if (nameTextField && !nameTextField->placeholderText().isEmpty())
        namePlaceholder = nameTextField->placeholderText();
}

void FeedbackViewController::mailPlaceholderString()
{
    if (mailTextField && !mailTextField->placeholderText().isEmpty())
        mailPlaceholder = mailTextField->placeholderText();
}

void FeedbackViewController::viewDidAppear()
{
    hb::ViewController::viewDidAppear();
    namePlaceholderString();
    mailPlaceholderString();
    const QColor faint = QColor::fromRgbF(1, 1, 1, 0.3f);
    const std::pair<CustomFeedbackTextField*, QString> fields[] = {{nameTextField, namePlaceholder},
                                                                   {mailTextField, mailPlaceholder}};
    for (const auto& [field, placeholder] : fields) {
        if (!field)
            continue;
        QPalette colours = field->palette();
        colours.setColor(QPalette::PlaceholderText, faint);
        field->setPalette(colours);
        field->setPlaceholderText(placeholder);
    }
}

void FeedbackViewController::closeButtonAction()
{
    hb::ModalSession::stopModal();
    if (QWidget* shown = window())
        shown->close();
}
