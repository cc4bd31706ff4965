#pragma once

#include <QCursor>
#include <QRect>

#include <optional>

class QWidget;

namespace hb {

// The application's cursor stack: a pushed cursor shows over every window of the program until it is
// popped. A pop of an empty stack does nothing. GUI thread only.
namespace CursorStack {
void push(const QCursor& cursor);
void pop();
std::optional<Qt::CursorShape> current();  // the top of the stack; none when empty
int depth();
}  // namespace CursorStack

// Cursor rectangles: the cursor a view shows while the pointer is over it. One rectangle per view,
// covering the view; removing it for a cursor other than the view's current one does nothing.
namespace CursorRects {
void addCursorRect(QWidget& view, const QRect& rect, const QCursor& cursor);
void removeCursorRect(QWidget& view, const QRect& rect, const QCursor& cursor);
std::optional<Qt::CursorShape> cursorOf(const QWidget& view);  // none while the view has no rectangle
}  // namespace CursorRects

}  // namespace hb
