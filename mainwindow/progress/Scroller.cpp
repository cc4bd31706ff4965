#include "mainwindow/progress/Scroller.h"

#include <QScrollBar>

Scroller::Scroller(QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &Scroller::tile);
}

void Scroller::tile()
{
    // The content keeps the full width: the rows are measured for it, and a bar beside them would
    // make their text wrap differently.
    QScrollBar* bar = verticalScrollBar();
    const bool barShown = bar->maximum() > bar->minimum();
    setViewportMargins(0, 0, barShown ? -bar->sizeHint().width() : 0, 0);
    if (barShown)
        bar->parentWidget()->raise();
}
