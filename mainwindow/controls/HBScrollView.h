#pragma once

#include <QScrollArea>

// The scroll view that holds the destination grid: no frame, a clear background so the window's
// dark background shows through, no horizontal scrolling.
class HBScrollView : public QScrollArea {
    Q_OBJECT
public:
    explicit HBScrollView(QWidget* parent = nullptr);

    bool allowsVibrancy() const { return true; }
};
