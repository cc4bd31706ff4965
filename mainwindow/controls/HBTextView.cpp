#include "mainwindow/controls/HBTextView.h"

#include "core/hotkey/HBHotKeyManage.h"
#include "core/store/HBConstants.h"
#include "mainwindow/controls/HBHotKeyViewController.h"
#include "platform/base/NotificationCenter.h"
#include "platform/desktop/HotKey.h"
#include "platform/desktop/KeyCodes.h"

#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextCursor>

#include <array>
#include <algorithm>

namespace {

constexpr std::uint64_t kCombinationModifiers = hb::ModifierFlag::Command | hb::ModifierFlag::Control
                                                | hb::ModifierFlag::Option;

// F1 to F20 as virtual key codes.
constexpr std::array<std::uint16_t, 20> kFunctionKeyCodes = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                                             103, 111, 105, 107, 113, 106, 64, 79,  80,  90};

constexpr int kRecorderPointSize = 25;
constexpr int kSmallestPointSize = 8;
constexpr int kRecorderWidth = 190;

QTextCharFormat recorderCharFormat(const QColor& color, int pointSize = kRecorderPointSize)
{
    QTextCharFormat format;
    QFont font = format.font();
    font.setPointSize(pointSize);
    format.setFont(font);
    format.setForeground(color);
    return format;
}

// Spelled out, a combination ("SUPER+SHIFT+F1") is wider than its glyphs were: it shrinks to stay on
// the recorder's one line.
int fittedPointSize(const QString& text, QFont font, qreal width)
{
    font.setPointSize(kRecorderPointSize);
    while (font.pointSize() > kSmallestPointSize && QFontMetricsF(font).horizontalAdvance(text) > width)
        font.setPointSize(font.pointSize() - 1);
    return font.pointSize();
}

QTextBlockFormat recorderBlockFormat()
{
    QTextBlockFormat format;
    format.setAlignment(Qt::AlignHCenter);
    format.setLineHeight(35, QTextBlockFormat::MinimumHeight);
    return format;
}

int virtualKeyCode(int inputCode)
{
    const std::optional<std::uint16_t> code = hb::KeyCodes::virtualKeyCodeForEvdevCode(inputCode);
    return code ? int(*code) : -1;
}

}  // namespace

HBTextView& HBTextView::sharedInstance()
{
    // Never owned by a view it is shown in: HBTextField hands it back before it goes.
    static QPointer<HBTextView> instance;
    if (!instance)
        instance = new HBTextView;
    return *instance;
}

HBTextView::HBTextView() : hotKey(&HBHotKeyManage::sharedInstance())
{
    setGeometry(0, 0, kRecorderWidth, 44);
    setAccessibleName(QStringLiteral("Shortcut Recorder"));
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFocusPolicy(Qt::StrongFocus);
    setTypingAttributes();
}

bool HBTextView::isAcceptableCombination(std::uint16_t keyCode, std::uint64_t modifierFlags)
{
    return (modifierFlags & kCombinationModifiers) != 0
           || std::find(kFunctionKeyCodes.begin(), kFunctionKeyCodes.end(), keyCode) != kFunctionKeyCodes.end();
}

void HBTextView::setTypingAttributes()
{
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.setBlockFormat(recorderBlockFormat());
    setCurrentCharFormat(recorderCharFormat(incompleteColor()));
}

QColor HBTextView::textColor() const
{
    const QTextBlock block = document()->firstBlock();
    for (auto it = block.begin(); !it.atEnd(); ++it)
        return it.fragment().charFormat().foreground().color();
    return currentCharFormat().foreground().color();
}

void HBTextView::showText(const QString& text, const QColor& color)
{
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    cursor.setBlockFormat(recorderBlockFormat());
    const int width = viewport()->width() > 40 ? viewport()->width() : kRecorderWidth;  // laid out, or not yet
    const qreal room = width - 2 * document()->documentMargin() - 2;
    cursor.insertText(text, recorderCharFormat(color, fittedPointSize(text, document()->defaultFont(), room)));
    cursor.endEditBlock();
}

