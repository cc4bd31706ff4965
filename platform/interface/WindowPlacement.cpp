#include "platform/interface/WindowPlacement.h"

#include "platform/interface/Application.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace hb::WindowPlacement {

namespace {

constexpr int gap = 12;

QPoint inside(QPoint origin, const QSize& size, const QRect& screen)
{
    origin.setX(std::max(screen.left(), std::min(origin.x(), screen.right() + 1 - size.width())));
    origin.setY(std::max(screen.top(), std::min(origin.y(), screen.bottom() + 1 - size.height())));
    return origin;
}

QRect availableGeometryAt(const QPoint& point)
{
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

QPoint origin(const QSize& size, const std::optional<QRect>& main, const QRect& screen)
{
    if (!main) {
        QRect centred(QPoint(), size);
        centred.moveCenter(screen.center());
        return inside(centred.topLeft(), size, screen);
    }
    const int top = inside(QPoint(screen.left(), main->top()), size, screen).y();
    const int right = main->right() + 1 + gap;
    if (right + size.width() <= screen.right() + 1)
        return {right, top};
    const int left = main->left() - gap - size.width();
    if (left >= screen.left())
        return {left, top};
    QRect over(QPoint(), size);
    over.moveCenter(main->center());
    return inside(over.topLeft(), size, screen);
}

void placeBesideMainWindow(QWidget* window)
{
    if (!window || !window->isWindow())
        return;
    if (window->windowType() != Qt::Dialog)
        window->setWindowFlags((window->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
    QWidget* main = Application::shared().mainWindow();
    const bool mainShown = main && main != window && main->isVisible();
    window->adjustSize();
    window->winId();  // the native window, to carry the transient parent
    if (QWindow* handle = window->windowHandle())
        handle->setTransientParent(mainShown ? main->windowHandle() : nullptr);
    const QRect screen = mainShown ? availableGeometryAt(main->frameGeometry().center())
                                   : availableGeometryAt(QCursor::pos());
    window->move(origin(window->frameGeometry().size(),
                        mainShown ? std::optional<QRect>(main->frameGeometry()) : std::nullopt, screen));
}

}  // namespace hb::WindowPlacement
