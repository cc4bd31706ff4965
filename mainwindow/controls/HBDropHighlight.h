#pragma once

#include <QPointer>
#include <QWidget>

// A frame in the desktop's highlight colour over a view while files are dragged over its window: the
// window will take them. It watches the window itself, so it shows wherever the drag is (the grid, the
// drop bar, the space between), and passes every event through to the view below.
class HBDropHighlight : public QWidget {
    Q_OBJECT
public:
    explicit HBDropHighlight(QWidget* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> m_view;
};
