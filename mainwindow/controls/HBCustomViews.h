#pragma once

#include "platform/interface/DraggingInfo.h"
#include "platform/interface/EventMonitor.h"
#include "platform/interface/Popover.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <cstdint>

class HBTextView;
class HBTextField;

// Hands the shared hot-key recorder to HBTextFields as their editor.
namespace HBTextFieldCell {
// The recorder, marked as field editor and told which field it edits; none for any other view.
HBTextView* fieldEditorForView(QWidget* view);
}  // namespace HBTextFieldCell

// A field whose editing is the hot-key recorder: focusing it puts the shared recorder inside it and
// gives the recorder the focus. The end of an edit sends no action.
class HBTextField : public QFrame {
    Q_OBJECT
public:
    explicit HBTextField(QWidget* parent = nullptr);
    ~HBTextField() override;

    // Starts recording: the recorder shows the current hot key and takes the focus.
    void beginEditing();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    HBTextView* embedEditor();
};

// A text field that handles the editing shortcuts itself, with Control standing for Command: exactly
// Control with x, c, v, z, a (cut, copy, paste, undo, select all), exactly Control-Shift with Z (redo),
// each sent to the focused widget. Any other combination goes on as usual.
class CustomTextField : public QLineEdit {
    Q_OBJECT
public:
    static constexpr std::uint64_t kDeviceIndependentModifierFlagsMask = 0xFFFF0000;
    const std::uint64_t commandKey;
    const std::uint64_t commandShiftKey;

    explicit CustomTextField(QWidget* parent = nullptr);

    // True when the event was one of the shortcuts and the focused widget took it.
    bool performKeyEquivalent(const hb::Event& event);

protected:
    bool event(QEvent* event) override;
};

// An image view that takes no drops and never takes the focus.
class HBNoDragImageView : public QLabel {
    Q_OBJECT
public:
    explicit HBNoDragImageView(QWidget* parent = nullptr);
};

// The bar at the bottom of the main window that takes dropped files: it offers to move them when the
// drag's source allows, else to copy, and hands the drop on as "fromDragSource" (object: the bar,
// "Source": the dragging information).
class HBBottomBarView : public QWidget {
    Q_OBJECT
public:
    explicit HBBottomBarView(QWidget* parent = nullptr);

    std::uint64_t draggingEntered(const hb::DraggingInfo& info) const;
    std::uint64_t draggingUpdated(const hb::DraggingInfo& info) const { return draggingEntered(info); }
    bool prepareForDragOperation(const hb::DraggingInfo&) const { return true; }
    bool performDragOperation(const hb::DraggingInfo& info);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// The hot key shown large through "HotKeyToStringTransformer", following "values.HotKey" and what the
// session made of it: struck out when refused, in the desktop's words when it chose the keys, and no key
// at all while none works (no hot keys in the session, none assigned, or still asked of the desktop);
// pressing it opens the recorder in a popover.
class HBHotKeyLabel : public QPushButton {
    Q_OBJECT
public:
    static inline const QString noKeyText = QStringLiteral("\u2014");
    static inline const QString noKeyDescription = QStringLiteral("No hot key");
    static inline const QString refusedDescription = QStringLiteral(" (does not work)");
    static constexpr double desktopWordsPointSize = 10;

    explicit HBHotKeyLabel(QWidget* parent = nullptr);

    static constexpr int kNarrowestBox = 72;
    static constexpr int kWidestBox = 96;
    static constexpr double kSmallestPointSize = 9;

    QString shownText() const;
    QPointer<hb::Popover> recorderPopover() const { return m_popover; }
    // Wide enough for the text shown (a long combination or the desktop's words).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    void refresh(const QVariant& record);
    void fitText();

    QLabel* m_label;
    QPointer<hb::Popover> m_popover;
};
