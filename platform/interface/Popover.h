#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

#include <memory>

class QWidget;

namespace hb {

class ViewController;

// Which side of the anchor rectangle the popover sits on; the values are the platform's edge numbers.
// maxY is above the anchor and minY below it, as on a screen whose y axis points up.
enum class RectEdge { minX = 0, minY = 1, maxX = 2, maxY = 3 };

// applicationDefined: stays until the program closes it (or Escape); transient: also closes when the
// user presses the mouse anywhere outside it.
enum class PopoverBehavior { applicationDefined = 0, transient = 1 };

// A popover: a frameless window holding one view controller, placed beside a rectangle of a view and kept
// on that view's screen. It owns its content; closing it (Escape, a click elsewhere when transient, or
// close()) hides it, announces didClose once and deletes it after the current event.
class Popover : public QObject {
    Q_OBJECT
public:
    Popover(std::unique_ptr<ViewController> content, PopoverBehavior behavior);
    ~Popover() override;

    ViewController* contentViewController() const { return m_content; }
    PopoverBehavior behavior() const { return m_behavior; }
    QWidget* window() const { return m_window.get(); }

    // `rect` is in `view`'s coordinates (its rect() for the whole view).
    void showRelativeToRect(const QRect& rect, QWidget* view, RectEdge preferredEdge);
    void close();
    bool isShown() const;

    // Where a popover of `size` goes beside `anchor` (global coordinates) within `screen`: the preferred
    // edge, else the opposite one when it does not fit, then moved inside the screen.
    static QRect placement(const QSize& size, const QRect& anchor, RectEdge preferredEdge, const QRect& screen);

signals:
    void didClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Frame;
    void frameHidden();
    bool holds(const QWidget* widget) const;

    PopoverBehavior m_behavior;
    std::unique_ptr<QWidget> m_window;
    ViewController* m_content = nullptr;  // owned by m_window
    bool m_closed = false;
};

}  // namespace hb
