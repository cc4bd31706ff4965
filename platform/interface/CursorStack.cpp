#include "platform/interface/CursorStack.h"

#include <QGuiApplication>
#include <QWidget>

namespace hb {

namespace {
int& pushed()
{
    static int count = 0;
    return count;
}
const char* const cursorRectProperty = "hbCursorRect";
}  // namespace

namespace CursorStack {

void push(const QCursor& cursor)
{
    QGuiApplication::setOverrideCursor(cursor);
    ++pushed();
}

void pop()
{
    if (pushed() == 0)
        return;
    QGuiApplication::restoreOverrideCursor();
    --pushed();
}

std::optional<Qt::CursorShape> current()
{
    const QCursor* top = QGuiApplication::overrideCursor();
    if (pushed() == 0 || !top)
        return std::nullopt;
    return top->shape();
}

int depth()
{
    return pushed();
}

}  // namespace CursorStack

namespace CursorRects {

void addCursorRect(QWidget& view, const QRect&, const QCursor& cursor)
{
    view.setCursor(cursor);
    view.setProperty(cursorRectProperty, true);
}

void removeCursorRect(QWidget& view, const QRect&, const QCursor& cursor)
{
    if (!view.property(cursorRectProperty).toBool() || view.cursor().shape() != cursor.shape())
        return;
    view.unsetCursor();
    view.setProperty(cursorRectProperty, false);
}

std::optional<Qt::CursorShape> cursorOf(const QWidget& view)
{
    if (!view.property(cursorRectProperty).toBool())
        return std::nullopt;
    return view.cursor().shape();
}

}  // namespace CursorRects

}  // namespace hb
