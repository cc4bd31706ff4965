#include "app/about/HBAboutWindowController.h"

#include "app/about/HBAboutBoxController.h"

HBAboutWindowController::HBAboutWindowController(QObject* parent) : hb::WindowController(parent)
{
    setContentViewController(new HBAboutBoxController);
}

HBAboutBoxController* HBAboutWindowController::aboutBox() const
{
    return qobject_cast<HBAboutBoxController*>(contentViewController());
}

void HBAboutWindowController::windowDidLoad()
{
    hb::WindowController::windowDidLoad();
    hb::Window* shown = window();
    QPalette colours = shown->palette();
    colours.setColor(QPalette::Window, QColor::fromRgbF(0.145f, 0.165f, 0.208f, 1.0f));
    shown->setPalette(colours);
    shown->setAutoFillBackground(true);
    shown->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    shown->setWindowTitle(QStringLiteral("About Harbrill"));
    shown->setAccessibleName(QStringLiteral("About Harbrill"));
    shown->movableByWindowBackground = true;
    shown->setFixedSize(shown->sizeHint());
}
