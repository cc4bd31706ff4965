#pragma once

#include <QPoint>
#include <QWidget>

namespace hb {

class ViewController;

// A top-level window. It can be moved by dragging its background, since windows of this program
// may hide their title.
class Window : public QWidget {
    Q_OBJECT
public:
    explicit Window(QWidget* parent = nullptr);

    bool movableByWindowBackground = false;
    // Shown by its controller, it opens beside the Application's main window (WindowPlacement).
    bool opensBesideMainWindow = false;

signals:
    void willClose();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_dragging = false;
    QPoint m_dragOffset;
};

// Owns one window and its content view controller. The window is made on first use
// (makeWindow, then windowDidLoad); closing or ordering it out only hides it.
class WindowController : public QObject {
    Q_OBJECT
public:
    explicit WindowController(QObject* parent = nullptr);
    ~WindowController() override;

    Window* window();  // loads the window when needed
    bool isWindowLoaded() const { return m_window != nullptr; }

    ViewController* contentViewController() const { return m_content; }
    // The window takes the controller as its content (and ownership); the previous one is deleted.
    void setContentViewController(ViewController* controller);

    void showWindow();  // shows, raises and activates the window
    void close();       // closes the window (it stays loaded)
    void orderOut();    // hides the window without closing it
    bool isVisible() const;

protected:
    virtual Window* makeWindow();
    virtual void windowDidLoad() {}
    virtual void windowWillClose() {}

private:
    Window* m_window = nullptr;
    ViewController* m_content = nullptr;
};

}  // namespace hb
