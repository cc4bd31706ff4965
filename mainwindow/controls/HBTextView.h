#pragma once

#include "platform/interface/KeyCapture.h"

#include <QColor>
#include <QPointer>
#include <QTextEdit>

#include <cstdint>
#include <memory>

class HBHotKeyManage;
class HBHotKeyViewController;

// The hot-key recorder: one shared text view, the editor of every HBTextField. While it has keyboard
// focus it takes every key of the program (and the session lets go of its hot-key grabs, so the current
// combination can be typed too); a combination completed by a key registers as the new hot key at once
// and ends recording, unless the session refuses it: then it is shown as refused, the controller says
// why, and recording goes on. Return or Escape with no modifier held closes the recorder's popover.
class HBTextView : public QTextEdit {
    Q_OBJECT
public:
    static constexpr std::uint64_t kRecordedModifiersMask = 0x9E0000;  // Command, Option, Control, Shift, Function
    static constexpr std::uint16_t kEscapeKeyCode = 53;
    static QColor incompleteColor() { return QColor::fromRgbF(0.5, 0.0, 0.5); }
    static QColor acceptedColor() { return QColor::fromRgbF(1.0, 0.5, 0.0); }
    static QColor refusedColor() { return QColor::fromRgbF(0.8, 0.1, 0.1); }

    static HBTextView& sharedInstance();

    HBHotKeyManage* hotKey;
    QPointer<HBHotKeyViewController> controller;
    bool hasSeenKeyDown = false;
    // Installed while recording.
    std::unique_ptr<hb::KeyCapture> monitor;
    QPointer<QWidget> textField;
    bool isFieldEditor() const { return m_fieldEditor; }
    void setFieldEditor(bool fieldEditor) { m_fieldEditor = fieldEditor; }

    void processKeyEvent(const hb::CapturedKeyEvent& event);
    void setTypingAttributes();
    // Replaces the whole text, in the recorder's style and the given colour.
    void showText(const QString& text, const QColor& color);
    // The colour the text is shown in now.
    QColor textColor() const;
    // Whether a completed combination may become the hot key: it must hold Command, Control or Option,
    // so that no plain typing is taken from the session; a function key may stand alone.
    static bool isAcceptableCombination(std::uint16_t keyCode, std::uint64_t modifierFlags);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    HBTextView();
    void becomeFirstResponder();
    void resignFirstResponder();
    void endRecording();

    bool m_fieldEditor = false;
};