void HBTextView::focusInEvent(QFocusEvent* event)
{
    QTextEdit::focusInEvent(event);
    becomeFirstResponder();
}

void HBTextView::focusOutEvent(QFocusEvent* event)
{
    QTextEdit::focusOutEvent(event);
    resignFirstResponder();
}

void HBTextView::becomeFirstResponder()
{
    setTypingAttributes();
    hasSeenKeyDown = false;
    if (!monitor)
        monitor = std::make_unique<hb::KeyCapture>(
            [this](const hb::CapturedKeyEvent& event) { processKeyEvent(event); });
    monitor->install();
    hb::HotKeys::setGrabsSuspended(true);
}

void HBTextView::resignFirstResponder()
{
    if (!monitor || !monitor->isInstalled())
        return;
    monitor->uninstall();
    setFieldEditor(false);
    hb::HotKeys::setGrabsSuspended(false);
}

void HBTextView::endRecording()
{
    // Focus moves on to the field's next key view; one that would start recording again does not count.
    QWidget* next = textField ? textField->nextInFocusChain() : nullptr;
    while (next && next != textField
           && (next == this || !next->isVisible() || !next->isEnabled() || !(next->focusPolicy() & Qt::TabFocus)))
        next = next->nextInFocusChain();
    if (next && next != textField)
        next->setFocus(Qt::TabFocusReason);
    else
        clearFocus();
    // Focus may have had nowhere to go (an inactive window): recording ends all the same.
    resignFirstResponder();
}

void HBTextView::mousePressEvent(QMouseEvent*)
{
    endRecording();
}

void HBTextView::keyPressEvent(QKeyEvent*) {}

void HBTextView::processKeyEvent(const hb::CapturedKeyEvent& captured)
{
    const hb::Event& event = captured.event;
    // -1: the key's position is unknown (no scan code, or a key the table lacks).
    const int keyCode = captured.inputCode ? virtualKeyCode(*captured.inputCode) : -1;
    bool complete = false;
    switch (event.type) {
    case hb::EventType::flagsChanged:
        if (hasSeenKeyDown && !(event.modifierFlags & kRecordedModifiersMask)) {
            clear();
            hasSeenKeyDown = false;
        } else if (!hasSeenKeyDown) {
            hasSeenKeyDown = true;
        }
        break;
    case hb::EventType::keyDown:
        if (!hasSeenKeyDown) {
            const bool isReturn = event.characters == QLatin1String("\r") || event.key == Qt::Key_Return;
            const bool isEscape = keyCode >= 0 ? keyCode == kEscapeKeyCode : event.key == Qt::Key_Escape;
            if (isReturn || isEscape) {
                endRecording();
                hb::NotificationCenter::defaultCenter().post(dimissHotKeyPopoverNotification, nullptr);
                return;
            }
            // A function key may stand alone; any other key alone is only shown.
            complete = keyCode >= 0 && isAcceptableCombination(std::uint16_t(keyCode), 0);
        } else {
            hasSeenKeyDown = false;
            complete = keyCode >= 0 && isAcceptableCombination(std::uint16_t(keyCode), event.modifierFlags);
        }
        break;
    case hb::EventType::keyUp:
        if (!hasSeenKeyDown)
            clear();
        return;
    }
    if (!controller || keyCode < 0)
        return;
    const QString text = hotKey->getStringFrom(std::uint16_t(keyCode), event.modifierFlags).toUpper();
    showText(text, complete ? acceptedColor() : incompleteColor());
    if (!complete)
        return;
    if (const std::optional<hb::Error> refusal = hotKey->registerHotKeyWithKeyCode(std::uint16_t(keyCode),
                                                                                   event.modifierFlags)) {
        // The previous hot key stays in force; recording goes on for another combination.
        showText(text, refusedColor());
        controller->showRefusal(HBHotKeyMessages::refusal(std::uint16_t(keyCode), event.modifierFlags, *refusal));
        return;
    }
    endRecording();
}
