#include "app/feedback/CustomFeedbackTextField.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

// The character of the key with Shift and Caps Lock applied but not Control: the keysym where the
// window system gives one, else the key's letter.
QString charactersIgnoringModifiers(const QKeyEvent& event)
{
    const quint32 keysym = event.nativeVirtualKey();
    if (keysym >= 0x20 && keysym <= 0x7e)
        return QString(QChar(char16_t(keysym)));
    if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z) {
        const QChar letter(char16_t(u'a' + (event.key() - Qt::Key_A)));
        return event.modifiers().testFlag(Qt::ShiftModifier) ? letter.toUpper() : letter;
    }
    return event.text();
}

}  // namespace

CustomFeedbackTextField::CustomFeedbackTextField(QWidget* parent) : QLineEdit(parent)
{
    // The insertion point is drawn in the text colour.
    QPalette colours = palette();
    colours.setColor(QPalette::Text, QColor::fromRgbF(1, 1, 1, 0.8f));
    setPalette(colours);
}

bool CustomFeedbackTextField::performKeyEquivalent(QKeyEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    struct Equivalent {
        Qt::KeyboardModifiers modifiers;
        const char* key;
        const char* action;
    };
    const Equivalent equivalents[] = {
        {commandKey, "x", "cut"},  {commandKey, "c", "copy"},      {commandKey, "v", "paste"},
        {commandKey, "z", "undo"}, {commandKey, "a", "selectAll"}, {commandShiftKey, "Z", "redo"},
    };
    const Qt::KeyboardModifiers modifiers = event->modifiers()
                                            & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier
                                               | Qt::MetaModifier);
    const QString key = charactersIgnoringModifiers(*event);
    for (const Equivalent& equivalent : equivalents) {
        if (equivalent.modifiers != modifiers || key != QLatin1String(equivalent.key))
            continue;
        QWidget* responder = QApplication::focusWidget();
        return QMetaObject::invokeMethod(responder ? responder : this, equivalent.action);
    }
    return false;
}

void CustomFeedbackTextField::keyPressEvent(QKeyEvent* event)
{
    if (performKeyEquivalent(event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
