#pragma once

#include "platform/base/NotificationCenter.h"
#include "platform/interface/Popover.h"
#include "platform/interface/ViewController.h"

#include <QPointer>

class HBHotKeyManage;
class HBTextField;
class HBTextView;
class QLabel;

// The content of the hot-key popover: a field that records the next combination typed as the new global
// hot key; in a session without global hot keys it says so and records nothing. "launchedHotkey" is
// true exactly while it is on screen.
class HBHotKeyViewController : public hb::ViewController {
    Q_OBJECT
public:
    explicit HBHotKeyViewController(QWidget* parent = nullptr);
    ~HBHotKeyViewController() override;

    // Shows a new recorder in a popover below `anchor`; recording starts at once.
    static QPointer<hb::Popover> showPopover(QWidget* anchor);

    HBTextView* textView;
    QPointer<QLabel> placeHolderLabel;
    HBHotKeyManage* hotKeyManager;
    QPointer<HBTextField> textField;
    // The popover presenting this controller, if any.
    QPointer<hb::Popover> presentingPopover;

    void dimissPopOver(const hb::Notification& notification);
    // Says why the combination just typed cannot be the hot key; recording goes on.
    void showRefusal(const QString& message);

    static inline const QString placeHolderText = QStringLiteral("Type a new shortcut");

protected:
    void loadView() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;

private:
    void dismiss();
};
