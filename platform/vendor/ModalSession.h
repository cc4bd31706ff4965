#pragma once

#include <QWidget>

namespace hb {

// A window run modally: the rest of the program's windows take no input until the run ends.
namespace ModalSession {
enum class Ending { stopped, windowClosed };
// Shows `window` application-modal and runs the event loop until stopModal() or the window is
// closed or hidden. Raises the layer's modal depth while it runs.
Ending runModalForWindow(QWidget* window);
// Ends the innermost run; without one, nothing happens.
void stopModal();
bool isRunning();
}  // namespace ModalSession

}  // namespace hb
