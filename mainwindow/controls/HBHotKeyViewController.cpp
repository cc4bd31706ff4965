#include "mainwindow/controls/HBHotKeyViewController.h"

#include "core/hotkey/HBHotKeyManage.h"
#include "core/store/HBConstants.h"
#include "mainwindow/controls/HBCustomViews.h"
#include "mainwindow/controls/HBTextView.h"
#include "platform/base/UserDefaults.h"

#include <QLabel>
#include <QVBoxLayout>

HBHotKeyViewController::HBHotKeyViewController(QWidget* parent)
    : hb::ViewController(parent),
      textView(&HBTextView::sharedInstance()),
      hotKeyManager(&HBHotKeyManage::sharedInstance())
{
}

HBHotKeyViewController::~HBHotKeyViewController()
{
    hb::NotificationCenter::defaultCenter().removeObserver(this);
}

QPointer<hb::Popover> HBHotKeyViewController::showPopover(QWidget* anchor)
{
    auto content = std::make_unique<HBHotKeyViewController>();
    HBHotKeyViewController* controller = content.get();
    auto* popover = new hb::Popover(std::move(content), hb::PopoverBehavior::transient);
    controller->presentingPopover = popover;
    popover->showRelativeToRect(anchor->rect(), anchor, hb::RectEdge::minY);
    return popover;
}

void HBHotKeyViewController::loadView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    placeHolderLabel = new QLabel(placeHolderText, this);
    placeHolderLabel->setAlignment(Qt::AlignCenter);
    placeHolderLabel->setWordWrap(true);
    placeHolderLabel->setMaximumWidth(220);
    placeHolderLabel->setAccessibleDescription(QStringLiteral("Recorder message"));
    layout->addWidget(placeHolderLabel);
    textField = new HBTextField(this);
    textField->setAccessibleName(QStringLiteral("Shortcut"));
    layout->addWidget(textField, 0, Qt::AlignHCenter);
    // A session without global hot keys has nothing to record.
    if (hotKeyManager->state().kind == HBHotKeyState::Kind::unavailable) {
        placeHolderLabel->setText(HBHotKeyMessages::unavailableTitle);
        textField->hide();
        auto* hint = new QLabel(HBHotKeyMessages::unavailableHint, this);
        hint->setAlignment(Qt::AlignCenter);
        hint->setAccessibleDescription(QStringLiteral("Recorder hint"));
        layout->addWidget(hint);
    }
}

void HBHotKeyViewController::showRefusal(const QString& message)
{
    if (!placeHolderLabel)
        return;
    placeHolderLabel->setText(message);
    placeHolderLabel->setStyleSheet(QStringLiteral("color: rgb(204, 26, 26);"));
    if (presentingPopover && presentingPopover->window())
        presentingPopover->window()->adjustSize();
}

void HBHotKeyViewController::viewWillAppear()
{
    textView->controller = this;
    hb::NotificationCenter& center = hb::NotificationCenter::defaultCenter();
    center.removeObserver(this, dimissHotKeyPopoverNotification);
    center.addObserver(this, dimissHotKeyPopoverNotification, nullptr,
                       [this](const hb::Notification& notification) { dimissPopOver(notification); });
    hb::UserDefaults::standard().setBool(launchedHotkeyDefaultsKey, true);
}

void HBHotKeyViewController::viewDidAppear()
{
    if (textField && textField->isVisibleTo(this))
        textField->beginEditing();
}

void HBHotKeyViewController::viewWillDisappear()
{
    hb::UserDefaults::standard().setBool(launchedHotkeyDefaultsKey, false);
}

void HBHotKeyViewController::dimissPopOver(const hb::Notification&)
{
    dismiss();
}

void HBHotKeyViewController::dismiss()
{
    if (presentingPopover)
        presentingPopover->close();
}
