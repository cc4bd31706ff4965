#pragma once

#include <QWidget>

// The clip view (viewport) of the grid's scroll view. Whenever its width changes to anything but the
// grid's standard 332 points it announces "changeSize" with the width, one turn of the main queue later,
// so the main view controller can resize the grid's holder.
class HBCollectionViewClipView : public QWidget {
    Q_OBJECT
public:
    explicit HBCollectionViewClipView(QWidget* parent = nullptr);

    void viewFrameChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
};
