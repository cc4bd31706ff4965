#include "mainwindow/controls/HBCustomViews.h"

#include "core/hotkey/HBHotKeyManage.h"
#include "core/store/HBConstants.h"
#include "mainwindow/controls/HBHotKeyViewController.h"
#include "mainwindow/controls/HBTextView.h"
#include "mainwindow/controls/HotKeyToStringTransformer.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaultsController.h"
#include "platform/interface/ValueTransformer.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

// The recorder

HBTextView* HBTextFieldCell::fieldEditorForView(QWidget* view)
{
    if (!qobject_cast<HBTextField*>(view))
        return nullptr;
    HBTextView& editor = HBTextView::sharedInstance();
    editor.setFieldEditor(true);
    editor.textField = view;
    return &editor;
}

HBTextField::HBTextField(QWidget* parent) : QFrame(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    // Wide enough for a combination spelled out ("CTRL+ALT+H") in the recorder's large type.
    setFixedSize(210, 50);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

HBTextField::~HBTextField()
{
    // The recorder is shared: it must outlive every field that showed it.
    HBTextView& editor = HBTextView::sharedInstance();
    if (editor.parentWidget() == this) {
        editor.clearFocus();
        editor.hide();
        editor.setParent(nullptr);
    }
}

HBTextView* HBTextField::embedEditor()
{
    HBTextView* editor = HBTextFieldCell::fieldEditorForView(this);
    if (editor->parentWidget() != this) {
        editor->setParent(this);
        layout()->addWidget(editor);
    }
    editor->show();
    return editor;
}

void HBTextField::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    embedEditor();
}

void HBTextField::focusInEvent(QFocusEvent* event)
{
    QFrame::focusInEvent(event);
    beginEditing();
}

void HBTextField::beginEditing()
{
    HBTextView* editor = embedEditor();
    editor->showText(HBHotKeyManage::sharedInstance().getHotKeyAsString().toUpper(), HBTextView::acceptedColor());
    editor->setFocus(Qt::OtherFocusReason);
}

// Editing shortcuts

CustomTextField::CustomTextField(QWidget* parent)
    : QLineEdit(parent),
      commandKey(hb::NSEventModifierFlagControl),
      commandShiftKey(hb::NSEventModifierFlagControl | hb::NSEventModifierFlagShift)
{
}

bool CustomTextField::performKeyEquivalent(const hb::Event& event)
{
    if (event.type != hb::EventType::keyDown)
        return false;
    const std::uint64_t flags = event.modifierFlags & kDeviceIndependentModifierFlagsMask;
    const char* action = nullptr;
    if (flags == commandKey) {
        const QString characters = event.characters;
        if (characters == QLatin1String("x"))
            action = "cut";
        else if (characters == QLatin1String("c"))
            action = "copy";
        else if (characters == QLatin1String("v"))
            action = "paste";
        else if (characters == QLatin1String("z"))
            action = "undo";
        else if (characters == QLatin1String("a"))
            action = "selectAll";
    } else if (flags == commandShiftKey && event.characters == QLatin1String("Z")) {
        action = "redo";
    }
    QWidget* firstResponder = QApplication::focusWidget();
    return action && firstResponder && QMetaObject::invokeMethod(firstResponder, action);
}

bool CustomTextField::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        std::optional<hb::Event> converted = hb::Event::fromQt(*keyEvent);
        if (converted && converted->type == hb::EventType::keyDown) {
            // The characters the key types without modifiers (Shift still gives capitals).
            const int key = keyEvent->key();
            if (key >= Qt::Key_A && key <= Qt::Key_Z) {
                const QChar letter(char16_t(u'a' + (key - Qt::Key_A)));
                converted->characters = (keyEvent->modifiers() & Qt::ShiftModifier) ? letter.toUpper() : letter;
            }
            if (event->type() == QEvent::ShortcutOverride) {
                // Claim the key so that no window shortcut takes it; the press below performs it.
                const std::uint64_t flags = converted->modifierFlags & kDeviceIndependentModifierFlagsMask;
                if (flags == commandKey || flags == commandShiftKey) {
                    event->accept();
                    return true;
                }
            } else if (performKeyEquivalent(*converted)) {
                return true;
            }
        }
    }
    return QLineEdit::event(event);
}

// Small views

HBNoDragImageView::HBNoDragImageView(QWidget* parent) : QLabel(parent)
{
    setEnabled(true);
    setAcceptDrops(false);
    setFocusPolicy(Qt::NoFocus);
}

// The drop bar

HBBottomBarView::HBBottomBarView(QWidget* parent) : QWidget(parent)
{
    setAcceptDrops(true);
    setAccessibleName(QStringLiteral("Drop Files"));
}

std::uint64_t HBBottomBarView::draggingEntered(const hb::DraggingInfo& info) const
{
    return (info.draggingSourceOperationMask() & hb::NSDragOperationMove) ? hb::NSDragOperationMove
                                                                          : hb::NSDragOperationCopy;
}

bool HBBottomBarView::performDragOperation(const hb::DraggingInfo& info)
{
    hb::NotificationCenter::defaultCenter().post(fromDragSourceNotification, this,
                                                 {{sourceUserInfoKey, QVariant::fromValue(info)}});
    return true;
}

