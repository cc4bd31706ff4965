#include "mainwindow/controls/HBScrollView.h"

HBScrollView::HBScrollView(QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The window's dark background shows through; a slim scroller 15 points wide.
    setStyleSheet(
        QStringLiteral("HBScrollView { background: transparent; }"
                       "QScrollBar:vertical { width: 15px; background: transparent; margin: 0; }"
                       "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 64); border-radius: 3px;"
                       "  min-height: 24px; margin: 2px 4px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
}
