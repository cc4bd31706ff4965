#include "platform/interface/Popover.h"

#include "platform/interface/ViewController.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace hb {

// The popover's window: it reports being hidden, however that happened, and closes on Escape.
class Popover::Frame : public QWidget {
public:
    Frame(Popover& owner, Qt::WindowFlags flags) : QWidget(nullptr, flags), m_owner(owner) {}

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape) {
            m_owner.close();
            return;
        }
        QWidget::keyPressEvent(event);
    }
    void hideEvent(QHideEvent* event) override
    {
        QWidget::hideEvent(event);
        m_owner.frameHidden();
    }

private:
    Popover& m_owner;
};

Popover::Popover(std::unique_ptr<ViewController> content, PopoverBehavior behavior) : m_behavior(behavior)
{
    // A tool window rather than a popup: popups are left out of the accessibility tree, so screen readers
    // and tests would not find what a popover holds. A transient one closes itself on a click elsewhere.
    m_window = std::make_unique<Frame>(*this, Qt::Tool | Qt::FramelessWindowHint);
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    m_content = content.release();
    m_content->loadViewIfNeeded();
    layout->addWidget(m_content);
    if (behavior == PopoverBehavior::transient)
        qApp->installEventFilter(this);
}

Popover::~Popover()
{
    m_closed = true;  // no didClose from the window's teardown
}

void Popover::showRelativeToRect(const QRect& rect, QWidget* view, RectEdge preferredEdge)
{
    m_window->adjustSize();
    QRect anchor = rect;
    QRect screen;
    if (view) {
        anchor = QRect(view->mapToGlobal(rect.topLeft()), rect.size());
        if (QScreen* onScreen = view->screen())
            screen = onScreen->availableGeometry();
    }
    if (screen.isEmpty() && QGuiApplication::primaryScreen())
        screen = QGuiApplication::primaryScreen()->availableGeometry();
    m_window->setGeometry(placement(m_window->size(), anchor, preferredEdge, screen));
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void Popover::close()
{
    if (!m_closed)
        m_window->hide();
}

bool Popover::isShown() const
{
    return !m_closed && m_window->isVisible();
}

bool Popover::holds(const QWidget* widget) const
{
    // Menus and lists that pop up from the content are windows of their own, parented inside it.
    for (const QWidget* ancestor = widget; ancestor; ancestor = ancestor->parentWidget()) {
        if (ancestor == m_window.get())
            return true;
    }
    return false;
}

bool Popover::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && isShown() && watched->isWidgetType()
        && !holds(static_cast<QWidget*>(watched)))
        close();
    return false;
}

void Popover::frameHidden()
{
    if (m_closed)
        return;
    m_closed = true;
    emit didClose();
    deleteLater();
}

QRect Popover::placement(const QSize& size, const QRect& anchor, RectEdge preferredEdge, const QRect& screen)
{
    const auto at = [&](RectEdge edge) {
        const QPoint centre(anchor.left() + anchor.width() / 2, anchor.top() + anchor.height() / 2);
        switch (edge) {
        case RectEdge::minX:
            return QRect(QPoint(anchor.left() - size.width(), centre.y() - size.height() / 2), size);
        case RectEdge::maxX:
            return QRect(QPoint(anchor.right() + 1, centre.y() - size.height() / 2), size);
        case RectEdge::minY:
            return QRect(QPoint(centre.x() - size.width() / 2, anchor.bottom() + 1), size);
        case RectEdge::maxY:
            break;
        }
        return QRect(QPoint(centre.x() - size.width() / 2, anchor.top() - size.height()), size);
    };
    const auto opposite = [](RectEdge edge) {
        switch (edge) {
        case RectEdge::minX:
            return RectEdge::maxX;
        case RectEdge::maxX:
            return RectEdge::minX;
        case RectEdge::minY:
            return RectEdge::maxY;
        case RectEdge::maxY:
            break;
        }
        return RectEdge::minY;
    };
    // Whether the popover fits the screen across the anchor, the direction the edge decides.
    const auto fits = [&](const QRect& placed, RectEdge edge) {
        if (edge == RectEdge::minX || edge == RectEdge::maxX)
            return placed.left() >= screen.left() && placed.right() <= screen.right();
        return placed.top() >= screen.top() && placed.bottom() <= screen.bottom();
    };
    QRect placed = at(preferredEdge);
    if (!screen.isEmpty()) {
        const RectEdge other = opposite(preferredEdge);
        if (!fits(placed, preferredEdge) && fits(at(other), other))
            placed = at(other);
        placed.moveLeft(
            std::clamp(placed.left(), screen.left(), std::max(screen.left(), screen.right() - size.width() + 1)));
        placed.moveTop(
            std::clamp(placed.top(), screen.top(), std::max(screen.top(), screen.bottom() - size.height() + 1)));
    }
    return placed;
}

}  // namespace hb
