#pragma once

#include <QScrollArea>

// A scroll view whose content always takes its full width and height: the vertical scroll bar
// lies over the content instead of taking room beside it.
class Scroller : public QScrollArea {
    Q_OBJECT
public:
    explicit Scroller(QWidget* parent = nullptr);

private:
    void tile();
};
