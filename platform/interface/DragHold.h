#pragma once

#include <QObject>

#include <functional>

namespace hb {

// Keeps the program from resigning while a drag may be on its way to it. A drag of files from another
// program starts with a press in that program's window, which takes the focus at once: were the program
// to resign then, its window would be gone before the drag could reach it. So a loss of focus does not
// count while a pointer button is held (the press may become a drag), nor while a drag is over one of the
// program's windows; it counts once the press has ended and no drag is over them. Where the window system
// cannot tell the pointer's buttons (Wayland shows no program the pointer outside its own windows), a
// drag is given a moment to arrive instead. GUI thread only.
class DragHold : public QObject {
    Q_OBJECT
public:
    static DragHold& shared();

    // What the window system says of the pointer's buttons anywhere on the screen.
    enum class Buttons { released, held, unknown };
    using ButtonsProbe = std::function<Buttons()>;
    // Replaces the window system's answer (null restores it): no person holds a button in a test.
    static void setButtonsProbe(ButtonsProbe probe);
    static Buttons buttons();

    // How long a drag may take to arrive where the buttons cannot be told.
    static constexpr int unknownButtonsGraceMs = 1200;

    // Asked while a loss of focus waits to count, `waitedMs` after it began: true while it must wait on.
    bool holdsResignation(qint64 waitedMs) const;
    // A drag (of another program or of this one) is over one of the program's windows.
    bool dragInside() const { return m_dragInside; }

signals:
    void dragInsideChanged(bool inside);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DragHold();
    void setDragInside(bool inside);

    bool m_dragInside = false;
};

}  // namespace hb
