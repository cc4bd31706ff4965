#pragma once

#include <QLineEdit>

class QKeyEvent;

// The name and e-mail fields of the feedback form: light text and insertion point on the dark form,
// and the edit keys. The form's command key is Control here, as the desktop's edit keys are.
class CustomFeedbackTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit CustomFeedbackTextField(QWidget* parent = nullptr);

    const Qt::KeyboardModifiers commandKey = Qt::ControlModifier;
    const Qt::KeyboardModifiers commandShiftKey = Qt::ControlModifier | Qt::ShiftModifier;

    // Control with x, c, v, z, a cuts, copies, pastes, undoes or selects all, and Control-Shift with
    // "Z" redoes: the action goes to the focused control (this field when none has focus). The
    // modifiers must match exactly and the key is the character typed, so Control-Shift with a lower
    // case z (Caps Lock on) is not a redo. False when the key is not one of these or the focused control
    // has no such action; the field's own handling then decides.
    bool performKeyEquivalent(QKeyEvent* event);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