void HBBottomBarView::dragEnterEvent(QDragEnterEvent* event)
{
    const hb::DraggingInfo info = hb::DraggingInfo::fromDropEvent(*event);
    if (!info.draggingPasteboard().containsType(hb::fileURLPasteboardType))
        return;
    event->setDropAction(hb::dropActionFromDragOperation(draggingEntered(info)));
    event->accept();
}

void HBBottomBarView::dragMoveEvent(QDragMoveEvent* event)
{
    const hb::DraggingInfo info = hb::DraggingInfo::fromDropEvent(*event);
    if (!info.draggingPasteboard().containsType(hb::fileURLPasteboardType))
        return;
    event->setDropAction(hb::dropActionFromDragOperation(draggingUpdated(info)));
    event->accept();
}

void HBBottomBarView::dropEvent(QDropEvent* event)
{
    const hb::DraggingInfo info = hb::DraggingInfo::fromDropEvent(*event);
    if (!prepareForDragOperation(info) || !performDragOperation(info))
        return;
    event->setDropAction(hb::dropActionFromDragOperation(draggingEntered(info)));
    event->accept();
}

// The hot key hint

HBHotKeyLabel::HBHotKeyLabel(QWidget* parent) : QPushButton(parent), m_label(new QLabel(this))
{
    setAccessibleName(QStringLiteral("Hot Key"));
    setToolTip(QStringLiteral("Record a new hot key"));
    setFlat(true);
    setFocusPolicy(Qt::NoFocus);
    setMinimumSize(kNarrowestBox, 44);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);

    hb::UserDefaultsController& defaults = hb::UserDefaultsController::shared();
    defaults.addObserver(hotKeyKeyPath, this, [this](const QVariant& record) { refresh(record); });
    connect(&HBHotKeyManage::sharedInstance(), &HBHotKeyManage::stateChanged, this,
            [this] { refresh(hb::UserDefaultsController::shared().valueForKeyPath(hotKeyKeyPath)); });
    refresh(defaults.valueForKeyPath(hotKeyKeyPath));
    connect(this, &QPushButton::clicked, this, [this] {
        if (!m_popover)
            m_popover = HBHotKeyViewController::showPopover(this);
    });
}

void HBHotKeyLabel::refresh(const QVariant& record)
{
    using Kind = HBHotKeyState::Kind;
    const HBHotKeyState& state = HBHotKeyManage::sharedInstance().state();
    QFont font = QApplication::font();
    m_label->setContentsMargins(0, 0, 0, 0);
    switch (state.kind) {
    case Kind::binding:
    case Kind::unassigned:
    case Kind::unavailable:
        // No key that does not work (yet).
        font.setPointSizeF(HotKeyToStringTransformer::kLongTextPointSize);
        m_label->setFont(font);
        m_label->setText(noKeyText);
        setAccessibleDescription(noKeyDescription);
        updateGeometry();
        return;
    case Kind::inForce:
        if (state.trigger && !state.trigger->isEmpty()) {
            // The desktop chose the keys and names them in its own words.
            font.setPointSizeF(desktopWordsPointSize);
            m_label->setFont(font);
            m_label->setText(*state.trigger);
            setAccessibleDescription(*state.trigger);
            updateGeometry();
            return;
        }
        break;
    case Kind::none:
    case Kind::taken:
    case Kind::failed:
        break;
    }
    const auto transformer = hb::ValueTransformer::valueTransformerForName(QStringLiteral("HotKeyToStringTransformer"));
    const QVariant value = transformer ? transformer->transformedValue(record) : QVariant();
    if (value.canConvert<HBAttributedString>())
        value.value<HBAttributedString>().applyTo(*m_label);
    else
        m_label->clear();
    // A combination the session refused is shown struck out: the notice beside it says why.
    const bool refused = state.kind == Kind::taken || state.kind == Kind::failed;
    QFont shown = m_label->font();
    shown.setStrikeOut(refused);
    m_label->setFont(shown);
    fitText();
    setAccessibleDescription(refused ? m_label->text() + refusedDescription : m_label->text());
    updateGeometry();
}

void HBHotKeyLabel::fitText()
{
    // Spelled out, a combination ("ALT+CTRL+H") is wider than a glyph: the box grows to a bound, then
    // the text shrinks, so that it never spills out.
    constexpr int padding = 6;
    QFont font = m_label->font();
    const auto width = [&] { return QFontMetricsF(font).horizontalAdvance(m_label->text()); };
    while (font.pointSizeF() > kSmallestPointSize && width() > kWidestBox - 2 * padding)
        font.setPointSizeF(font.pointSizeF() - 1);
    m_label->setFont(font);
    setMinimumWidth(std::clamp(int(std::ceil(width())) + 2 * padding, kNarrowestBox, kWidestBox));
}

QString HBHotKeyLabel::shownText() const
{
    return m_label->text();
}

QSize HBHotKeyLabel::sizeHint() const
{
    constexpr int padding = 12;
    const QSize text = m_label->sizeHint();
    return {std::max(minimumWidth(), text.width() + padding), std::max(minimumHeight(), text.height())};
}
