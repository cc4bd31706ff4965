#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace hb {

// Where a window of the program opens that belongs to what the main window started (the progress
// window, the feedback form): beside the main window the person is looking at, as a dialog of it.
namespace WindowPlacement {
// The top-left corner for a window of `size` beside `main` (its frame, global coordinates) within
// `screen`: to its right with the tops level, else to its left, else centred over it; without a main
// window, centred on `screen`. Always inside `screen` as far as the size allows.
QPoint origin(const QSize& size, const std::optional<QRect>& main, const QRect& screen);

// Places a window that is about to be shown for the main window of the Application: beside it while it
// is shown, with it as transient parent (so the window manager keeps the two together), else centred
// on the screen that holds the pointer. The window becomes a dialog.
void placeBesideMainWindow(QWidget* window);
}  // namespace WindowPlacement

}  // namespace hb
