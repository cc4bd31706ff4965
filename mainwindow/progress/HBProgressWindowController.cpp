#include "mainwindow/progress/HBProgressWindowController.h"

#include "mainwindow/progress/HBProgressViewController.h"
#include "platform/interface/StoryboardRegistry.h"

#include <QLayout>

HB_REGISTER_SCENE("HBProgress", "EntryPoint", HBProgressWindowController);

HBProgressWindowController::HBProgressWindowController(QObject* parent) : hb::WindowController(parent)
{
    setContentViewController(new HBProgressViewController);
    window();
}

HBProgressViewController* HBProgressWindowController::getViewController() const
{
    return qobject_cast<HBProgressViewController*>(contentViewController());
}

hb::Window* HBProgressWindowController::makeWindow()
{
    hb::Window* window = hb::WindowController::makeWindow();
    // The window follows its list: as tall as the rows, up to the list's own limit.
    window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    return window;
}

void HBProgressWindowController::windowDidLoad()
{
    window()->movableByWindowBackground = true;
    // Next to the window whose tile started the shift, not wherever the window manager puts new windows.
    window()->opensBesideMainWindow = true;
    window()->setWindowTitle(QString());
    hb::WindowController::windowDidLoad();
}
