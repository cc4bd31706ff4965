#pragma once

#include "platform/interface/WindowController.h"

#include <QColor>

// The main window: its title hidden, movable by its background, on a fixed dark background that no
// caller can change.
class CustomWindow : public hb::Window {
    Q_OBJECT
public:
    explicit CustomWindow(QWidget* parent = nullptr);

    static QColor fixedBackgroundColor() { return QColor::fromRgbF(0.145f, 0.165f, 0.208f, 1.0f); }

    bool titlebarAppearsTransparent() const { return true; }
    void setTitlebarAppearsTransparent(bool) {}

    QColor backgroundColor() const { return fixedBackgroundColor(); }
    void setBackgroundColor(const QColor&) {}

protected:
    // Stylesheets and palettes set by anyone else are put back to the fixed colour.
    void changeEvent(QEvent* event) override;

private:
    void applyBackground();
    bool m_applying = false;
};

// The controller of the main window (scene "MainWC" of storyboard "Main").
class HBWindowController : public hb::WindowController {
    Q_OBJECT
public:
    explicit HBWindowController(QObject* parent = nullptr);

protected:
    hb::Window* makeWindow() override;
    void windowDidLoad() override;
};
